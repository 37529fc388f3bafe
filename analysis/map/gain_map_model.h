#pragma once
// The gain map's numbers, free of widgets: a grid over two of the five gains
// (the others held at the edits' values), the metrics and wrap flags of its
// runs as they come in the grid's order, and which cell each fills. Where a
// set or a cell lies in the grid's order is core's business (sweep_gains_at,
// sweep_index_of); this only says which two gains are the axes.
#include "core/batch/sweep_grid.h"
#include "core/measure/metric_table.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
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

    // The grid's gain sets in its order: what a sweep of it measures.
    std::vector<RegulationGains> gain_sets() const;
    // The metrics and wrap flags of the sets from `first` on, as they come
    // in the grid's order (sets beyond the grid are dropped).
    void take(std::uint64_t first, std::span<const RunMetrics> results, std::span<const std::uint8_t> wraps);
    std::uint64_t measured() const { return results_.size(); }  // sets taken so far

    // The cell of the grid's gain set `index`, and the index of a cell.
    GainMapCell cell_of(std::uint64_t index) const;
    std::uint64_t index_of(GainMapCell cell) const;
    RegulationGains gains_at(GainMapCell cell) const;

    // The metric of the set's run as the map colours it (metric_counted);
    // empty where its cell is or the set has not been measured.
    std::optional<double> value(std::uint64_t index, const MetricColumn& metric) const;
    bool wraps(std::uint64_t index) const { return index < wraps_.size() && wraps_[index] != 0; }
    // The cell's run: every column's caption and value as the panel shows
    // them, and whether it wraps; empty before it ran.
    std::vector<std::pair<std::string, std::string>> cells_of(GainMapCell cell) const;
    // The sets measured so far as `vantrel-trace sweep --wraps` prints them:
    // the header and a row each, each ended by a new line; "" before a map.
    std::string table() const;

private:
    SweepGrid grid_{};
    std::size_t x_ = SWEEP_KP, y_ = SWEEP_KI;
    int nx_ = 0, ny_ = 0;
    std::uint64_t total_ = 0;
    std::vector<RunMetrics> results_;  // in the grid's order
    std::vector<std::uint8_t> wraps_;
};

// `range` moved so that `value` is its middle value (the lower middle of an
// even count), keeping its step and number of values: the map around the
// edits' gains. It stays within 16 bits, and at 0 or above if it began there.
GainRange gain_range_around(const GainRange& range, std::int32_t value);
// "FROM:TO:STEP", or "V" for a single value: as the sweep reads it.
std::string gain_range_text(const GainRange& range);
