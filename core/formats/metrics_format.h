#pragma once
// A run's metrics as cells: numbers by column name, for the panel and a
// search to read, and the CSV row and JSON object the command line prints.
#include "core/measure/metrics.h"
#include "core/engine/regulation.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The columns after "mode", in the header's order: the gains, then the
// run's metrics from "passes" on.
inline constexpr std::array<std::string_view, 18> METRICS_CELL_COLUMNS = {
    "kp", "ki", "kd", "kv", "w", "passes",
    "rise_ms", "overshoot_pct", "peak", "peak_ms", "settling_ms", "steady_error",
    "max_following_error", "max_following_ms", "rms_following_error", "final_error",
    "iae", "pwm_limit_passes",
};
// The index of "passes", the first column of the metrics proper.
inline constexpr std::size_t METRICS_FIRST_METRIC = 5;

// One number per column of METRICS_CELL_COLUMNS; empty where the row's cell
// is empty (w in position mode, the columns that do not apply).
using MetricsCells = std::array<std::optional<double>, METRICS_CELL_COLUMNS.size()>;
MetricsCells metrics_cells(const RegulationGains& gains, const RunMetrics& metrics);
// The index of a column of METRICS_CELL_COLUMNS, or -1.
int metrics_cell_index(std::string_view name);

// The header, "mode" and METRICS_CELL_COLUMNS.
std::string metrics_csv_header();
// One row: mode, the gains used (w only in speed mode), then the metrics.
std::string metrics_csv_row(const RegulationGains& gains, const RunMetrics& metrics);
// One JSON object with the header's keys; empty cells are null.
std::string metrics_json(const RegulationGains& gains, const RunMetrics& metrics);
