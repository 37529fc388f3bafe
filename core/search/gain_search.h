#pragma once
// Find gains: the kp, ki, kd, kv of a box that give the smallest value of one
// metric, under upper limits on others and, if asked, without any wrap of
// the controllers' error, sum or output. The runs are the real 16-bit loop,
// measured through a batch function the caller gives (the sweep engine, or
// worker processes around it), so the search itself is plain and
// deterministic: the same request and the same measurements give the same
// answer.
//
// The method: a box of at most GAIN_SEARCH_EXHAUSTIVE sets is measured whole.
// A larger one is measured on a regular coarse grid first; from 64 of its
// best points (half of them chosen to lie apart) an integer pattern search
// walks in single-gain steps of 100, 10 and 1 (in steps of each range),
// always to the best neighbour, and goes back to the long steps after every
// move, so it stops only where no single step of 100, 10 or 1 improves. One
// more walk sets out from the best grid point on each face of the box (one
// or more gains at an end of their range), kept on that face until it stops
// and then free: a limit that cuts the box often leaves its best sets where
// it meets a face, in a pocket the grid steps over.
#include "core/measure/headless_run.h"
#include "core/measure/run_wraps.h"
#include "core/measure/metrics.h"
#include "core/measure/metric_table.h"
#include "core/engine/regulation.h"
#include "core/batch/sweep_grid.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The gains a search varies: the first four of GAIN_SET_KEYS (kp, ki, kd, kv);
// w stays as the request gives it.
inline constexpr std::size_t SEARCH_GAIN_COUNT = 4;

// Boxes up to this many sets are measured whole; a larger box first on a
// coarse grid of about GAIN_SEARCH_COARSE points.
inline constexpr std::uint64_t GAIN_SEARCH_EXHAUSTIVE = 100'000;
inline constexpr std::uint64_t GAIN_SEARCH_COARSE = 300'000;

// The metric columns a search minimises or limits: the metric table's from
// METRIC_FIRST on; a column of the table that counts by magnitude does here.
std::span<const std::string_view> search_column_names();
// Index into search_column_names(), or -1.
int search_column_index(std::string_view name);
// The metric table's row of a search column.
const MetricColumn& search_column(int column);
// The column's value for a run (metric_counted); empty
// where the metrics leave the cell empty.
std::optional<double> search_column_value(int column, const RunMetrics& metrics);

struct GainLimit {
    int column = 0;    // into search_column_names()
    double most = 0;   // feasible only when the value is at most this
};

struct GainSearchRequest {
    bool speedMode = false;
    std::int64_t passLimit = METRICS_NO_PASS_LIMIT;
    std::array<GainRange, SEARCH_GAIN_COUNT> ranges{};  // a single value fixes a gain
    std::int16_t w = 0;                                  // the speed setpoint (speed mode)
    int objective = 0;                                   // into search_column_names()
    std::vector<GainLimit> limits;
    bool noWraps = false;  // no pass may raise an e_wrap, sum_wrap or out_wrap of either loop
    std::size_t top = 1;   // how many of the best feasible sets to return
    std::uint64_t coarse = GAIN_SEARCH_COARSE;  // points of the coarse grid (tests take fewer)
};

struct GainSearchHit {
    RegulationGains gains{};
    RunMetrics metrics;
    double objective = 0;
};

struct GainSearchProgress {
    std::uint64_t runs = 0;  // runs measured so far (each set once, plus the runs that look for wraps)
    std::optional<GainSearchHit> best;  // the best feasible set so far (its metrics left empty)
};

struct GainSearchHooks {
    // Measures every set (results[i] for sets[i]); required.
    std::function<void(std::span<const RegulationGains> sets, std::span<RunMetrics> results)> measure;
    // Whether a run of these gains raises any of the six wraps; required with noWraps.
    std::function<bool(const RegulationGains& gains)> wraps;
    // After each batch; optional.
    std::function<void(const GainSearchProgress&)> progress;
    // Each set as it is found feasible; optional. With noWraps, only the sets
    // the search looked at for wraps are known to be feasible: up to 2,000 of
    // the grid, evenly through its ranking, and the walks' steps, not every
    // set that meets the limits.
    std::function<void(const GainSearchHit&)> feasible;
    // Asked between batches; true ends the search early.
    std::function<bool()> stop;
};

struct GainSearchOutcome {
    std::vector<GainSearchHit> best;  // the `top` best feasible sets, best first; empty when none
    std::uint64_t runs = 0;           // as in GainSearchProgress
    std::uint64_t sets = 0;           // distinct gain sets measured
    bool stopped = false;
    // How many measured sets each constraint ruled out: the limits in the
    // request's order, then the wraps (counted among the sets looked at for
    // them), then the sets without a value of the objective. A set can count
    // for several.
    std::vector<std::uint64_t> ruledOut;
};

GainSearchOutcome search_gains(const GainSearchRequest& request, const GainSearchHooks& hooks);

// "iae", "pwm_limit_passes <= 0", "no wraps", "a value of iae": the names of
// the constraints in GainSearchOutcome::ruledOut's order.
std::vector<std::string> search_constraint_names(const GainSearchRequest& request);
