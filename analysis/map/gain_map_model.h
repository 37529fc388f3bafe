#pragma once
// The gain map's numbers, free of widgets: a grid over two of the five gains
// (the others held at the edits' values), the sweep's table as its rows come
// in the grid's order, and which cell each row fills. Where a row or a cell
// lies in the grid's order is core's business (sweep_gains_at,
// sweep_index_of); this only says which two gains are the axes.
#include "core/batch/sweep_grid.h"
#include "core/measure/metric_table.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The metrics the map can colour by (a magnitude column by its magnitude,
// as a search counts it).
inline constexpr std::array<Metric, 5> GAIN_MAP_METRICS{Metric::kSettlingMs, Metric::kOvershootPct, Metric::kIae,
                                                        Metric::kFinalError, Metric::kMaxFollowingError};

// A gain's name on the axes ("Kp" ... "W"): the label of its column, which
// the metric table has first, in the grid's order. Its sweep option is "--"
// and its GAIN_SET_KEYS, its value in RegulationGains is run_gain.
inline std::string_view gain_map_gain_name(std::size_t gain) { return metric_table()[gain].label; }

struct GainMapCell {
    int ix = 0;
    int iy = 0;
};

class GainMapModel {
public:
    // The largest map (cells) one sweep fills.
    static constexpr std::int64_t kMostCells = 512 * 512;

    // A new, empty map of `x` against `y` (indices into the grid's gains),
    // each over its range text ("FROM:TO:STEP" or one value), the other gains
    // at `fixed`. False with `error` (and the map as it was) for one gain on
    // both axes, a range that does not read, or more than kMostCells cells.
    bool reset(const RegulationGains& fixed, std::size_t x, std::string_view xRange, std::size_t y,
               std::string_view yRange, std::string& error);

    const SweepGrid& grid() const { return grid_; }
    std::size_t x_gain() const { return x_; }
    std::size_t y_gain() const { return y_; }
    int columns_across() const { return nx_; }  // cells along X
    int rows_up() const { return ny_; }         // cells along Y
    std::uint64_t total() const { return total_; }
    bool empty() const { return total_ == 0; }

    // The table's header (the first line) and its rows, without line ends.
    // A row is the grid's next gain set; it lands in the cell returned, none
    // for rows beyond the grid.
    void take_header(const std::string& header);
    std::optional<GainMapCell> take_row(const std::string& row);
    const std::vector<std::string>& rows() const { return rows_; }
    // Drops the rows (the header stays): for taking them again.
    std::vector<std::string> take_rows();

    // The cell of the grid's gain set `index`, and the index of a cell.
    GainMapCell cell_of(std::uint64_t index) const;
    std::uint64_t index_of(GainMapCell cell) const;
    RegulationGains gains_at(GainMapCell cell) const;

    // The row's number in the named column; empty where the cell is.
    std::optional<double> value(const std::string& row, std::string_view column) const;
    // "name: value" for every column of the cell's row; empty before it ran.
    std::vector<std::pair<std::string, std::string>> cells_of(GainMapCell cell) const;
    // The header and the rows so far, each ended by a new line.
    std::string table() const;

private:
    SweepGrid grid_{};
    std::size_t x_ = SWEEP_KP, y_ = SWEEP_KI;
    int nx_ = 0, ny_ = 0;
    std::uint64_t total_ = 0;
    std::string header_;
    std::vector<std::string> columns_;
    std::vector<std::string> rows_;  // in the grid's order
};

// `range` moved so that `value` is its middle value (the lower middle of an
// even count), keeping its step and number of values: the map around the
// edits' gains. It stays within 16 bits, and at 0 or above if it began there.
GainRange gain_range_around(const GainRange& range, std::int32_t value);
// "FROM:TO:STEP", or "V" for a single value: as the sweep reads it.
std::string gain_range_text(const GainRange& range);
