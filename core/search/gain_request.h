#pragma once
// What a search for gains is asked (core/search/gain_search.h): the box, the
// objective and the limits, the budget of work; how it measures sets and
// whom it tells what it finds.
#include "core/measure/headless_run.h"
#include "core/measure/metrics.h"
#include "core/measure/metric_table.h"
#include "core/engine/regulation.h"
#include "core/batch/sweep_grid.h"
#include "core/frequency/loop_margins.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The gains a search varies: the first four of GAIN_SET_KEYS (kp, ki, kd, kv);
// w stays as the request gives it.
inline constexpr std::size_t SEARCH_GAIN_COUNT = 4;

// What a run costs beyond its passes, in passes: making its metrics and
// judging them takes about as long as 100 passes of the lanes.
inline constexpr std::uint64_t GAIN_SEARCH_SET_COST = 100;
// The default budget, in passes: 6.8 x 10^7 position runs of the demo
// program, or 5 x 10^7 speed runs of 300 passes; about 12 CPU seconds with
// AVX-512.
inline constexpr std::uint64_t GAIN_SEARCH_BUDGET = 20'000'000'000;

// The metric columns a search minimises or limits: the metric table's from
// METRIC_FIRST on; a column of the table that counts by magnitude does here.
// After them come the columns of the gains' twin (twin_margin_columns), which
// a search works out from each set's gains: closed form, about 7 us a set.
std::span<const std::string_view> search_column_names();
// Index into search_column_names(), then the twin's columns after them; -1 for none.
int search_column_index(std::string_view name);
bool search_column_of_twin(int column);
// The metric table's row of a search column.
const MetricColumn& search_column(int column);
// The column's value for a run (metric_counted); empty where the metrics
// leave the cell empty. A twin's column reads `twin`, the margins of the
// run's gains (empty without them).
std::optional<double> search_column_value(int column, const RunMetrics& metrics, const LoopMargins* twin = nullptr);
// The margins a twin's column reads: of the twin of the request's mode with
// these gains, from RESPONSE_FROM_HZ to the Nyquist frequency.
LoopMargins search_twin_margins(bool speedMode, const RegulationGains& gains);
// What a set costs beyond its run when the request reads the twin, in passes:
// its margins take about as long as this many passes of the lanes.
inline constexpr std::uint64_t GAIN_SEARCH_TWIN_COST = 16'000;

// A bound on a column. A set misses it by search_limit_excess.
struct GainLimit {
    int column = 0;       // into the search's columns (search_column_index)
    double most = 0;      // the bound: feasible only when the value is at most this ...
    bool atLeast = false; // ... or, for a lower bound, at least this
};
// 0 when `value` meets the limit; otherwise how far it misses, relative to
// the limit's size; an empty cell misses by GAIN_SEARCH_MISSING.
double search_limit_excess(const GainLimit& limit, std::optional<double> value);
inline constexpr double GAIN_SEARCH_MISSING = 1e9;

struct GainSearchRequest {
    bool speedMode = false;
    std::int64_t passLimit = METRICS_NO_PASS_LIMIT;
    std::array<GainRange, SEARCH_GAIN_COUNT> ranges{};  // a single value fixes a gain
    std::int16_t w = 0;                                  // the speed setpoint (speed mode)
    int objective = 0;                                   // into search_column_names()
    std::vector<GainLimit> limits;
    bool noWraps = false;  // no pass may raise an e_wrap, sum_wrap or out_wrap of either loop
    std::size_t top = 1;   // how many of the best feasible sets to return
    std::uint64_t budget = GAIN_SEARCH_BUDGET;  // the work it may spend, in passes
    // Position mode: the program the runs load (null for the demo), which
    // the measure hook's runs load too.
    std::shared_ptr<const NcProgramBlocks> program;
};

struct GainSearchHit {
    RegulationGains gains{};
    RunMetrics metrics;
    double objective = 0;
};

struct GainSearchProgress {
    std::uint64_t sets = 0;     // distinct gain sets measured so far
    std::uint64_t planned = 0;  // at most this many in all (all of the box when it is measured whole)
    std::uint64_t runs = 0;     // runs made so far: a set measured again counts again
    std::optional<GainSearchHit> best;  // the best feasible set so far
};

// Runs produce(c) for the chunks c = 0 ... count - 1, in any order and
// anywhere (other processes or threads; produce reads only what existed when
// the runner was called, and appends the chunk's bytes to what it is given),
// and hands each chunk's bytes to consume(c) here, in the order of c.
// Returns false when it was stopped.
using SearchChunkRunner = std::function<bool(std::uint64_t count,
                                             const std::function<void(std::uint64_t c, std::string& bytes)>& produce,
                                             const std::function<void(std::uint64_t c, const std::string& bytes)>& consume)>;

struct GainSearchHooks {
    // Measures every set: results[i] for sets[i], and when `wraps` is not
    // empty wraps[i] = 1 if the run wraps an error, sum or output of either
    // loop, else 0. Required.
    std::function<void(std::span<const RegulationGains> sets, std::span<RunMetrics> results,
                       std::span<std::uint8_t> wraps)>
        measure;
    // Where the chunks of work run; optional: one after another here.
    SearchChunkRunner chunks;
    // After each chunk; optional.
    std::function<void(const GainSearchProgress&)> progress;
    // Feasible sets as they are found, for a follower; optional. Each new best
    // as it is found, and a sample evenly through the feasible sets of every
    // chunk: every one of a small box, about GAIN_SEARCH_SHOWN in all of a
    // large one (at least 24 of each chunk).
    std::function<void(const GainSearchHit&)> feasible;
    // Asked between chunks; true ends the search early.
    std::function<bool()> stop;
};

// About how many feasible sets a follower is shown.
inline constexpr std::uint64_t GAIN_SEARCH_SHOWN = 20'000;


// Gain sets of the request's box, held to UINT64_MAX, and exactly as text.
std::uint64_t search_box_sets(const GainSearchRequest& request);
std::string search_box_sets_text(const GainSearchRequest& request);

// Whether the request reads a twin's column.
bool search_uses_twin(const GainSearchRequest& request);

// "iae", "pwm_limit_passes <= 0", "no wraps", "a value of iae": the names of
// the constraints in GainSearchOutcome::ruledOut's order.
std::vector<std::string> search_constraint_names(const GainSearchRequest& request);
