#include "trace/sweep_row.h"

#include "core/metrics_format.h"

#include <limits>

std::string sweep_header() { return metrics_csv_header(); }

void sweep_append_rows(std::string& out, const SweepRunSettings& settings, std::span<const RegulationGains> sets,
                       std::span<RunMetrics> results) {
    const std::int64_t limit = settings.passes > 0 ? settings.passes : std::numeric_limits<std::int64_t>::max();
    measure_gain_batch(settings.speedMode, limit, sets, results, settings.engine);
    for (std::size_t i = 0; i < sets.size(); ++i) out += metrics_csv_row(sets[i], results[i]);
}
