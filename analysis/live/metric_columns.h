#pragma once
// The metrics as the panel reads and shows them: the columns of
// `vantrel-trace metrics` after the mode, each with the run's number, its
// kind (a fraction or a whole number) and which of its values is the best.
// The panel reads the numbers, never the CSV text it would print.
#include "core/measure/metrics.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class MetricBest : char {
    kNone,        // a setting or a description of the run: no better value
    kLowest,      // less is better (times, overshoot, IAE, passes at the limit)
    kNearestZero  // errors: the smallest magnitude is best
};

struct MetricColumn {
    std::string_view name;  // as in the CSV header
    bool fraction;          // shown with three decimals; otherwise a whole number
    MetricBest best;
};

// In the header's order, from kp on.
std::span<const MetricColumn> metric_columns();
// One run's numbers, one per column; none where the CSV cell is empty.
std::vector<std::optional<double>> metric_values(const RegulationGains& gains, const RunMetrics& metrics);
// A number as the panel shows it: whole numbers as such, fractions with
// three decimals (so that a column keeps its width as values change), and
// "–" for none.
std::string metric_text(const MetricColumn& column, std::optional<double> value);
// `value` is better than `than` in `column` (false for kNone).
bool metric_better(const MetricColumn& column, double value, double than);
