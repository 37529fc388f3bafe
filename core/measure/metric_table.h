#pragma once
// The columns of a run's metrics, one row each: the gains the run was made
// with, then its own figures. Every front end reads this table: the CSV and
// JSON the command line writes, the sweep, the search's objectives and
// limits, the panel's metrics, kept runs, gain map and "Find gains". A new
// metric is a field of RunMetrics that the accumulator fills, one enumerator
// below and one row of the table.
#include "core/engine/regulation.h"
#include "core/measure/metrics.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The columns by their place in the CSV header (after "mode").
enum class Metric : std::uint8_t {
    kKp, kKi, kKd, kKv, kW,
    kPasses, kRiseMs, kOvershootPct, kPeak, kPeakMs, kSettlingMs, kSteadyError,
    kMaxFollowingError, kMaxFollowingMs, kRmsFollowingError, kFinalError, kIae, kPwmLimitPasses,
    kLimitCycleAmplitude, kLimitCyclePeriodMs,
    // The margins of the gains' real-valued twin (core/frequency): not of a
    // run, so in no run's row, but columns a search can limit.
    kTwinGainMarginDb, kTwinPhaseMarginDeg, kTwinCrossoverHz, kTwinPhaseCrossoverHz, kTwinMs, kTwinBandwidthHz,
};
// The columns of a run's row: the CSV header (after "mode"), the JSON keys.
inline constexpr std::size_t METRIC_COUNT = 20;
// The twin's margins, after them.
inline constexpr std::size_t METRIC_TWIN_COUNT = 6;
// The first of the run's own figures; the gains come before it.
inline constexpr std::size_t METRIC_FIRST = static_cast<std::size_t>(Metric::kPasses);

// Where a column can have a value: every run, or runs of one mode only.
enum class MetricModes : std::uint8_t { kBoth, kSpeed, kPosition };
// Which of two values is the better one.
enum class MetricBetter : std::uint8_t {
    kNone,         // a setting or a description of the run
    kLower,        // times, overshoot, IAE, passes at the limit
    kNearestZero,  // signed errors: the smallest magnitude
    kHigher,
};

struct MetricColumn {
    Metric id;
    std::string_view name;   // in the CSV header, the JSON keys and the settings
    std::string_view label;  // for people
    std::string_view unit;   // empty for none
    MetricModes modes;
    // A search's objective and limits, and the map's colours, take the
    // magnitude of a signed column: its distance from zero either way.
    bool magnitude;
    MetricBetter better;
    bool fraction;             // shown with three decimals; otherwise a whole number
    std::string_view meaning;  // what it measures, in one sentence
    // The cell of a run made with these gains; empty where the column does not apply.
    std::optional<double> (*cell)(const RegulationGains& gains, const RunMetrics& metrics);
    // What a search and its limits count where that is not the cell (null:
    // the cell, by its magnitude where `magnitude` says).
    std::optional<double> (*counted)(const RegulationGains& gains, const RunMetrics& metrics) = nullptr;
};

// Every column of a run's row, in the header's order (row i is Metric i).
std::span<const MetricColumn> metric_table();
// The twin's margins, Metric::kTwinGainMarginDb on: their cells are empty
// for a run (the search works them out from the gains).
std::span<const MetricColumn> twin_margin_columns();
const MetricColumn& metric_column(Metric id);
// The column of that name (a run's or the twin's), or nullptr.
const MetricColumn* metric_column_named(std::string_view name);
// The names alone, in the header's order.
std::span<const std::string_view> metric_names();

// One number per column; empty where the row's cell is empty (w in position
// mode, the columns that do not apply).
using MetricsCells = std::array<std::optional<double>, METRIC_COUNT>;
MetricsCells metrics_cells(const RegulationGains& gains, const RunMetrics& metrics);

// The value a search, a limit or the map counts: |value| for a magnitude column.
std::optional<double> metric_counted(const MetricColumn& column, std::optional<double> value);
// The value a search and its limits count for a run (the column's `counted`,
// else its cell counted as above).
std::optional<double> metric_counted(const MetricColumn& column, const RegulationGains& gains, const RunMetrics& metrics);
// Whether runs of this mode have a value in the column (gains aside).
bool metric_applies(const MetricColumn& column, bool speedMode);
// `value` is better than `than` (false for kNone).
bool metric_better(const MetricColumn& column, double value, double than);
// Why "at most `most`" can never hold for the column, or empty: no
// magnitude is below 0.
std::string metric_limit_refusal(const MetricColumn& column, double most);

// "IAE (count ms)"; counted, a magnitude column reads "|Steady error| (count)".
std::string metric_caption(const MetricColumn& column, bool counted = false);
// What it measures, its unit, which way is better and whether it counts by
// magnitude, one sentence a line: for a tooltip.
std::string metric_description(const MetricColumn& column);
