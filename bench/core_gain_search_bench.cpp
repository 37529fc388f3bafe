// How good and how fast the gain search is, on a few representative boxes in
// both modes: its CPU time and runs in one process; whether any single-gain
// step of 1, 10 or 100 from its answer finds a better feasible set (a step of
// 1 must not); and its answer against the best feasible point of regular
// grids of up to 30,000 points over the same box. Prints one line per box and
// grid; exits 1 when a criterion fails. `core_gain_search_bench scalar` holds the search to the
// scalar engine (default: the engine's Auto).
#include "core/batch/gain_batch.h"
#include "core/measure/run_wraps.h"
#include "core/search/gain_search.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

BatchEngine engine = BatchEngine::Auto;

double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Box {
    const char* what;
    GainSearchRequest request;
};

GainSearchRequest request_of(bool speedMode, std::int64_t passes, std::array<GainRange, 4> ranges, const char* objective,
                             std::vector<GainLimit> limits, bool noWraps) {
    GainSearchRequest r;
    r.speedMode = speedMode;
    r.passLimit = passes;
    r.w = 80;
    r.ranges = ranges;
    r.objective = search_column_index(objective);
    r.limits = std::move(limits);
    r.noWraps = noWraps;
    return r;
}

// The bench's one thread measures with this engine.
RunMeter meter;

void measure(const GainSearchRequest& r, std::span<const RegulationGains> sets, std::span<RunMetrics> results,
             std::span<std::uint8_t> wraps = {}) {
    measure_gain_batch(plan_gain_batch(r.speedMode, r.passLimit, engine, nullptr), meter, sets, results, wraps);
}

bool wraps(const GainSearchRequest& r, const RegulationGains& gains) {
    return regulation_run_wraps(meter.engine, r.speedMode, gains, r.passLimit);
}

// The objective of a set, or nothing when it is infeasible.
std::vector<std::optional<double>> judge(const GainSearchRequest& r, const std::vector<RegulationGains>& sets) {
    std::vector<RunMetrics> results(sets.size());
    measure(r, sets, results);
    std::vector<std::optional<double>> out(sets.size());
    for (std::size_t i = 0; i < sets.size(); ++i) {
        bool ok = true;
        for (const GainLimit& limit : r.limits) {
            const auto v = search_column_value(limit.column, results[i]);
            ok = ok && v && *v <= limit.most;
        }
        const auto objective = search_column_value(r.objective, results[i]);
        if (ok && objective) out[i] = objective;
    }
    return out;
}

// The best feasible objective among `sets`, wraps looked at from the best down.
std::optional<double> best_feasible(const GainSearchRequest& r, const std::vector<RegulationGains>& sets,
                                    RegulationGains& at) {
    const auto objectives = judge(r, sets);
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < sets.size(); ++i) {
        if (objectives[i]) order.push_back(i);
    }
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return *objectives[a] < *objectives[b]; });
    for (const std::size_t i : order) {
        if (r.noWraps && wraps(r, sets[i])) continue;
        at = sets[i];
        return objectives[i];
    }
    return std::nullopt;
}

std::int16_t& gain(RegulationGains& g, std::size_t i) {
    std::int16_t* const fields[4] = {&g.kp, &g.ki, &g.kd, &g.kv};
    return *fields[i];
}

// A regular grid: `counts` values per gain, from the range's start with the
// given offset (0: both ends; 0.5: cell centres).
std::vector<RegulationGains> grid(const GainSearchRequest& r, std::array<int, 4> counts, double offset) {
    std::array<std::vector<std::int16_t>, 4> values;
    for (std::size_t g = 0; g < 4; ++g) {
        const GainRange& range = r.ranges[g];
        const double span = double(range.to - range.from);
        for (int i = 0; i < counts[g]; ++i) {
            const double at = counts[g] == 1 ? 0.5 : (offset == 0 ? i / double(counts[g] - 1) : (i + offset) / counts[g]);
            values[g].push_back(static_cast<std::int16_t>(range.from + std::lround(at * span)));
        }
    }
    std::vector<RegulationGains> sets;
    for (auto a : values[0])
        for (auto b : values[1])
            for (auto c : values[2])
                for (auto d : values[3]) sets.push_back({a, b, c, d, r.w});
    return sets;
}

