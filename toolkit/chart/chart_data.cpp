#include "toolkit/chart/chart_data.h"

#include <algorithm>
#include <cmath>

namespace {

// Sort key of an X value: NaN sorts after everything.
double order_key(double x) { return std::isnan(x) ? std::numeric_limits<double>::infinity() : x; }

std::size_t buckets_for(std::size_t count) { return (count + SeriesData::kFanout - 1) >> SeriesData::kFanoutBits; }

}  // namespace

bool plottable(double x, double y) { return std::fabs(x) <= kPlotLimit && std::fabs(y) <= kPlotLimit; }

void SeriesData::set(std::size_t i, double x, double y) {
    Chunk& chunk = *chunks_[i >> kChunkBits];
    chunk.x[i & kChunkMask] = x;
    chunk.y[i & kChunkMask] = y;
}

std::size_t SeriesData::add(double x, double y) {
    std::size_t at = size_;
    if (size_ > 0 && order_key(x) < order_key(this->x(size_ - 1))) {
        // First index whose key is above x's; the last point's is.
        std::size_t lo = 0;
        std::size_t hi = size_ - 1;
        while (lo < hi) {
            std::size_t mid = lo + (hi - lo) / 2;
            if (order_key(this->x(mid)) > order_key(x)) {
                hi = mid;
            } else {
                lo = mid + 1;
            }
        }
        at = lo;
    }
    if (size_ == chunks_.size() * kChunkSize) chunks_.push_back(std::unique_ptr<Chunk>(new Chunk));
    ++size_;
    if (at == size_ - 1) {
        set(at, x, y);
        summarise_append(at);
    } else {
        for (std::size_t i = size_ - 1; i > at; --i) set(i, this->x(i - 1), this->y(i - 1));
        set(at, x, y);
        summarise_from(at);
    }
    if (::plottable(x, y)) {
        xExtent_.add(x);
        yExtent_.add(y);
    }
    return at;
}

void SeriesData::clear() {
    chunks_.clear();
    chunks_.shrink_to_fit();
    levels_.clear();
    levels_.shrink_to_fit();
    size_ = 0;
    xExtent_ = ValueSpan{};
    yExtent_ = ValueSpan{};
}

void SeriesData::summarise_append(std::size_t i) {
    if (levels_.empty()) levels_.emplace_back();
    const bool counts = plottable(i);
    const double v = y(i);
    std::size_t bucket = i;
    for (auto& level : levels_) {
        bucket >>= kFanoutBits;
        if (level.size() <= bucket) level.emplace_back();
        if (counts) level[bucket].add(v);
    }
    add_level_if_needed();
}

void SeriesData::summarise_from(std::size_t i) {
    if (levels_.empty()) levels_.emplace_back();
    std::size_t below = size_;
    for (std::size_t k = 0; k < levels_.size(); ++k) {
        auto& level = levels_[k];
        level.resize(buckets_for(below));
        const std::size_t shift = kFanoutBits * (k + 1);
        for (std::size_t b = i >> shift; b < level.size(); ++b) {
            const std::size_t first = b << kFanoutBits;
            const std::size_t last = std::min(first + kFanout, below);
            if (k == 0) {
                level[b] = raw_span(first, last);
            } else {
                ValueSpan span;
                for (std::size_t c = first; c < last; ++c) span.add(levels_[k - 1][c]);
                level[b] = span;
            }
        }
        below = level.size();
    }
    add_level_if_needed();
}

void SeriesData::add_level_if_needed() {
    while (levels_.back().size() > kFanout) {
        const auto& top = levels_.back();
        std::vector<ValueSpan> next(buckets_for(top.size()));
        for (std::size_t c = 0; c < top.size(); ++c) next[c >> kFanoutBits].add(top[c]);
        levels_.push_back(std::move(next));
    }
}

ValueSpan SeriesData::raw_span(std::size_t first, std::size_t last) const {
    ValueSpan span;
    for (std::size_t i = first; i < last; ++i) {
        if (plottable(i)) span.add(y(i));
    }
    return span;
}

ValueSpan SeriesData::y_span(std::size_t first, std::size_t last) const {
    ValueSpan out;
    if (last > size_) last = size_;
    if (first >= last) return out;
    // Climb while the range is wide: the ragged ends are taken at the current
    // level, the whole buckets in between one level up.
    std::size_t a = first;
    std::size_t b = last;
    std::size_t level = 0;  // 0 = the points themselves, k = levels_[k - 1]
    auto scan = [&](std::size_t lvl, std::size_t from, std::size_t to) {
        if (lvl == 0) {
            out.add(raw_span(from, to));
        } else {
            for (std::size_t e = from; e < to; ++e) out.add(levels_[lvl - 1][e]);
        }
    };
    while (true) {
        const bool canClimb = level < levels_.size();
        const std::size_t a2 = (a + kFanout - 1) >> kFanoutBits;
        const std::size_t b2 = b >> kFanoutBits;
        if (!canClimb || b - a <= 2 * kFanout || a2 >= b2) {
            scan(level, a, b);
            break;
        }
        scan(level, a, a2 << kFanoutBits);
        scan(level, b2 << kFanoutBits, b);
        a = a2;
        b = b2;
        ++level;
    }
    return out;
}

std::size_t SeriesData::storage_bytes() const {
    std::size_t bytes = sizeof(*this) + chunks_.size() * sizeof(Chunk) + chunks_.capacity() * sizeof(chunks_[0]);
    bytes += levels_.capacity() * sizeof(levels_[0]);
    for (const auto& level : levels_) bytes += level.capacity() * sizeof(ValueSpan);
    return bytes;
}
