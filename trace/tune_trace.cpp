#include "trace/tune_trace.h"

#include "core/csv.h"
#include "core/gain_batch.h"
#include "core/gain_search.h"
#include "core/gain_set.h"
#include "io/gain_file.h"
#include "io/nc_program_file.h"
#include "toolkit/app/exception.h"
#include "trace/options.h"
#include "trace/output.h"
#include "trace/sweep_workers.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>
#include <optional>
#include <thread>
#include <type_traits>

const char kTuneUsage[] =
    "usage: vantrel-trace tune [--mode speed|position] [--kp RANGE] [--ki RANGE] [--kd RANGE] [--kv RANGE]\n"
    "                          [--w V] [--passes N] [--objective COLUMN] [--max COLUMN=VALUE]...\n"
    "                          [--no-wraps] [--top K] [--jobs J] [--gains FILE] [--program FILE]\n"
    "                          [--engine E] [--stream] [--out FILE]\n"
    "The gains kp, ki, kd, kv within their ranges whose run has the smallest value of the metrics\n"
    "column COLUMN (default iae; a signed column counts by its magnitude), among the feasible ones.\n"
    "Prints the header of `vantrel-trace metrics` and the row of the best set (--top K: the K best,\n"
    "best first); ties go to the smaller kp, then ki, kd, kv. RANGE is V, FROM:TO or FROM:TO:STEP as\n"
    "in sweep; a gain left out keeps its value from --gains or the window's initial one (250, 60, 0,\n"
    "30, 80); w is never searched. Speed mode needs --passes N; position mode runs each run to the\n"
    "end of the NC program, --passes caps it.\n"
    "  --max COLUMN=VALUE  feasible only when the column is at most VALUE (a signed column by its\n"
    "                      magnitude; an empty cell is not feasible); may be given several times\n"
    "  --no-wraps          feasible only when no pass wraps an error, sum or output of either loop\n"
    "                      (clamps and the PWM and setpoint limits are allowed)\n"
    "  --jobs J            worker processes (default: the number of cores); the rows are the same\n"
    "  --engine E          auto, lanes or scalar, as in sweep\n"
    "  --stream            one line per event instead, first field the kind: 'kind,' and the header\n"
    "                      first, 'set,ROW' for each feasible set as it is found, 'runs,N' as the\n"
    "                      count grows, 'best,ROW' for each best row at the end\n"
    "Progress goes to standard error. Exit status 4: no feasible set (standard error says how many\n"
    "were tried and which constraint ruled out the most), nothing on standard output.\n";

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void on_tune_stop_signal(int signal) { stopSignal = signal; }

void catch_stop_signals() {
    struct sigaction action {};
    action.sa_handler = on_tune_stop_signal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

struct TunePlan {
    GainSearchRequest request;
    BatchEngine engine = BatchEngine::Auto;
    int jobs = 1;
    bool stream = false;
};

// "--max A=1 --max=B=2" anywhere among the arguments: taken out, since the
// option parser keeps one value per name.
std::vector<std::string> take_limits(std::vector<std::string>& args) {
    std::vector<std::string> limits;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--max") {
            if (i + 1 >= args.size()) throw UsageError{"option --max needs a value"};
            limits.push_back(args[++i]);
        } else if (args[i].rfind("--max=", 0) == 0) {
            limits.push_back(args[i].substr(6));
        } else {
            rest.push_back(args[i]);
        }
    }
    args = std::move(rest);
    return limits;
}

std::string column_list() {
    std::string list;
    for (const std::string_view name : search_column_names()) {
        if (!list.empty()) list += ", ";
        list += name;
    }
    return list;
}

int column_option(const std::string& option, const std::string& name) {
    const int column = search_column_index(name);
    if (column < 0) throw UsageError{option + " " + quoted(name) + " is not one of " + column_list()};
    return column;
}

GainLimit read_limit(const std::string& text) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) throw UsageError{"--max needs COLUMN=VALUE, not " + quoted(text)};
    GainLimit limit;
    limit.column = column_option("--max", text.substr(0, eq));
    const std::string value = text.substr(eq + 1);
    char* end = nullptr;
    limit.most = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0' || !std::isfinite(limit.most)) {
        throw UsageError{"--max " + quoted(text) + ": the value is not a number"};
    }
    return limit;
}

