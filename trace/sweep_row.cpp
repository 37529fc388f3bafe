#include "trace/sweep_row.h"

#include "core/search/gain_search.h"
#include "core/formats/metrics_format.h"

#include <limits>

namespace {
// Puts `cell` before the line's closing '\n'.
void append_cell(std::string& line, std::string_view cell) {
    line.insert(line.size() - 1, cell);
}
}  // namespace

std::string sweep_header(const SweepRunSettings& settings) {
    std::string header = metrics_csv_header();
    if (settings.wraps) append_cell(header, "," + std::string(METRICS_WRAPS_COLUMN));
    return header;
}

void sweep_append_rows(std::string& out, const SweepRunSettings& settings, std::span<const RegulationGains> sets,
                       std::span<RunMetrics> results) {
    const std::int64_t limit = settings.passes > 0 ? settings.passes : std::numeric_limits<std::int64_t>::max();
    measure_gain_batch(settings.speedMode, limit, sets, results, settings.engine);
    for (std::size_t i = 0; i < sets.size(); ++i) {
        std::string row = metrics_csv_row(sets[i], results[i]);
        if (settings.wraps) {
            append_cell(row, regulation_run_wraps(settings.speedMode, sets[i], limit) ? ",1" : ",0");
        }
        out += row;
    }
}
