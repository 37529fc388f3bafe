#include "analysis/search/find_gains_model.h"

#include "core/measure/gain_set.h"
#include "core/search/gain_search.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <tuple>

namespace {

// mode,kp,ki,kd,kv,w, then the metrics.
std::optional<FoundSet> parse_row(std::string_view row) {
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in{std::string(row)};
    while (std::getline(in, cell, ',')) cells.push_back(cell);
    if (!row.empty() && row.back() == ',') cells.emplace_back();
    if (cells.size() != 1 + METRIC_COUNT) return std::nullopt;
    FoundSet set;
    std::int16_t* const gains[4] = {&set.gains.kp, &set.gains.ki, &set.gains.kd, &set.gains.kv};
    for (std::size_t g = 0; g < 4; ++g) *gains[g] = static_cast<std::int16_t>(std::atoi(cells[1 + g].c_str()));
    set.gains.w = static_cast<std::int16_t>(std::atoi(cells[5].c_str()));
    for (std::size_t m = 0; m < FOUND_METRIC_COUNT; ++m) {
        const std::string& text = cells[1 + METRIC_FIRST + m];
        const auto counted = metric_counted(search_column(int(m)), std::strtod(text.c_str(), nullptr));
        set.cells[m] = text.empty() ? NAN : static_cast<float>(*counted);
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

bool FindGainsModel::better(const FoundSet& a, const FoundSet& b) const {
    const auto x = value(a, objective_), y = value(b, objective_);
    if (!x || !y) return x.has_value();
    if (*x != *y) return *x < *y;
    const auto key = [](const FoundSet& s) { return std::tuple(s.gains.kp, s.gains.ki, s.gains.kd, s.gains.kv); };
    return key(a) < key(b);
}

bool FindGainsModel::take_line(const std::string& line) {
    const std::size_t comma = line.find(',');
    const std::string_view kind = std::string_view(line).substr(0, comma);
    const std::string_view rest = comma == std::string::npos ? std::string_view() : std::string_view(line).substr(comma + 1);
    if (kind == "kind") return true;
    if (kind == "progress" || kind == "answer") {
        // progress,N,P,M and answer,exact|best found,N,M
        std::vector<std::string> fields;
        std::istringstream in{std::string(rest)};
        for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
        if (fields.size() != 3) return false;
        const std::size_t first = kind == "answer" ? 1 : 0;
        measured_ = std::strtoull(fields[first].c_str(), nullptr, 10);
        if (kind == "progress") planned_ = std::strtoull(fields[1].c_str(), nullptr, 10);
        boxSets_ = fields[2];
        if (kind == "answer") answer_ = fields[0] == "exact" ? Answer::Exact : Answer::BestFound;
        return true;
    }
    if (kind != "set" && kind != "best") return false;
    const std::optional<FoundSet> set = parse_row(rest);
    if (!set) return false;
    if (kind == "best") {
        if (finalRows_.empty()) {
            finalBest_ = set;
            bestRow_ = std::string(rest);
        }
        finalRows_.emplace_back(rest);
        return true;
    }
    sets_.push_back(*set);
    if (!best_ || better(*set, sets_[*best_])) {
        best_ = sets_.size() - 1;
        bestRow_ = std::string(rest);
    }
    return true;
}

std::optional<FoundSet> FindGainsModel::best() const {
    if (finalBest_) return finalBest_;
    if (best_) return sets_[*best_];
    return std::nullopt;
}

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
