#include "trace/tune_trace.h"

#include "core/formats/csv.h"
#include "core/batch/gain_batch.h"
#include "core/search/gain_search.h"
#include "core/formats/metrics_format.h"
#include "core/measure/gain_set.h"
#include "core/program/nc_program.h"
#include "trace/command_frame.h"
#include "trace/regulation_setup.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <system_error>

namespace {

struct TunePlan {
    GainSearchRequest request;
    BatchEngine engine = BatchEngine::Auto;
    int jobs = 1;
    bool stream = false;
};

std::string column_list() {
    std::string list;
    for (const std::string_view name : search_column_names()) {
        if (!list.empty()) list += ", ";
        list += name;
    }
    for (const MetricColumn& twin : twin_margin_columns()) list += ", " + std::string(twin.name);
    return list;
}

int column_option(const std::string& option, const std::string& name) {
    const int column = search_column_index(name);
    if (column < 0) throw UsageError{option + " " + echo_quoted(name) + " is not one of " + column_list()};
    return column;
}

// A whole or decimal number as a person writes it: digits, one optional
// point and sign; no exponent, hexadecimal, "inf" or "nan", which strtod
// would also take.
bool is_decimal(const std::string& text) {
    std::size_t i = text.empty() || (text[0] != '-' && text[0] != '+') ? 0 : 1;
    std::size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            ++digits;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits > 0;
}

// --max COLUMN=VALUE, or with `atLeast` --min COLUMN=VALUE.
GainLimit read_limit(const std::string& text, bool atLeast) {
    const std::string option = atLeast ? "--min" : "--max";
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) throw UsageError{option + " needs COLUMN=VALUE, not " + echo_quoted(text)};
    GainLimit limit;
    limit.atLeast = atLeast;
    limit.column = column_option(option, text.substr(0, eq));
    const std::string value = text.substr(eq + 1);
    char* end = nullptr;
    limit.most = std::strtod(value.c_str(), &end);
    if (!is_decimal(value) || *end != '\0' || !std::isfinite(limit.most)) {
        throw UsageError{option + " " + echo_quoted(text) + ": the value is not a whole or decimal number"};
    }
    // No magnitude is below 0: an upper limit there never holds (a lower one always does).
    const std::string refusal = atLeast ? std::string() : metric_limit_refusal(search_column(limit.column), limit.most);
    if (!refusal.empty()) throw UsageError{option + " " + echo_quoted(text) + ": " + refusal};
    return limit;
}

// --budget PASSES: a whole number from 1, in digits or with an exponent (1e10).
std::uint64_t budget_option(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    const bool plain = text.find_first_not_of("0123456789eE+") == std::string::npos;
    if (!plain || text.empty() || *end != '\0' || !(value >= 1) || value > 1e18 || value != std::floor(value)) {
        throw UsageError{"--budget " + echo_quoted(text) + ": give the passes to spend, a whole number from 1 to 1e18"};
    }
    return static_cast<std::uint64_t>(value);
}

TunePlan read_plan(const ParsedOptions& options) {
    TunePlan plan;
    GainSearchRequest& request = plan.request;
    const SetupSources sources = read_setup_sources(options);
    request.speedMode = sources.speedMode;
    request.passLimit = sources.passes.value_or(METRICS_NO_PASS_LIMIT);
    for (std::size_t g = 0; g < RUN_GAIN_COUNT; ++g) {
        const std::string text = sources.optionTexts[g].value_or(std::to_string(run_gain(sources.values, g)));
        GainRange range;
        std::string error;
        if (!parse_gain_range(text, range, error)) {
            throw UsageError{"--" + std::string(GAIN_SET_KEYS[g]) + " " + echo_quoted(text) + ": " + error};
        }
        if (g < SEARCH_GAIN_COUNT) {
            request.ranges[g] = range;
        } else if (gain_range_size(range) != 1) {
            throw UsageError{"--w takes one value: tune never searches w"};
        } else {
            request.w = static_cast<std::int16_t>(range.from);
        }
    }
    const std::string objective(metric_column(Metric::kIae).name);  // by default
    request.objective = column_option("--objective", options.text("objective").value_or(objective));
    if (search_column(request.objective).better == MetricBetter::kHigher) {
        const std::string name(search_column(request.objective).name);
        throw UsageError{"--objective " + name + ": the search minimises, and " + name +
                         " is better higher; give it a lower limit instead (--min " + name + "=VALUE)"};
    }
    for (const std::string& text : options.all("max")) request.limits.push_back(read_limit(text, false));
    for (const std::string& text : options.all("min")) request.limits.push_back(read_limit(text, true));
    request.noWraps = options.flag("no-wraps");
    request.top = static_cast<std::size_t>(integer_option(options, "top", 1, 1, 1000));
    if (const auto budget = options.text("budget")) request.budget = budget_option(*budget);

    plan.engine = engine_option(options);
    plan.jobs = jobs_option(options);
    plan.stream = options.flag("stream");
    return plan;
}

struct Failure {
    std::string message;
};

std::string hit_row(const GainSearchHit& hit) { return metrics_csv_row(hit.gains, hit.metrics); }

