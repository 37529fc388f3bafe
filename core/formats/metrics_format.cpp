#include "core/formats/metrics_format.h"

#include "core/formats/csv.h"

#include <algorithm>

namespace {

template <typename T>
std::optional<double> cell(const std::optional<T>& value) {
    if (!value) return std::nullopt;
    return static_cast<double>(*value);
}

const char* mode_name(const RunMetrics& m) { return m.speedMode ? "speed" : "position"; }

}  // namespace

MetricsCells metrics_cells(const RegulationGains& gains, const RunMetrics& m) {
    return {double(gains.kp),
            double(gains.ki),
            double(gains.kd),
            double(gains.kv),
            m.speedMode ? std::optional<double>(gains.w) : std::nullopt,
            double(m.passes),
            cell(m.riseMs),
            m.overshootPct,
            cell(m.peak),
            cell(m.peakMs),
            cell(m.settlingMs),
            m.steadyError,
            cell(m.maxFollowingError),
            cell(m.maxFollowingMs),
            m.rmsFollowingError,
            cell(m.finalError),
            double(m.iae),
            double(m.pwmLimitPasses)};
}

int metrics_cell_index(std::string_view name) {
    const auto it = std::find(METRICS_CELL_COLUMNS.begin(), METRICS_CELL_COLUMNS.end(), name);
    return it == METRICS_CELL_COLUMNS.end() ? -1 : static_cast<int>(it - METRICS_CELL_COLUMNS.begin());
}

std::string metrics_csv_header() {
    std::string out = "mode,";
    csv_append_header(out, METRICS_CELL_COLUMNS);
    return out;
}

std::string metrics_csv_row(const RegulationGains& gains, const RunMetrics& metrics) {
    std::string out = mode_name(metrics);
    out += ',';
    csv_append_row(out, metrics_cells(gains, metrics));
    return out;
}

std::string metrics_json(const RegulationGains& gains, const RunMetrics& metrics) {
    std::string out = "{\"mode\":\"";
    out += mode_name(metrics);
    out += '"';
    const MetricsCells values = metrics_cells(gains, metrics);
    for (std::size_t i = 0; i < values.size(); ++i) {
        out += ",\"";
        out += METRICS_CELL_COLUMNS[i];
        out += "\":";
        if (values[i]) csv_append_number(out, *values[i]);
        else out += "null";
    }
    out += "}\n";
    return out;
}