TunePlan read_plan(const ParsedOptions& options, const std::vector<std::string>& limits) {
    TunePlan plan;
    GainSearchRequest& request = plan.request;
    std::optional<GainSet> file;
    if (const auto path = options.text("gains")) file = LoadGainFile(*path);
    const auto from_file = [&](const std::string& name) { return file && !options.given_after(name, "gains"); };

    if (from_file("mode")) {
        request.speedMode = file->speedMode;
    } else {
        const std::string mode = options.text("mode").value_or("position");
        if (mode != "speed" && mode != "position") {
            throw UsageError{"--mode needs 'speed' or 'position', not " + quoted(mode)};
        }
        request.speedMode = mode == "speed";
    }
    if (request.speedMode && !options.text("passes")) throw UsageError{"speed mode needs --passes N"};
    const long passes = integer_option(options, "passes", 0, 1, std::numeric_limits<long>::max());
    request.passLimit = passes > 0 ? passes : METRICS_NO_PASS_LIMIT;

    for (std::size_t g = 0; g < RUN_GAIN_COUNT; ++g) {
        const std::string name(GAIN_SET_KEYS[g]);
        const std::int16_t GainSet::*field = GAIN_SET_FIELDS[g];
        const std::string text = from_file(name) ? std::to_string((*file).*field)
                                                 : options.text(name).value_or(std::to_string(GAIN_SET_INITIAL.*field));
        GainRange range;
        std::string error;
        if (!parse_gain_range(text, range, error)) throw UsageError{"--" + name + " " + quoted(text) + ": " + error};
        if (g < SEARCH_GAIN_COUNT) {
            request.ranges[g] = range;
        } else if (gain_range_size(range) != 1) {
            throw UsageError{"--w takes one value: tune never searches w"};
        } else {
            request.w = static_cast<std::int16_t>(range.from);
        }
    }
    request.objective = column_option("--objective", options.text("objective").value_or("iae"));
    for (const std::string& text : limits) request.limits.push_back(read_limit(text));
    request.noWraps = options.flag("no-wraps");
    request.top = static_cast<std::size_t>(integer_option(options, "top", 1, 1, 1000));

    const std::string engine = options.text("engine").value_or("auto");
    if (engine == "auto") plan.engine = BatchEngine::Auto;
    else if (engine == "lanes") plan.engine = BatchEngine::Lanes;
    else if (engine == "scalar") plan.engine = BatchEngine::Scalar;
    else throw UsageError{"--engine needs 'auto', 'lanes' or 'scalar', not " + quoted(engine)};
    const long cores = std::max(1L, static_cast<long>(std::thread::hardware_concurrency()));
    plan.jobs = static_cast<int>(integer_option(options, "jobs", cores, 1, 256));
    plan.stream = options.flag("stream");
    return plan;
}

static_assert(std::is_trivially_copyable_v<RunMetrics>, "metrics travel from the workers as bytes");

// Sets per worker chunk, and the least sets worth forking workers for.
constexpr std::size_t kChunk = 512;
constexpr std::size_t kParallelFrom = 2048;

struct Failure {
    std::string message;
};
struct Stopped {};

// Measures a batch: in worker processes when it is large enough to pay for them.
void measure_batch(const TunePlan& plan, std::span<const RegulationGains> sets, std::span<RunMetrics> results) {
    const GainSearchRequest& request = plan.request;
    if (plan.jobs == 1 || sets.size() < kParallelFrom) {
        measure_gain_batch(request.speedMode, request.passLimit, sets, results, plan.engine);
        return;
    }
    const std::uint64_t chunks = (sets.size() + kChunk - 1) / kChunk;
    std::vector<RunMetrics> room(kChunk);
    const auto produce = [&](std::uint64_t c, std::string& text) {
        const std::size_t first = c * kChunk;
        const std::size_t count = std::min(sets.size(), first + kChunk) - first;
        measure_gain_batch(request.speedMode, request.passLimit, sets.subspan(first, count), room, plan.engine);
        text.append(reinterpret_cast<const char*>(room.data()), count * sizeof(RunMetrics));
    };
    const auto consume = [&](std::uint64_t c, const std::string& text) {
        std::memcpy(results.data() + c * kChunk, text.data(), text.size());
    };
    std::string error;
    const SweepEnd end = run_chunks(chunks, plan.jobs, produce, consume, stopSignal, error);
    if (end == SweepEnd::Stopped) throw Stopped{};
    if (end == SweepEnd::Failed) throw Failure{error};
}

std::string hit_row(const GainSearchHit& hit) { return metrics_csv_row(hit.gains, hit.metrics); }

// The search's progress on standard error: redrawn in place on a terminal,
// otherwise a line every few seconds.
class TuneProgress {
public:
    TuneProgress(const GainSearchRequest& request, bool terminal)
        : objective_(search_column_names()[static_cast<std::size_t>(request.objective)]), terminal_(terminal) {}

