#include "analysis/map/gain_map_model.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

std::vector<std::string> split_cells(const std::string& row) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t comma; (comma = row.find(',', start)) != std::string::npos; start = comma + 1) {
        cells.push_back(row.substr(start, comma - start));
    }
    cells.push_back(row.substr(start));
    return cells;
}

}  // namespace

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
    header_.clear();
    columns_.clear();
    rows_.clear();
    rows_.reserve(total_);
    return true;
}

void GainMapModel::take_header(const std::string& header) {
    header_ = header;
    columns_ = split_cells(header);
}

std::optional<GainMapCell> GainMapModel::take_row(const std::string& row) {
    if (rows_.size() >= total_) return std::nullopt;
    rows_.push_back(row);
    return cell_of(rows_.size() - 1);
}

std::vector<std::string> GainMapModel::take_rows() { return std::exchange(rows_, {}); }

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

std::optional<double> GainMapModel::value(const std::string& row, std::string_view column) const {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (columns_[c] != column) continue;
        const std::vector<std::string> cells = split_cells(row);
        if (c >= cells.size() || cells[c].empty()) return std::nullopt;
        return std::strtod(cells[c].c_str(), nullptr);
    }
    return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> GainMapModel::cells_of(GainMapCell cell) const {
    std::vector<std::pair<std::string, std::string>> out;
    const std::uint64_t index = index_of(cell);
    if (index >= rows_.size()) return out;
    const std::vector<std::string> cells = split_cells(rows_[index]);
    for (std::size_t c = 0; c < columns_.size(); ++c) out.emplace_back(columns_[c], c < cells.size() ? cells[c] : "");
    return out;
}

std::string GainMapModel::table() const {
    if (header_.empty()) return {};
    std::string text = header_ + "\n";
    for (const std::string& row : rows_) text += row + "\n";
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