bool check(const Box& box) {
    const GainSearchRequest& r = box.request;
    GainSearchHooks hooks;
    hooks.measure = [&](std::span<const RegulationGains> sets, std::span<RunMetrics> results, std::span<std::uint8_t> w) {
        measure(r, sets, results, w);
    };
    const double start = cpu_seconds();
    const GainSearchOutcome outcome = search_gains(r, hooks);
    const double cpu = cpu_seconds() - start;
    if (outcome.best.empty()) {
        std::printf("%s: no feasible set (%llu runs, %.2f s CPU)\n", box.what, (unsigned long long)outcome.runs, cpu);
        return false;
    }
    const GainSearchHit& best = outcome.best[0];
    std::printf("%s: %s %.6g at kp %d ki %d kd %d kv %d; %s: %llu of %s sets, %llu runs, %.2f s CPU (%s)\n", box.what,
                std::string(search_column_names()[static_cast<std::size_t>(r.objective)]).c_str(), best.objective,
                best.gains.kp, best.gains.ki, best.gains.kd, best.gains.kv, outcome.exhaustive ? "exact" : "best found",
                (unsigned long long)outcome.sets, search_box_sets_text(r).c_str(), (unsigned long long)outcome.runs, cpu,
                batch_engine_name(engine));
    bool ok = true;

    // Single-gain steps of 1, 10 and 100 inside the box.
    std::vector<RegulationGains> around;
    for (std::size_t g = 0; g < 4; ++g) {
        const GainRange& range = r.ranges[g];
        for (const int step : {1, 10, 100}) {
            for (const int sign : {-1, 1}) {
                RegulationGains n = best.gains;
                const int value = gain(n, g) + sign * step * range.step;
                if (value < range.from || value > range.to) continue;
                gain(n, g) = static_cast<std::int16_t>(value);
                around.push_back(n);
            }
        }
    }
    const auto objectives = judge(r, around);
    int better = 0, betterByOne = 0;
    RegulationGains at = best.gains;
    for (std::size_t i = 0; i < around.size(); ++i) {
        if (!objectives[i] || *objectives[i] >= best.objective) continue;
        if (r.noWraps && wraps(r, around[i])) continue;
        ++better;
        for (std::size_t g = 0; g < 4; ++g) betterByOne += std::abs(gain(around[i], g) - gain(at, g)) == r.ranges[g].step;
    }
    std::printf("  steps of 1, 10, 100: %zu neighbours, %d better and feasible (%d of them a step of 1)\n", around.size(),
                better, betterByOne);
    ok = ok && betterByOne == 0;  // the walks end where no step of 1 improves; longer ones are only reported

    // Regular grids of up to 30,000 points.
    const std::array<int, 4> shapes[] = {{13, 13, 13, 13}, {30, 10, 10, 10}, {10, 10, 10, 30}, {20, 15, 10, 10},
                                         {12, 12, 12, 17}, {14, 14, 12, 12}};
    for (const auto& counts : shapes) {
        std::array<int, 4> c = counts;
        int searched = 0;
        for (std::size_t g = 0; g < 4; ++g) {
            if (r.ranges[g].from == r.ranges[g].to) c[g] = 1;
            else ++searched;
        }
        if (searched < 4) {  // a box of fewer gains: the same number of points spread over the rest
            const double per = std::pow(30000.0, 1.0 / searched);
            for (std::size_t g = 0; g < 4; ++g) {
                if (c[g] != 1) c[g] = std::max(2, int(per * counts[g] / 13.0));
            }
            long n = 1;
            for (int x : c) n *= x;
            while (n > 30000) {
                auto widest = std::max_element(c.begin(), c.end());
                n = n / *widest * (*widest - 1);
                --*widest;
            }
        }
        for (const double offset : {0.0, 0.5}) {
            const auto sets = grid(r, c, offset);
            RegulationGains at{};
            const auto g = best_feasible(r, sets, at);
            const bool beaten = g && *g < best.objective;
            std::printf("  grid %dx%dx%dx%d%s (%zu points): best %s%s\n", c[0], c[1], c[2], c[3],
                        offset == 0 ? "" : " centred", sets.size(), g ? std::to_string(*g).c_str() : "none feasible",
                        beaten ? "  BETTER THAN THE SEARCH" : "");
            if (beaten) std::printf("    at kp %d ki %d kd %d kv %d\n", at.kp, at.ki, at.kd, at.kv);
            ok = ok && !beaten;
        }
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "scalar") engine = BatchEngine::Scalar;
    const int pwm = search_column_index("pwm_limit_passes");
    const Box boxes[] = {
        {"position, 4 gains, iae, no wraps, pwm_limit_passes <= 0",
         request_of(false, METRICS_NO_PASS_LIMIT, {{{0, 3000, 1}, {0, 1000, 1}, {0, 1000, 1}, {1, 500, 1}}}, "iae",
                    {{pwm, 0}}, true)},
        {"position, 3 gains, rms_following_error, max_following_error <= 20",
         request_of(false, METRICS_NO_PASS_LIMIT, {{{0, 3000, 1}, {0, 1000, 1}, {0, 0, 1}, {1, 500, 1}}},
                    "rms_following_error", {{search_column_index("max_following_error"), 20}}, false)},
        {"speed 300 passes, 3 gains, iae, no wraps, pwm_limit_passes <= 5",
         request_of(true, 300, {{{0, 3000, 1}, {0, 1000, 1}, {0, 1000, 1}, {30, 30, 1}}}, "iae", {{pwm, 5}}, true)},
        {"speed 300 passes, 2 gains, steady_error, peak <= 60",
         request_of(true, 300, {{{0, 5000, 1}, {0, 2000, 1}, {0, 0, 1}, {30, 30, 1}}}, "steady_error",
                    {{search_column_index("peak"), 60}}, false)},
    };
    bool ok = true;
    for (const Box& box : boxes) ok = check(box) && ok;
    return ok ? 0 : 1;
}
