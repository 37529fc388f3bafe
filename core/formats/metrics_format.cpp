#include "core/formats/metrics_format.h"

#include "core/formats/csv.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

const char* mode_name(const RunMetrics& m) { return m.speedMode ? "speed" : "position"; }

}  // namespace

std::string metrics_csv_header() {
    std::string out = "mode,";
    csv_append_header(out, metric_names());
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
        out += metric_names()[i];
        out += "\":";
        if (values[i]) csv_append_number(out, *values[i]);
        else out += "null";
    }
    out += "}\n";
    return out;
}

std::string metric_text(const MetricColumn& column, std::optional<double> value) {
    if (!value || !std::isfinite(*value)) return "\u2013";
    char text[48];
    std::snprintf(text, sizeof text, column.fraction ? "%.3f" : "%.0f", *value);
    // A fraction that rounds to zero from below is no negative number.
    if (text[0] == '-' && std::strtod(text, nullptr) == 0) return text + 1;
    return text;
}
