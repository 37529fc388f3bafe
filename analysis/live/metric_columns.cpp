#include "analysis/live/metric_columns.h"

#include "core/formats/metrics_format.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

using B = MetricBest;
constexpr std::array<MetricColumn, 18> kColumns = {{
    {"kp", false, B::kNone},
    {"ki", false, B::kNone},
    {"kd", false, B::kNone},
    {"kv", false, B::kNone},
    {"w", false, B::kNone},
    {"passes", false, B::kNone},
    {"rise_ms", false, B::kLowest},
    {"overshoot_pct", true, B::kLowest},
    {"peak", false, B::kNone},
    {"peak_ms", false, B::kNone},
    {"settling_ms", false, B::kLowest},
    {"steady_error", true, B::kNearestZero},
    {"max_following_error", false, B::kNearestZero},
    {"max_following_ms", false, B::kNone},
    {"rms_following_error", true, B::kLowest},
    {"final_error", false, B::kNearestZero},
    {"iae", false, B::kLowest},
    {"pwm_limit_passes", false, B::kLowest},
}};

// The names are the metrics' own, in their order.
constexpr bool names_match() {
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        if (kColumns[i].name != METRICS_CELL_COLUMNS[i]) return false;
    }
    return kColumns.size() == METRICS_CELL_COLUMNS.size();
}
static_assert(names_match(), "the panel's columns are the metrics' cells");

}  // namespace

std::span<const MetricColumn> metric_columns() { return kColumns; }

std::vector<std::optional<double>> metric_values(const RegulationGains& gains, const RunMetrics& metrics) {
    const MetricsCells cells = metrics_cells(gains, metrics);
    return {cells.begin(), cells.end()};
}

std::string metric_text(const MetricColumn& column, std::optional<double> value) {
    if (!value || !std::isfinite(*value)) return "\u2013";
    char text[48];
    std::snprintf(text, sizeof text, column.fraction ? "%.3f" : "%.0f", *value);
    // A fraction that rounds to zero from below is no negative number.
    if (text[0] == '-' && std::strtod(text, nullptr) == 0) return text + 1;
    return text;
}

bool metric_better(const MetricColumn& column, double value, double than) {
    switch (column.best) {
    case MetricBest::kLowest:
        return value < than;
    case MetricBest::kNearestZero:
        return std::abs(value) < std::abs(than);
    case MetricBest::kNone:
        break;
    }
    return false;
}
