#include "trace/sweep_trace.h"

#include "core/gain_set.h"
#include "core/sweep_grid.h"
#include "toolkit/app/exception.h"
#include "io/gain_file.h"
#include "trace/options.h"
#include "trace/output.h"
#include "trace/sweep_progress.h"
#include "trace/sweep_workers.h"
#include "io/nc_program_file.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <limits>
#include <optional>
#include <thread>

const char kSweepUsage[] =
    "usage: vantrel-trace sweep [--mode speed|position] [--kp RANGE] [--ki RANGE] [--kd RANGE]\n"
    "                           [--kv RANGE] [--w RANGE] [--passes N] [--jobs J] [--shard K/N]\n"
    "                           [--gains FILE] [--program FILE] [--engine E] [--out FILE]\n"
    "The metrics of one run per gain set, with the header and columns of `vantrel-trace metrics`.\n"
    "RANGE is V, FROM:TO or FROM:TO:STEP (whole numbers, TO included, STEP 1 unless given, values\n"
    "within 16 bits); a gain left out keeps the window's initial value (250, 60, 0, 30, 80). Rows\n"
    "come in a fixed order, kp slowest and w fastest, whatever --jobs is. Speed mode needs\n"
    "--passes N; position mode runs each run to the end of the NC program, --passes caps it.\n"
    "--gains FILE (a gain file) gives the mode and the fixed gains; options given after it\n"
    "override it. --program FILE runs that NC program instead of the demo.\n"
    "  --jobs J     worker processes (default: the number of cores)\n"
    "  --shard K/N  only the gain sets whose index i in that order has i mod N = K\n"
    "  --engine E   auto (default), lanes (many gain sets stepped together on the widest\n"
    "               instruction set of this CPU) or scalar (one run at a time); the rows are\n"
    "               the same with every engine\n"
    "Progress goes to standard error. Ctrl+C stops the sweep and leaves no --out file.\n";

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void on_stop_signal(int signal) { stopSignal = signal; }

