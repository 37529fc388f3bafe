#pragma once
// The points of one line series, with a min/max summary kept up to date as
// points arrive, so that drawing a pixel column of a million-point series
// costs a few hundred steps instead of a walk over its points. No Qt here.
#include <array>
#include <cstddef>
#include <limits>
#include <memory>
#include <vector>

// Bounds of a set of values; empty while lo > hi.
struct ValueSpan {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();

    bool empty() const { return lo > hi; }
    void add(double v) {
        if (v < lo) lo = v;
        if (v > hi) hi = v;
    }
    void add(const ValueSpan& other) {
        if (other.lo < lo) lo = other.lo;
        if (other.hi > hi) hi = other.hi;
    }
};

// Points beyond this magnitude, NaN and infinities are kept but never drawn
// nor counted in the axis ranges: the program's values are 16-bit numbers,
// and such values would only break the scaling.
inline constexpr double kPlotLimit = 1e15;
bool plottable(double x, double y);

class SeriesData {
public:
    std::size_t size() const { return size_; }
    double x(std::size_t i) const { return chunks_[i >> kChunkBits]->x[i & kChunkMask]; }
    double y(std::size_t i) const { return chunks_[i >> kChunkBits]->y[i & kChunkMask]; }
    bool plottable(std::size_t i) const { return ::plottable(x(i), y(i)); }

    // Keeps X ascending: a point goes after every point with an X not above
    // its own (a NaN X counts as above everything). Appending is constant
    // time; an insert before the end moves the later points and costs O(N).
    // Returns the new point's index.
    std::size_t add(double x, double y);
    void clear();  // keeps no memory

    // Y bounds of the plottable points with index in [first, last).
    ValueSpan y_span(std::size_t first, std::size_t last) const;
    // Bounds of all plottable points.
    const ValueSpan& x_extent() const { return xExtent_; }
    const ValueSpan& y_extent() const { return yExtent_; }

    // Memory held for the points and their summary.
    std::size_t storage_bytes() const;

    // Summary geometry: a bucket of level k covers kFanout^(k+1) points.
    static constexpr std::size_t kFanoutBits = 5;
    static constexpr std::size_t kFanout = std::size_t{1} << kFanoutBits;

private:
    // Fixed-size chunks: growing never copies the points already stored, so
    // no pass pays for a reallocation of a long series.
    static constexpr std::size_t kChunkBits = 12;
    static constexpr std::size_t kChunkSize = std::size_t{1} << kChunkBits;
    static constexpr std::size_t kChunkMask = kChunkSize - 1;
    struct Chunk {
        std::array<double, kChunkSize> x;
        std::array<double, kChunkSize> y;
    };

    void set(std::size_t i, double x, double y);
    void summarise_append(std::size_t i);
    void summarise_from(std::size_t i);  // rebuilds every bucket from index i on
    ValueSpan raw_span(std::size_t first, std::size_t last) const;
    void add_level_if_needed();

    std::vector<std::unique_ptr<Chunk>> chunks_;
    std::size_t size_ = 0;
    // levels_[k][b]: Y bounds of the points b * F^(k+1) ... (b + 1) * F^(k+1) - 1.
    // Levels are added until the top one has at most F buckets.
    std::vector<std::vector<ValueSpan>> levels_;
    ValueSpan xExtent_;
    ValueSpan yExtent_;
};
