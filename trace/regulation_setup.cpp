#include "trace/regulation_setup.h"

#include "core/gain_set.h"
#include "io/gain_file.h"

#include <limits>
#include <optional>
#include <ostream>

namespace {

// An edit text read as the window reads it: not a number gives 0, then the
// low 16 bits. Either surprise earns one warning line.
std::int16_t edit_value(const ParsedOptions& options, const std::string& name, std::int16_t initial,
                        std::ostream& warnings) {
    const auto text = options.text(name);
    if (!text) return initial;
    const GainText reading = read_gain_text(*text);
    if (reading.kind == GainTextKind::Wrapped) {
        warnings << "vantrel-trace: warning: --" << name << " " << reading.number << " wraps to " << reading.value
                 << " in 16 bits\n";
    } else if (!reading.as_written()) {
        warnings << "vantrel-trace: warning: --" << name << " " << quoted(*text) << " is not a number; using 0\n";
    }
    return reading.value;
}

}  // namespace

RegulationSetup read_regulation_setup(const ParsedOptions& options, std::ostream& warnings) {
    std::optional<GainSet> file;
    if (const auto path = options.text("gains")) file = LoadGainFile(*path);
    // The file's value unless the option came after it.
    const auto from_file = [&](const std::string& name) { return file && !options.given_after(name, "gains"); };

    RegulationSetup setup;
    if (from_file("mode")) {
        setup.speedMode = file->speedMode;
    } else {
        const std::string mode = options.text("mode").value_or("position");
        if (mode != "speed" && mode != "position") {
            throw UsageError{"option --mode needs 'speed' or 'position', not " + quoted(mode)};
        }
        setup.speedMode = mode == "speed";
    }
    if (setup.speedMode && !options.text("passes")) throw UsageError{"speed mode needs --passes N"};
    setup.passLimit = integer_option(options, "passes", std::numeric_limits<long>::max(), 1,
                                     std::numeric_limits<long>::max());

    // Options stand in for the window's edits, which start at their initial values.
    for (std::size_t g = 0; g < RUN_GAIN_COUNT; ++g) {
        const std::string name(GAIN_SET_KEYS[g]);
        const std::int16_t GainSet::*field = GAIN_SET_FIELDS[g];
        setup.gains.*RUN_GAIN_FIELDS[g] =
            from_file(name) ? (*file).*field : edit_value(options, name, GAIN_SET_INITIAL.*field, warnings);
    }
    if (!setup.speedMode && options.text("w") && !from_file("w")) {
        // The window leaves its w edit disabled in position mode.
        warnings << "vantrel-trace: warning: --w is the speed to regulate; position mode ignores it\n";
    }
    return setup;
}