// Catches the signals that end a sweep; without SA_RESTART, so a blocked
// read returns and the stop is seen at once.
void catch_stop_signals() {
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

// A user's text echoed in a message: quoted and cut.
std::string quoted(const std::string& text) {
    constexpr std::size_t kMost = 40;
    return "'" + (text.size() > kMost ? text.substr(0, kMost) + "..." : text) + "'";
}

struct Refusal {
    std::string message;
};

SweepPlan read_plan(const ParsedOptions& options) {
    SweepPlan plan;
    std::optional<GainSet> file;
    if (const auto path = options.text("gains")) file = LoadGainFile(*path);
    // The file's value unless the option came after it.
    const auto from_file = [&](const std::string& name) { return file && !options.given_after(name, "gains"); };

    if (from_file("mode")) {
        plan.run.speedMode = file->speedMode;
    } else {
        const std::string mode = options.text("mode").value_or("position");
        if (mode != "speed" && mode != "position") {
            throw Refusal{"--mode needs 'speed' or 'position', not " + quoted(mode)};
        }
        plan.run.speedMode = mode == "speed";
    }
    if (plan.run.speedMode && !options.text("passes")) throw Refusal{"speed mode needs --passes N"};
    plan.run.passes = integer_option(options, "passes", 0, 1, std::numeric_limits<long>::max());

    for (std::size_t g = 0; g < SWEEP_GAIN_COUNT; ++g) {
        const std::string name(GAIN_SET_KEYS[g]);
        const std::int16_t GainSet::*field = GAIN_SET_FIELDS[g];
        const std::string text = from_file(name) ? std::to_string((*file).*field)
                                                 : options.text(name).value_or(std::to_string(GAIN_SET_INITIAL.*field));
        std::string error;
        if (!parse_gain_range(text, plan.grid.ranges[g], error)) {
            throw Refusal{"--" + name + " " + quoted(text) + ": " + error};
        }
    }
    if (sweep_grid_size(plan.grid) > SWEEP_MAX_GAIN_SETS) {
        throw Refusal{"the grid has " + sweep_grid_size_text(plan.grid) + " gain sets, more than the " +
                      std::to_string(SWEEP_MAX_GAIN_SETS) + " one sweep takes"};
    }
    if (const auto shard = options.text("shard")) {
        std::string error;
        if (!parse_sweep_shard(*shard, plan.shard, error)) throw Refusal{"--shard " + quoted(*shard) + ": " + error};
    }
    const std::string engine = options.text("engine").value_or("auto");
    if (engine == "auto") plan.run.engine = BatchEngine::Auto;
    else if (engine == "lanes") plan.run.engine = BatchEngine::Lanes;
    else if (engine == "scalar") plan.run.engine = BatchEngine::Scalar;
    else throw Refusal{"--engine needs 'auto', 'lanes' or 'scalar', not " + quoted(engine)};
    const long cores = std::max(1L, static_cast<long>(std::thread::hardware_concurrency()));
    plan.jobs = static_cast<int>(integer_option(options, "jobs", cores, 1, 256));
    return plan;
}

int refuse(const std::string& message) {
    std::cerr << "vantrel-trace: sweep: " << message << "\n";
    return 2;
}

// Header and rows into `out`, then commits it; the exit status.
int write_sweep(const SweepPlan& plan, TraceOutput& out, const std::string& outPath) {
    std::string error;
    out.write(sweep_header());
    const std::uint64_t total = sweep_shard_size(sweep_grid_size(plan.grid), plan.shard);
    SweepProgress progress(stderr, ::isatty(STDERR_FILENO) == 1, total);
    std::uint64_t done = 0;
    const SweepEnd end = run_sweep(
        plan, [&](const std::string& rows) { out.write(rows); },
        [&](std::uint64_t count) {
            done = count;
            progress.update(count);
        },
        stopSignal, error);
    progress.finish();
    if (end == SweepEnd::Stopped) {
        std::cerr << "vantrel-trace: sweep: stopped after " << done << " of " << total << " gain sets"
                  << (outPath.empty() ? "" : "; " + outPath + " not written") << "\n";
        return 128 + stopSignal;  // the output's destructor removes the unfinished file
    }
    if (end == SweepEnd::Failed) {
        std::cerr << "vantrel-trace: sweep: " << error << "\n";
        return 1;
    }
    if (!out.commit(error)) {
        std::cerr << "vantrel-trace: " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int trace_sweep(const std::vector<std::string>& args) {
    SweepPlan plan;
    std::string outPath;
    try {
        const ParsedOptions options =
            parse_options(args, {"gains", "mode", "kp", "ki", "kd", "kv", "w", "passes", "jobs", "shard", "program", "engine", "out"});
        if (options.help) {
            std::cout << kSweepUsage;
            return 0;
        }
        plan = read_plan(options);
        outPath = options.text("out").value_or("");
        // The workers are forked from this process, so they run the program chosen here.
        if (const auto program = options.text("program")) {
            std::string error;
            if (!choose_nc_program_file(*program, error)) {
                std::cerr << "vantrel-trace: " << error << "\n";
                return 1;
            }
        }
    } catch (const UsageError& e) {
        return refuse(e.message);
    } catch (const Refusal& e) {
        return refuse(e.message);
    } catch (const Exception& e) {  // a gain file that cannot be read, as the other commands report it
        std::cerr << "vantrel-trace: " << e.Message() << "\n";
        return 1;
    }
    if (outPath == "-") outPath.clear();

    catch_stop_signals();
    TraceOutput out(outPath);
    std::string error;
    if (!out.open(error)) {
        std::cerr << "vantrel-trace: " << error << "\n";
        return 1;
    }
    try {
        return write_sweep(plan, out, outPath);
    } catch (const TraceOutputError& e) {  // a full disk or a closed pipe: the workers are already ended
        std::cerr << "vantrel-trace: " << e.message << "\n";
        return 1;
    }
}
