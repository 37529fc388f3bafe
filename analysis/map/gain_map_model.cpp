#include "analysis/map/gain_map_model.h"

#include "core/formats/metrics_format.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

bool GainMapModel::reset(const RegulationGains& fixed, std::size_t x, std::string_view xRange, std::size_t y,
                         std::string_view yRange, std::string& error) {
    if (x == y) {
        error = "The two axes need two different gains.";
        return false;
    }
    SweepGrid grid;
    for (std::size_t g = 0; g < SWEEP_GAIN_COUNT; ++g) grid.ranges[g] = {run_gain(fixed, g), run_gain(fixed, g), 1};
    for (const auto& [gain, text] : {std::pair{x, xRange}, std::pair{y, yRange}}) {
        std::string why;
        if (!parse_gain_range(text, grid.ranges[gain], why)) {
            error = std::string(gain_map_gain_name(gain)) + " range '" + std::string(text) + "': " + why;
            return false;
        }
    }
    const std::int64_t nx = gain_range_size(grid.ranges[x]), ny = gain_range_size(grid.ranges[y]);
    if (nx * ny > kMostCells) {
        error = std::to_string(nx) + " x " + std::to_string(ny) + " cells is more than the " +
                std::to_string(kMostCells) + " one map takes.";
        return false;
    }
    grid_ = grid;
    x_ = x;
    y_ = y;
    nx_ = static_cast<int>(nx);
    ny_ = static_cast<int>(ny);
    total_ = static_cast<std::uint64_t>(nx * ny);
    results_.clear();
    wraps_.clear();
    results_.reserve(total_);
    wraps_.reserve(total_);
    return true;
}

std::vector<RegulationGains> GainMapModel::gain_sets() const {
    std::vector<RegulationGains> sets(total_);
    for (std::uint64_t i = 0; i < total_; ++i) sets[i] = sweep_gains_at(grid_, i);
    return sets;
}

void GainMapModel::take(std::uint64_t first, std::span<const RunMetrics> results, std::span<const std::uint8_t> wraps) {
    if (first != results_.size()) return;  // not the next ones: the grid's order is the table's
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(results.size(), total_ - first));
    results_.insert(results_.end(), results.begin(), results.begin() + static_cast<std::ptrdiff_t>(count));
    for (std::size_t i = 0; i < count; ++i) wraps_.push_back(i < wraps.size() ? wraps[i] : 0);
}

GainMapCell GainMapModel::cell_of(std::uint64_t index) const {
    const RegulationGains gains = sweep_gains_at(grid_, index);
    const GainRange& xr = grid_.ranges[x_];
    const GainRange& yr = grid_.ranges[y_];
    return {(run_gain(gains, x_) - xr.from) / xr.step, (run_gain(gains, y_) - yr.from) / yr.step};
}

RegulationGains GainMapModel::gains_at(GainMapCell cell) const {
    // Every gain but the two axes is a single value: the grid's first set
    // holds them, and the axes are set to the cell's.
    RegulationGains gains = sweep_gains_at(grid_, 0);
    std::int16_t* values[SWEEP_GAIN_COUNT] = {&gains.kp, &gains.ki, &gains.kd, &gains.kv, &gains.w};
    const GainRange& xr = grid_.ranges[x_];
    const GainRange& yr = grid_.ranges[y_];
    *values[x_] = static_cast<std::int16_t>(xr.from + cell.ix * xr.step);  // within the range, so within 16 bits
    *values[y_] = static_cast<std::int16_t>(yr.from + cell.iy * yr.step);
    return gains;
}

std::uint64_t GainMapModel::index_of(GainMapCell cell) const {
    std::uint64_t index = 0;
    sweep_index_of(grid_, gains_at(cell), index);  // on the grid by construction
    return index;
}

std::optional<double> GainMapModel::value(std::uint64_t index, const MetricColumn& metric) const {
    if (index >= results_.size()) return std::nullopt;
    return metric_counted(metric, metric.cell(sweep_gains_at(grid_, index), results_[index]));
}

std::vector<std::pair<std::string, std::string>> GainMapModel::cells_of(GainMapCell cell) const {
    std::vector<std::pair<std::string, std::string>> out;
    const std::uint64_t index = index_of(cell);
    if (index >= results_.size()) return out;
    const RegulationGains gains = sweep_gains_at(grid_, index);
    for (const MetricColumn& column : metric_table()) {
        if (!metric_applies(column, results_[index].speedMode)) continue;
        out.emplace_back(metric_caption(column), metric_text(column, column.cell(gains, results_[index])));
    }
    out.emplace_back("Wraps", wraps_[index] != 0 ? "yes" : "no");
    return out;
}

std::string GainMapModel::table() const {
    if (empty()) return {};
    std::string text = metrics_csv_header();
    text.insert(text.size() - 1, "," + std::string(METRICS_WRAPS_COLUMN));
    for (std::size_t i = 0; i < results_.size(); ++i) {
        text += metrics_csv_row(sweep_gains_at(grid_, i), results_[i]);
        text.insert(text.size() - 1, wraps_[i] != 0 ? ",1" : ",0");
    }
    return text;
}

GainRange gain_range_around(const GainRange& range, std::int32_t value) {
    const std::int32_t span = range.to - range.from;
    const std::int32_t below = span / range.step / 2 * range.step;  // from the lower middle down to the first
    const std::int32_t lowest = range.from >= 0 ? 0 : INT16_MIN;
    const std::int32_t from = std::min(std::max(value - below, lowest), INT16_MAX - span);
    return {from, from + span, range.step};
}

std::string gain_range_text(const GainRange& range) {
    if (range.from == range.to) return std::to_string(range.from);
    return std::to_string(range.from) + ":" + std::to_string(range.to) + ":" + std::to_string(range.step);
}
