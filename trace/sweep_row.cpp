#include "trace/sweep_row.h"

#include "core/formats/metrics_format.h"
#include "core/program/nc_program.h"

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

GainBatchPlan sweep_batch_plan(const SweepRunSettings& settings) {
    const std::int64_t limit = settings.passes > 0 ? settings.passes : std::numeric_limits<std::int64_t>::max();
    return plan_gain_batch(settings.speedMode, limit, settings.engine, nc_chosen_blocks());
}

bool sweep_append_rows(std::string& out, const SweepRunSettings& settings, const GainBatchPlan& plan, RunMeter& meter,
                       std::span<const RegulationGains> sets, std::span<RunMetrics> results, const StopFlag* stop) {
    if (!measure_gain_batch(plan, meter, sets, results, stop)) return false;
    for (std::size_t i = 0; i < sets.size(); ++i) {
        std::string row = metrics_csv_row(sets[i], results[i]);
        if (settings.wraps) {
            append_cell(row, gain_batch_wraps(plan, meter, sets[i], stop) ? ",1" : ",0");
        }
        out += row;
    }
    return !stop_asked(stop);
}
