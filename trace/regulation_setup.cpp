#include "trace/regulation_setup.h"

#include "core/program/nc_program.h"
#include "io/gain_file.h"
#include "io/nc_program_file.h"
#include "toolkit/app/exception.h"
#include "trace/command_frame.h"

#include <algorithm>
#include <limits>
#include <thread>
#include <ostream>

namespace {

// An edit text read as the window reads it: not a number gives 0, then the
// low 16 bits. Either surprise earns one warning line.
std::int16_t edit_value(std::string_view name, const std::string& text, std::ostream& warnings) {
    const GainText reading = read_gain_text(text);
    if (reading.kind == GainTextKind::Wrapped) {
        warnings << "vantrel-trace: warning: --" << name << " " << reading.number << " wraps to " << reading.value
                 << " in 16 bits\n";
    } else if (!reading.as_written()) {
        warnings << "vantrel-trace: warning: --" << name << " " << echo_quoted(text) << " is not a number; using 0\n";
    }
    return reading.value;
}

}  // namespace

SetupSources read_setup_sources(const ParsedOptions& options, bool passesNeeded) {
    std::optional<GainSet> file;
    if (const auto path = options.text("gains")) file = LoadGainFile(*path);
    // The file's value unless the option came after it.
    const auto from_file = [&](const std::string& name) { return file && !options.given_after(name, "gains"); };

    SetupSources sources;
    if (from_file("mode")) {
        sources.speedMode = file->speedMode;
    } else {
        const std::string mode = options.text("mode").value_or("position");
        if (mode != "speed" && mode != "position") {
            throw UsageError{"option --mode needs 'speed' or 'position', not " + echo_quoted(mode)};
        }
        sources.speedMode = mode == "speed";
    }
    if (passesNeeded && sources.speedMode && !options.text("passes")) throw UsageError{"speed mode needs --passes N"};
    if (options.text("passes")) {
        sources.passes = integer_option(options, "passes", 0, 1, std::numeric_limits<long>::max());
    }
    if (from_file("pos")) sources.filePos = file->pos;
    for (std::size_t g = 0; g < RUN_GAIN_COUNT; ++g) {
        const std::string name(GAIN_SET_KEYS[g]);
        if (from_file(name)) {
            sources.values.*RUN_GAIN_FIELDS[g] = (*file).*GAIN_SET_FIELDS[g];
        } else {
            sources.optionTexts[g] = options.text(name);
            sources.values.*RUN_GAIN_FIELDS[g] = GAIN_SET_INITIAL.*GAIN_SET_FIELDS[g];
        }
    }
    return sources;
}

BatchEngine engine_option(const ParsedOptions& options) {
    const std::string engine = options.text("engine").value_or("auto");
    if (engine == "auto") return BatchEngine::Auto;
    if (engine == "lanes") return BatchEngine::Lanes;
    if (engine == "scalar") return BatchEngine::Scalar;
    throw UsageError{"--engine needs 'auto', 'lanes' or 'scalar', not " + echo_quoted(engine)};
}

int jobs_option(const ParsedOptions& options) {
    const long cores = std::max(1L, static_cast<long>(std::thread::hardware_concurrency()));
    return static_cast<int>(integer_option(options, "jobs", cores, 1, 256));
}

void load_program_option(const ParsedOptions& options) {
    const auto path = options.text("program");
    std::string error;
    if (path && !choose_nc_program_file(*path, error)) throw Exception(error);
}

Engine chosen_program_engine() {
    Engine engine;
    engine.program = nc_chosen_blocks();
    return engine;
}

RunSetup read_regulation_setup(const ParsedOptions& options, std::ostream& warnings) {
    return regulation_setup_of(read_setup_sources(options), warnings);
}

RunSetup regulation_setup_of(const SetupSources& sources, std::ostream& warnings) {
    RunSetup setup;
    setup.speedMode = sources.speedMode;
    setup.passLimit = sources.passes.value_or(std::numeric_limits<long>::max());
    setup.gains = sources.values;
    setup.stop = &command_stop();  // a long run stops within moments of a signal
    for (std::size_t g = 0; g < RUN_GAIN_COUNT; ++g) {
        if (const auto& text = sources.optionTexts[g]) {
            setup.gains.*RUN_GAIN_FIELDS[g] = edit_value(GAIN_SET_KEYS[g], *text, warnings);
        }
    }
    if (!setup.speedMode && sources.optionTexts[GAIN_W]) {
        // The window leaves its w edit disabled in position mode.
        warnings << "vantrel-trace: warning: --w is the speed to regulate; position mode ignores it\n";
    }
    return setup;
}
