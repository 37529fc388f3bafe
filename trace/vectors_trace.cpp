#include "trace/vectors_trace.h"

#include "core/firmware/harness_text.h"
#include "core/firmware/pid_vectors.h"
#include "core/firmware/run_vectors.h"
#include "core/firmware/vector_csv.h"
#include "core/measure/gain_set.h"
#include "toolkit/app/exception.h"
#include "trace/command_frame.h"
#include "trace/regulation_setup.h"

#include <filesystem>
#include <iostream>
#include <limits>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>

namespace {

constexpr long kDefaultCount = 1000;
constexpr long kMaxCount = 1000000;
constexpr long kDefaultSeed = 1;
const char kDefaultFolder[] = "vantrel-vectors";

const std::set<std::string> kPidOptions{"count", "seed"};
const std::set<std::string> kRunOptions{"gains", "mode", "passes", "kp", "ki", "kd", "kv", "w", "program"};

// Refuses the options that belong to another kind.
void accept_only(const ParsedOptions& options, const std::string& kind, const std::set<std::string>& allowed) {
    for (const auto& [name, value] : options.values) {
        if (name != "out" && allowed.count(name) == 0) {
            throw UsageError{"vectors " + kind + " takes no " + echo_quoted("--" + name)};
        }
    }
}

struct PidRequest {
    std::size_t count;
    std::uint64_t seed;
};

PidRequest pid_request(const ParsedOptions& options) {
    return {static_cast<std::size_t>(integer_option(options, "count", kDefaultCount, 0, kMaxCount)),
            static_cast<std::uint64_t>(
                integer_option(options, "seed", kDefaultSeed, 0, std::numeric_limits<long>::max()))};
}

std::string pid_command(const PidRequest& request) {
    return "vantrel-trace vectors pid --count " + std::to_string(request.count) + " --seed " +
           std::to_string(request.seed) + " --format c";
}

// The options that make the same run again, whatever gain file gave them.
std::string run_command(const ParsedOptions& options, const RunSetup& setup) {
    std::string command = "vantrel-trace vectors run --mode ";
    command += setup.speedMode ? "speed" : "position";
    if (options.text("passes")) command += " --passes " + std::to_string(setup.passLimit);
    for (std::size_t g = 0; g < RUN_GAIN_COUNT; ++g) {
        if (g == (setup.speedMode ? GAIN_KV : GAIN_W)) continue;  // the other mode's gain
        command += " --" + std::string(GAIN_SET_KEYS[g]) + " " + std::to_string(run_gain(setup.gains, g));
    }
    if (const auto program = options.text("program")) command += " --program " + *program;
    return command + " --format c";
}

RunVectors run_vectors(const ParsedOptions& options, RunSetup& setup) {
    setup = read_regulation_setup(options, std::cerr);
    load_program_option(options);
    Engine engine = chosen_program_engine();
    return record_run_vectors(engine, setup);
}

std::string cascade_c(const RunVectors& run, const std::string& command) {
    try {
        return cascade_vectors_c(run, command);
    } catch (const std::invalid_argument& e) {
        throw Exception(e.what());
    }
}

// One text into `path`, whole or not at all.
void write_text(const std::string& path, const std::string& text) {
    TraceOutput out(path, &command_stop());
    std::string error;
    if (!out.open(error)) throw TraceOutputError{error};
    out.write(text);
    if (!out.commit(error)) throw TraceOutputError{error};
}

bool c_format(const ParsedOptions& options) {
    const std::string format = options.text("format").value_or("csv");
    if (format != "csv" && format != "c") throw UsageError{"--format needs 'csv' or 'c', not " + echo_quoted(format)};
    return format == "c";
}

// The three files of the harness into their folder; standard output is
// the frame's but stays empty.
int write_harness(const ParsedOptions& options) {
    const std::string folder = options.text("out").value_or(kDefaultFolder);
    if (folder == "-") throw UsageError{"vectors harness writes three files: --out needs a folder"};
    return run_in_frame("vectors", "-", [&](TraceOutput&) {
        const PidRequest request = pid_request(options);
        RunSetup setup;
        const RunVectors run = run_vectors(options, setup);
        const auto vectors = pid_vectors(request.count, request.seed);
        const std::string runCommand = run_command(options, setup);
        const std::string cascade = cascade_c(run, runCommand);
        if (stop_asked(&command_stop())) throw CommandStopped{};  // before any file is made

        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) throw Exception("Cannot create " + folder + ": " + error.message());
        const std::filesystem::path dir(folder);
        write_text((dir / "pid_vectors_check.c").string(), pid_vectors_c(vectors, pid_command(request)));
        write_text((dir / "cascade_vectors_check.c").string(), cascade);
        write_text((dir / "README.md").string(),
                   harness_readme({vectors.size(), request.count, pid_command(request), run.passes.size(),
                                   run.speedMode, runCommand}));
        return 0;
    });
}

}  // namespace

int trace_vectors(const ParsedOptions& options) {
    if (options.words.size() > 1) throw UsageError{"vectors takes one kind, not " + echo_quoted(options.words[1])};
    const std::string kind = options.words.empty() ? std::string() : options.words[0];
    const std::string out = options.text("out").value_or("-");

    if (kind == "pid") {
        accept_only(options, kind, {"count", "seed", "format"});
        const bool c = c_format(options);
        const PidRequest request = pid_request(options);
        return run_in_frame("vectors", out, [&](TraceOutput& output) {
            const auto vectors = pid_vectors(request.count, request.seed);
            output.write(c ? pid_vectors_c(vectors, pid_command(request)) : pid_vectors_csv(vectors));
            return 0;
        });
    }
    if (kind == "run") {
        std::set<std::string> allowed = kRunOptions;
        allowed.insert("format");
        accept_only(options, kind, allowed);
        const bool c = c_format(options);
        return run_in_frame("vectors", out, [&](TraceOutput& output) {
            RunSetup setup;
            const RunVectors run = run_vectors(options, setup);
            output.write(c ? cascade_c(run, run_command(options, setup)) : run_vectors_csv(run));
            return 0;
        });
    }
    if (kind == "harness") {
        std::set<std::string> allowed = kRunOptions;
        allowed.insert(kPidOptions.begin(), kPidOptions.end());
        accept_only(options, kind, allowed);
        return write_harness(options);
    }
    throw UsageError{kind.empty() ? "vectors needs 'pid', 'run' or 'harness'"
                                  : "vectors needs 'pid', 'run' or 'harness', not " + echo_quoted(kind)};
}