// "kp 121, ki 191, kd 70, kv 500"
std::string gains_text(const RegulationGains& g) {
    return "kp " + std::to_string(g.kp) + ", ki " + std::to_string(g.ki) + ", kd " + std::to_string(g.kd) + ", kv " +
           std::to_string(g.kv);
}

// The search's progress on standard error: redrawn in place on a terminal,
// otherwise a line every few seconds.
class TuneProgress {
public:
    TuneProgress(const GainSearchRequest& request, bool terminal)
        : objective_(search_column(request.objective).name), terminal_(terminal) {}

    void update(const GainSearchProgress& p) {
        const auto now = std::chrono::steady_clock::now();
        if (now < next_) return;
        next_ = now + (terminal_ ? std::chrono::milliseconds(100) : std::chrono::milliseconds(5000));
        std::string best = "none feasible yet";
        if (p.best) {
            std::string number;
            csv_append_number(number, p.best->objective);
            best = "best " + std::string(objective_) + " " + number + " at " + gains_text(p.best->gains);
        }
        const double share = p.planned > 0 ? 100.0 * double(p.sets) / double(p.planned) : 0.0;
        std::fprintf(stderr, terminal_ ? "\rtune: %llu sets (%.0f %%), %s\x1b[K" : "vantrel-trace: tune: %llu sets (%.0f %%), %s\n",
                     static_cast<unsigned long long>(p.sets), share, best.c_str());
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

// What the answer stands on: "exact: every set measured (N sets)" or
// "best found: N of M sets measured".
std::string answer_kind(const GainSearchRequest& request, const GainSearchOutcome& outcome) {
    if (outcome.exhaustive) return "exact: every set measured (" + search_box_sets_text(request) + " sets)";
    return "best found: " + std::to_string(outcome.sets) + " of " + search_box_sets_text(request) + " sets measured";
}

int search_and_write(const TunePlan& plan, TraceOutput& out) {
    const GainSearchRequest& request = plan.request;
    TuneProgress progress(request, ::isatty(STDERR_FILENO) == 1);
    GainSearchHooks hooks;
    // What every run shares, made once and only read by the worker threads.
    const GainBatchPlan batch = plan_gain_batch(request.speedMode, request.passLimit, plan.engine, request.program);
    hooks.measure = [&](std::span<const RegulationGains> sets, std::span<RunMetrics> results, std::span<std::uint8_t> wraps) {
        // With an engine of its own; a stop ends the batch within a block of passes.
        if (!measure_gain_batch(batch, sets, results, wraps, &command_stop())) throw CommandStopped{};
    };
    // The chunks on worker threads.
    hooks.chunks = [&](std::uint64_t count, const std::function<void(std::uint64_t, std::string&)>& produce,
                       const std::function<void(std::uint64_t, const std::string&)>& consume) {
        const auto make = [&](int, std::uint64_t c, std::string& bytes) {
            bytes.clear();
            produce(c, bytes);
        };
        try {
            return run_in_order<std::string>(count, plan.jobs, make, consume, command_stop()) == RunnerEnd::Finished;
        } catch (const std::system_error& e) {  // a thread that could not start
            throw Failure{std::string("cannot start a worker: ") + e.what()};
        }
    };
    hooks.stop = [] { return stop_asked(&command_stop()); };
    const std::string boxSets = search_box_sets_text(request);
    hooks.progress = [&](const GainSearchProgress& p) {
        progress.update(p);
        if (!plan.stream) return;
        out.write("progress," + std::to_string(p.sets) + "," + std::to_string(p.planned) + "," + boxSets + "\n");
        out.flush();  // the reader follows the search as it goes
    };
    if (plan.stream) {
        out.write("kind," + metrics_csv_header());
        hooks.feasible = [&](const GainSearchHit& hit) { out.write("set," + hit_row(hit)); };
    }

    GainSearchOutcome outcome;
    try {
        outcome = search_gains(request, hooks);
    } catch (const Failure& f) {
        progress.finish();
        std::cerr << "vantrel-trace: tune: " << f.message << "\n";
        return 1;
    } catch (const CommandStopped&) {
        progress.finish();
        throw;
    }
    progress.finish();
    if (outcome.stopped) throw CommandStopped{" after " + std::to_string(outcome.sets) + " of " + boxSets + " sets"};
    if (outcome.best.empty()) {
        std::cerr << "vantrel-trace: tune: " << search_none_found(request, outcome) << "\n";
        return 4;  // the output is never committed: no file, nothing more on standard output
    }
    if (plan.stream) {
        out.write(std::string("answer,") + (outcome.exhaustive ? "exact," : "best found,") + std::to_string(outcome.sets) +
                  "," + boxSets + "\n");
        for (const GainSearchHit& hit : outcome.best) out.write("best," + hit_row(hit));
    } else {
        out.write(metrics_csv_header());
        for (const GainSearchHit& hit : outcome.best) out.write(hit_row(hit));
    }
    std::cerr << "vantrel-trace: tune: " << answer_kind(request, outcome) << ", " << outcome.runs << " runs\n";
    return 0;
}

}  // namespace

int trace_tune(const ParsedOptions& options) {
    TunePlan plan = read_plan(options);
    load_program_option(options);
    plan.request.program = nc_chosen_blocks();
    return run_in_frame("tune", options.text("out").value_or(""),
                        [&](TraceOutput& out) { return search_and_write(plan, out); });
}
