#include "trace/sweep_row.h"

#include "core/metrics.h"

#include <limits>

std::string sweep_header() { return metrics_csv_header(); }

void sweep_append_row(std::string& out, const SweepRunSettings& settings, const RegulationGains& gains) {
    const std::int64_t limit = settings.passes > 0 ? settings.passes : std::numeric_limits<std::int64_t>::max();
    out += metrics_csv_row(gains, measure_regulation_run(settings.speedMode, gains, limit));
}