    void update(const GainSearchProgress& p) {
        const auto now = std::chrono::steady_clock::now();
        if (now < next_) return;
        next_ = now + (terminal_ ? std::chrono::milliseconds(100) : std::chrono::milliseconds(5000));
        std::string best = "none feasible yet";
        if (p.best) {
            best = "best " + std::string(objective_) + " ";
            std::string number;
            csv_append_number(number, p.best->objective);
            best += number + " at kp " + std::to_string(p.best->gains.kp) + ", ki " + std::to_string(p.best->gains.ki) +
                    ", kd " + std::to_string(p.best->gains.kd) + ", kv " + std::to_string(p.best->gains.kv);
        }
        std::fprintf(stderr, terminal_ ? "\rtune: %llu runs, %s\x1b[K" : "vantrel-trace: tune: %llu runs, %s\n",
                     static_cast<unsigned long long>(p.runs), best.c_str());
        std::fflush(stderr);
        drawn_ = true;
    }
    void finish() {
        if (terminal_ && drawn_) std::fputc('\n', stderr);
    }

private:
    std::string_view objective_;
    bool terminal_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point next_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(terminal_ ? 100 : 5000);
};

// Standard error's account of a search without a feasible set.
std::string none_found(const GainSearchRequest& request, const GainSearchOutcome& outcome) {
    const std::vector<std::string> names = search_constraint_names(request);
    std::size_t most = 0;
    for (std::size_t i = 1; i < outcome.ruledOut.size(); ++i) {
        if (outcome.ruledOut[i] > outcome.ruledOut[most]) most = i;
    }
    std::string text = "no feasible set among " + std::to_string(outcome.sets) + " gain sets tried (" +
                       std::to_string(outcome.runs) + " runs)";
    if (outcome.ruledOut[most] > 0) {
        text += "; " + names[most] + " ruled out the most: " + std::to_string(outcome.ruledOut[most]);
    }
    return text;
}

int search_and_write(const TunePlan& plan, TraceOutput& out) {
    const GainSearchRequest& request = plan.request;
    TuneProgress progress(request, ::isatty(STDERR_FILENO) == 1);
    GainSearchHooks hooks;
    hooks.measure = [&](std::span<const RegulationGains> sets, std::span<RunMetrics> results) {
        measure_batch(plan, sets, results);
    };
    hooks.wraps = [&](const RegulationGains& gains) {
        return regulation_run_wraps(request.speedMode, gains, request.passLimit);
    };
    hooks.stop = [] { return stopSignal != 0; };
    std::uint64_t streamedRuns = 0;
    hooks.progress = [&](const GainSearchProgress& p) {
        progress.update(p);
        if (!plan.stream) return;
        if (p.runs >= streamedRuns + 1000) {
            streamedRuns = p.runs;
            out.write("runs," + std::to_string(p.runs) + "\n");
        }
        out.flush();  // the reader follows the search as it goes
    };
    if (plan.stream) {
        out.write("kind," + metrics_csv_header());
        hooks.feasible = [&](const GainSearchHit& hit) { out.write("set," + hit_row(hit)); };
    }

    GainSearchOutcome outcome;
    try {
        outcome = search_gains(request, hooks);
    } catch (const Stopped&) {
        outcome.stopped = true;
    } catch (const Failure& f) {
        progress.finish();
        std::cerr << "vantrel-trace: tune: " << f.message << "\n";
        return 1;
    }
    progress.finish();
    if (outcome.stopped) {
        std::cerr << "vantrel-trace: tune: stopped\n";
        return 128 + stopSignal;
    }
    if (outcome.best.empty()) {
        std::cerr << "vantrel-trace: tune: " << none_found(request, outcome) << "\n";
        return 4;  // the output is never committed: nothing on standard output, no file
    }
    if (plan.stream) {
        out.write("runs," + std::to_string(outcome.runs) + "\n");
        for (const GainSearchHit& hit : outcome.best) out.write("best," + hit_row(hit));
    } else {
        out.write(metrics_csv_header());
        for (const GainSearchHit& hit : outcome.best) out.write(hit_row(hit));
    }
    std::cerr << "vantrel-trace: tune: " << outcome.sets << " gain sets, " << outcome.runs << " runs\n";
    std::string error;
    if (!out.commit(error)) {
        std::cerr << "vantrel-trace: " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int trace_tune(std::vector<std::string> args) {
    TunePlan plan;
    std::string outPath;
    try {
        const std::vector<std::string> limits = take_limits(args);
        const ParsedOptions options =
            parse_options(args,
                          {"gains", "mode", "kp", "ki", "kd", "kv", "w", "passes", "jobs", "program", "engine",
                           "objective", "top", "out"},
                          {"no-wraps", "stream"});
        if (options.help) {
            std::cout << kTuneUsage;
            return 0;
        }
        plan = read_plan(options, limits);
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
        std::cerr << "vantrel-trace: tune: " << e.message << "\n";
        return 2;
    } catch (const Exception& e) {
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
        return search_and_write(plan, out);
    } catch (const TraceOutputError& e) {
        std::cerr << "vantrel-trace: " << e.message << "\n";
        return 1;
    }
}
