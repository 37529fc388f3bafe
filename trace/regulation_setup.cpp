#include "trace/regulation_setup.h"

#include "core/gain_set.h"
#include "core/int16.h"
#include "io/gain_file.h"
#include "toolkit/sys/sysutils.h"

#include <limits>
#include <optional>
#include <ostream>

namespace {

// An edit text read as the window reads it: not a number gives 0, then the
// low 16 bits. Either surprise earns one warning line.
std::int16_t edit_value(const ParsedOptions& options, const std::string& name, const std::string& initial,
                        std::ostream& warnings) {
    const std::string text = options.text(name).value_or(initial);
    const int value = ParseIntDefault(text, 0);
    const std::int16_t kept = wrap16(value);
    if (value == 0 && ParseIntDefault(text, 1) == 1) {
        warnings << "vantrel-trace: warning: --" << name << " " << quoted(text) << " is not a number; using 0\n";
    } else if (kept != value) {
        warnings << "vantrel-trace: warning: --" << name << " " << value << " wraps to " << kept << " in 16 bits\n";
    }
    return kept;
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

    // The window's initial texts, in the order the window reads them.
    const auto gain = [&](const std::string& name, const std::string& initial, std::int16_t GainSet::*field) {
        return from_file(name) ? (*file).*field : edit_value(options, name, initial, warnings);
    };
    setup.gains.kp = gain("kp", "250", &GainSet::kp);
    setup.gains.ki = gain("ki", "60", &GainSet::ki);
    setup.gains.kd = gain("kd", "0", &GainSet::kd);
    setup.gains.kv = gain("kv", "30", &GainSet::kv);
    setup.gains.w = gain("w", "80", &GainSet::w);
    if (!setup.speedMode && options.text("w") && !from_file("w")) {
        // The window leaves its w edit disabled in position mode.
        warnings << "vantrel-trace: warning: --w is the speed to regulate; position mode ignores it\n";
    }
    return setup;
}
