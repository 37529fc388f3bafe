#pragma once
// A run's metrics as text: the CSV row and JSON object the command line
// prints of its cells (metrics_cells), and a number as the panel shows it.
#include "core/measure/metric_table.h"
#include "core/measure/metrics.h"
#include "core/engine/regulation.h"

#include <optional>
#include <string>
#include <string_view>

// The header: "mode", then the table's names.
std::string metrics_csv_header();
// One row: mode, the gains used (w only in speed mode), then the metrics.
std::string metrics_csv_row(const RegulationGains& gains, const RunMetrics& metrics);
// One JSON object with the header's keys; empty cells are null.
std::string metrics_json(const RegulationGains& gains, const RunMetrics& metrics);
// The last column of a sweep that looks for wraps (1 or 0).
inline constexpr std::string_view METRICS_WRAPS_COLUMN = "wraps";

// A number as the panel shows it: whole numbers as such, fractions with
// three decimals (so that a column keeps its width as values change), and
// "–" for none.
std::string metric_text(const MetricColumn& column, std::optional<double> value);
