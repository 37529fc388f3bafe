#include "trace/sweep_row.h"

#include "core/formats/metrics_format.h"
#include "core/program/nc_program.h"

#include <algorithm>
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
    std::uint8_t wrapRoom[512];  // a chunk at a time, in parts of this many sets
    for (std::size_t first = 0; first < sets.size(); first += std::size(wrapRoom)) {
        const std::size_t count = std::min(std::size(wrapRoom), sets.size() - first);
        const std::span<std::uint8_t> wraps = settings.wraps ? std::span(wrapRoom, count) : std::span<std::uint8_t>();
        if (!measure_gain_batch(plan, meter, sets.subspan(first, count), results.subspan(first, count), wraps, stop)) {
            return false;
        }
        for (std::size_t i = 0; i < count; ++i) {
            std::string row = metrics_csv_row(sets[first + i], results[first + i]);
            if (settings.wraps) append_cell(row, wraps[i] != 0 ? ",1" : ",0");
            out += row;
        }
    }
    return true;
}
