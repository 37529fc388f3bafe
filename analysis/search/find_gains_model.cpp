#include "analysis/search/find_gains_model.h"

#include "core/measure/gain_set.h"
#include "core/formats/metrics_format.h"

#include <algorithm>
#include <cmath>

namespace {

FoundSet found_set(const GainSearchHit& hit) {
    FoundSet set;
    set.gains = hit.gains;
    for (std::size_t m = 0; m < FOUND_METRIC_COUNT; ++m) {
        const std::optional<double> value = search_column_value(int(m), hit.metrics);
        set.cells[m] = value ? static_cast<float>(*value) : NAN;
    }
    return set;
}

}  // namespace

void FindGainsModel::reset(std::string_view objective) {
    *this = FindGainsModel{};
    objective_ = std::string(objective);
}

std::optional<double> FindGainsModel::value(const FoundSet& set, std::string_view column) {
    const int index = search_column_index(column);
    if (index < 0) return std::nullopt;
    const float v = set.cells[static_cast<std::size_t>(index)];
    if (std::isnan(v)) return std::nullopt;
    return double(v);
}

void FindGainsModel::take_set(const GainSearchHit& hit) { sets_.push_back(found_set(hit)); }

void FindGainsModel::take_progress(const GainSearchProgress& progress, std::string boxSets) {
    measured_ = progress.sets;
    planned_ = progress.planned;
    boxSets_ = std::move(boxSets);
    if (progress.best) best_ = progress.best;
}

void FindGainsModel::take_outcome(const GainSearchOutcome& outcome) {
    measured_ = outcome.sets;
    final_ = outcome.best;
    if (!final_.empty()) best_ = final_.front();
    answer_ = outcome.exhaustive ? Answer::Exact : Answer::BestFound;
}

std::optional<FoundSet> FindGainsModel::best() const {
    if (!best_) return std::nullopt;
    return found_set(*best_);
}

std::string FindGainsModel::best_row() const { return best_ ? metrics_csv_row(best_->gains, best_->metrics) : std::string(); }

std::vector<std::size_t> FindGainsModel::front(std::string_view x, std::string_view y) const {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < sets_.size(); ++i) {
        if (value(sets_[i], x) && value(sets_[i], y)) order.push_back(i);
    }
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const double ax = *value(sets_[a], x), bx = *value(sets_[b], x);
        if (ax != bx) return ax < bx;
        return *value(sets_[a], y) < *value(sets_[b], y);
    });
    // Along x upwards, a set is on the front when its y is below every y before it.
    std::vector<std::size_t> front;
    double lowest = INFINITY;
    for (const std::size_t i : order) {
        const double vy = *value(sets_[i], y);
        if (vy < lowest) {
            front.push_back(i);
            lowest = vy;
        }
    }
    return front;
}

std::string default_gain_range(std::int16_t value) {
    if (value == 0) return "0";
    const std::int32_t a = value / 4, b = std::clamp(std::int32_t{value} * 4, -32768, 32767);
    return std::to_string(std::min(a, b)) + ":" + std::to_string(std::max(a, b));
}

std::vector<RangeEdge> range_edges(const RegulationGains& best, const std::array<GainRange, 4>& ranges) {
    std::vector<RangeEdge> edges;
    for (std::size_t g = 0; g < ranges.size(); ++g) {
        const GainRange& r = ranges[g];
        if (r.to <= r.from) continue;
        const std::int32_t value = run_gain(best, g);
        const std::int32_t last = r.from + (r.to - r.from) / r.step * r.step;
        const std::int32_t span = std::max(r.to - r.from, r.step);
        if (value == last && last + r.step <= GAIN_VALUE_MAX) {
            edges.push_back({g, true, {r.from, std::min(GAIN_VALUE_MAX, r.to + span), r.step}});
        } else if (value == r.from && r.from != 0 && r.from - r.step >= GAIN_VALUE_MIN) {
            const std::int32_t floor = r.from > 0 ? 0 : GAIN_VALUE_MIN;
            edges.push_back({g, false, {std::max(floor, r.from - span), r.to, r.step}});
        }
    }
    return edges;
}
