#include "core/search/gain_search.h"

#include "core/formats/csv.h"
#include "core/measure/metric_table.h"
#include "core/measure/regulation_events.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace {

// The table's columns from "passes" on, by the metrics' own names.
std::span<const std::string_view> column_names() { return metric_names().subspan(METRIC_FIRST); }

std::optional<double> column_value(int column, const RunMetrics& m) {
    const MetricColumn& c = search_column(column);
    return metric_counted(c, RegulationGains{}, m);
}

// ---- the search ----

using Point = std::array<std::int32_t, SEARCH_GAIN_COUNT>;  // an index into each range

std::uint64_t point_key(const Point& p) {
    std::uint64_t key = 0;
    for (const std::int32_t i : p) key = (key << 16) | static_cast<std::uint16_t>(i);
    return key;
}

// How far a set is from feasible: 0 when it meets every limit (and is not
// known to wrap); otherwise the limits' excess relative to their size, so a
// walk from an infeasible start heads for the feasible region.
constexpr double kMissing = 1e9;  // a constrained or objective cell that is empty
constexpr double kWrapped = 1.0;

enum class Wraps : std::uint8_t { Unknown, No, Yes };

struct Score {
    double violation = 0;
    double objective = 0;
    Wraps wraps = Wraps::Unknown;
};

class Search {
public:
    Search(const GainSearchRequest& request, const GainSearchHooks& hooks) : request_(request), hooks_(hooks) {
        for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
            size_[g] = static_cast<std::int32_t>(gain_range_size(request.ranges[g]));
        }
        outcome_.ruledOut.assign(request.limits.size() + 2, 0);
    }

    GainSearchOutcome run();

private:
    RegulationGains gains_of(const Point& p) const {
        RegulationGains gains{0, 0, 0, 0, request_.w};
        std::int16_t* const fields[SEARCH_GAIN_COUNT] = {&gains.kp, &gains.ki, &gains.kd, &gains.kv};
        for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
            const GainRange& r = request_.ranges[g];
            *fields[g] = static_cast<std::int16_t>(r.from + p[g] * r.step);
        }
        return gains;
    }

    bool stopping() {
        if (!outcome_.stopped && hooks_.stop && hooks_.stop()) outcome_.stopped = true;
        return outcome_.stopped;
    }

    Score score_of(const RunMetrics& m);
    void measure(std::vector<Point> points);
    Score& resolved(const Point& p);
    bool better(const Point& a, const Point& b);
    std::vector<Point> best_of(std::vector<Point> points, std::size_t count, bool feasibleOnly);
    std::vector<Point> neighbours(const Point& at, std::int32_t step, unsigned pinned = 0) const;
    std::vector<Point> coarse_grid();
    std::vector<Point> spread_starts(std::vector<Point> grid, std::size_t count);
    std::vector<std::pair<Point, unsigned>> face_starts(std::vector<Point> grid);
    std::vector<Point> whole_box() const;
    void walk(std::vector<std::pair<Point, unsigned>> starts);
    void report_progress();
    void report_feasible(const Point& p, const RunMetrics& m, const Score& s);

    const GainSearchRequest& request_;
    const GainSearchHooks& hooks_;
    std::array<std::int32_t, SEARCH_GAIN_COUNT> size_{};
    std::array<std::int32_t, SEARCH_GAIN_COUNT> spacing_{};  // of the coarse grid, in index steps
    std::unordered_map<std::uint64_t, Score> scores_;
    std::optional<Point> best_;  // best feasible so far
    GainSearchOutcome outcome_;
};

Score Search::score_of(const RunMetrics& m) {
    Score s;
    for (std::size_t i = 0; i < request_.limits.size(); ++i) {
        const GainLimit& limit = request_.limits[i];
        const std::optional<double> value = column_value(limit.column, m);
        if (value && *value <= limit.most) continue;
        ++outcome_.ruledOut[i];
        s.violation += value ? (*value - limit.most) / std::max(1.0, std::abs(limit.most)) : kMissing;
    }
    const std::optional<double> objective = column_value(request_.objective, m);
    if (objective) {
        s.objective = *objective;
    } else {
        ++outcome_.ruledOut.back();
        s.violation += kMissing;
    }
    if (!request_.noWraps) s.wraps = Wraps::No;
    return s;
}

// Measures the points not measured before, as one batch.
void Search::measure(std::vector<Point> points) {
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    std::erase_if(points, [&](const Point& p) { return scores_.count(point_key(p)) != 0; });
    if (points.empty()) return;
    std::vector<RegulationGains> sets(points.size());
    std::vector<RunMetrics> results(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) sets[i] = gains_of(points[i]);
    hooks_.measure(sets, results);
    outcome_.runs += points.size();
    outcome_.sets += points.size();
    for (std::size_t i = 0; i < points.size(); ++i) {
        Score& s = scores_[point_key(points[i])] = score_of(results[i]);
        if (s.wraps != Wraps::No || s.violation != 0) continue;  // not feasible, or not known yet
        if (hooks_.feasible) report_feasible(points[i], results[i], s);
        if (!best_ || better(points[i], *best_)) best_ = points[i];
    }
    report_progress();
}

// The point's score with its wraps looked at, when that can decide its feasibility.
Score& Search::resolved(const Point& p) {
    Score& s = scores_.at(point_key(p));
    if (s.violation == 0 && s.wraps == Wraps::Unknown) {
        ++outcome_.runs;
        s.wraps = hooks_.wraps(gains_of(p)) ? Wraps::Yes : Wraps::No;
        if (s.wraps == Wraps::Yes) {
            s.violation = kWrapped;
            ++outcome_.ruledOut[request_.limits.size()];
        } else {
            if (!best_ || better(p, *best_)) best_ = p;
            if (hooks_.feasible) {  // its row, measured again: the scores keep no metrics
                const RegulationGains gains = gains_of(p);
                RunMetrics metrics;
                hooks_.measure(std::span(&gains, 1), std::span(&metrics, 1));
                ++outcome_.runs;
                report_feasible(p, metrics, s);
            }
        }
    }
    return s;
}

// Smaller violation, then smaller objective, then smaller kp, ki, kd, kv.
// Compares the scores as they stand (a wrap not yet looked at counts as none).
bool Search::better(const Point& a, const Point& b) {
    const Score& x = scores_.at(point_key(a));
    const Score& y = scores_.at(point_key(b));
    if (x.violation != y.violation) return x.violation < y.violation;
    if (x.objective != y.objective) return x.objective < y.objective;
    return a < b;  // the ranges go upwards, so index order is gain order
}

// The `count` best of the measured points, best first, their wraps looked at
// as far as needed; only feasible ones unless `feasibleOnly` is false, when
// the least infeasible make up the number.
std::vector<Point> Search::best_of(std::vector<Point> points, std::size_t count, bool feasibleOnly) {
    const auto order = [this](const Point& a, const Point& b) { return better(a, b); };
    std::sort(points.begin(), points.end(), order);
    std::vector<Point> chosen;
    std::vector<Point> rest;
    for (const Point& p : points) {
        if (chosen.size() == count) break;
        if (resolved(p).violation == 0) chosen.push_back(p);
        else if (!feasibleOnly && rest.size() < count) rest.push_back(p);
    }
    std::sort(rest.begin(), rest.end(), order);
    for (const Point& p : rest) {
        if (chosen.size() == count) break;
        chosen.push_back(p);
    }
    return chosen;
}

// The single-gain steps from `at`, but none of a gain in `pinned` (a bit per gain).
std::vector<Point> Search::neighbours(const Point& at, std::int32_t step, unsigned pinned) const {
    std::vector<Point> out;
    for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
        if ((pinned >> g) & 1u) continue;
        for (const std::int32_t sign : {-1, 1}) {
            Point p = at;
            p[g] = std::clamp(at[g] + sign * step, 0, size_[g] - 1);  // up to the box's edge
            if (p[g] != at[g]) out.push_back(p);
        }
    }
    return out;
}

// Per gain as many values as keep the grid near request_.coarse points, shared out
// so the spacing in index steps is about the same for every searched gain;
// each range's both ends included.
std::vector<Point> Search::coarse_grid() {
    const std::uint64_t coarse = request_.coarse;
    std::array<std::int32_t, SEARCH_GAIN_COUNT> counts{1, 1, 1, 1};
    for (;;) {
        std::size_t widest = SEARCH_GAIN_COUNT;
        double widestSpacing = 0;
        std::uint64_t product = 1;
        for (const std::int32_t c : counts) product *= static_cast<std::uint64_t>(c);
        for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
            if (counts[g] >= size_[g]) continue;
            const double spacing = double(size_[g] - 1) / double(counts[g]);
            if (product / static_cast<std::uint64_t>(counts[g]) * static_cast<std::uint64_t>(counts[g] + 1) > coarse) continue;
            if (spacing > widestSpacing) {
                widestSpacing = spacing;
                widest = g;
            }
        }
        if (widest == SEARCH_GAIN_COUNT) break;
        ++counts[widest];
    }
    std::array<std::vector<std::int32_t>, SEARCH_GAIN_COUNT> values;
    for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
        spacing_[g] = counts[g] > 1 ? (size_[g] - 1 + counts[g] - 2) / (counts[g] - 1) : size_[g];
        for (std::int32_t i = 0; i < counts[g]; ++i) {
            const std::int64_t index =
                counts[g] == 1 ? (size_[g] - 1) / 2 : (std::int64_t{i} * (size_[g] - 1) + (counts[g] - 1) / 2) / (counts[g] - 1);
            values[g].push_back(static_cast<std::int32_t>(index));
        }
    }
    std::vector<Point> grid;
    for (const std::int32_t a : values[0])
        for (const std::int32_t b : values[1])
            for (const std::int32_t c : values[2])
                for (const std::int32_t d : values[3]) grid.push_back({a, b, c, d});
    return grid;
}

std::vector<Point> Search::whole_box() const {
    std::vector<Point> box;
    Point p{};
    for (p[0] = 0; p[0] < size_[0]; ++p[0])
        for (p[1] = 0; p[1] < size_[1]; ++p[1])
            for (p[2] = 0; p[2] < size_[2]; ++p[2])
                for (p[3] = 0; p[3] < size_[3]; ++p[3]) box.push_back(p);
    return box;
}

// The best `count` grid points that lie apart: each more than two grid
// spacings from every one chosen before in at least one gain, so the walks
// set out from different valleys rather than from one corner of the best.
// Feasible ones first; the least infeasible make up the number.
std::vector<Point> Search::spread_starts(std::vector<Point> grid, std::size_t count) {
    std::sort(grid.begin(), grid.end(), [this](const Point& a, const Point& b) { return better(a, b); });
    const auto apart = [&](const std::vector<Point>& chosen, const Point& p) {
        return std::none_of(chosen.begin(), chosen.end(), [&](const Point& s) {
            for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
                if (std::abs(p[g] - s[g]) > 2 * spacing_[g]) return false;
            }
            return true;
        });
    };
    std::vector<Point> starts;
    std::vector<Point> infeasible;
    // Half the starts are simply the best points, the other half lie apart.
    for (const Point& p : grid) {
        if (starts.size() == count / 2) break;
        if (resolved(p).violation == 0) starts.push_back(p);
    }
    for (const Point& p : grid) {
        if (starts.size() == count) break;
        if (!apart(starts, p)) continue;
        if (resolved(p).violation == 0) starts.push_back(p);
        else if (infeasible.size() < count && apart(infeasible, p)) infeasible.push_back(p);
    }
    std::sort(infeasible.begin(), infeasible.end(), [this](const Point& a, const Point& b) { return better(a, b); });
    for (std::size_t i = 0; starts.size() < count && i < infeasible.size(); ++i) starts.push_back(infeasible[i]);
    return starts;
}

// The best feasible grid point on every face of the box (one gain or more at
// an end of its range; not the corners, which are single points), with those
// gains pinned for its walk. A constraint often cuts the box so that the best
// sets lie where it meets a face (a gain at 0: that term switched off), in a
// pocket the grid's spacing steps over; a free walk from there drifts inside
// along the objective's slope before it reaches the pocket, a walk kept on the
// face finds it. The pinned walks are freed where they stop, so they end like
// every other walk.
std::vector<std::pair<Point, unsigned>> Search::face_starts(std::vector<Point> grid) {
    unsigned searched = 0;
    for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
        if (size_[g] > 1) searched |= 1u << g;
    }
    std::sort(grid.begin(), grid.end(), [this](const Point& a, const Point& b) { return better(a, b); });
    std::vector<std::pair<unsigned, unsigned>> taken;  // (pinned gains, which of them at the high end)
    std::vector<std::pair<Point, unsigned>> starts;
    for (const Point& p : grid) {
        unsigned low = 0;
        unsigned high = 0;
        for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
            if (!((searched >> g) & 1u)) continue;
            if (p[g] == 0) low |= 1u << g;
            else if (p[g] == size_[g] - 1) high |= 1u << g;
        }
        const unsigned ends = low | high;
        if (ends == 0) continue;
        bool resolvedFeasible = false;
        bool looked = false;
        // Every face the point lies on: each nonempty subset of its gains at an end.
        for (unsigned pinned = ends; pinned != 0; pinned = (pinned - 1) & ends) {
            if (pinned == searched) continue;  // a corner
            const std::pair<unsigned, unsigned> face{pinned, high & pinned};
            if (std::find(taken.begin(), taken.end(), face) != taken.end()) continue;
            if (!looked) {
                looked = true;
                resolvedFeasible = resolved(p).violation == 0;
            }
            if (!resolvedFeasible) break;
            taken.push_back(face);
            starts.emplace_back(p, pinned);
        }
    }
    return starts;
}

// The pattern search from every start at once, a batch per round: each
// walker moves to its best neighbour while that is better, goes down the
// steps when none is, and starts again from the longest after any move.
void Search::walk(std::vector<std::pair<Point, unsigned>> starts) {
    std::vector<std::int32_t> steps;
    const std::int32_t widest = *std::max_element(size_.begin(), size_.end());
    for (const std::int32_t step : {100, 10, 1}) {
        if (step == 1 || step < widest) steps.push_back(step);
    }
    struct Walker {
        Point at;
        unsigned pinned = 0;  // gains this walk may not change, until it stops
        std::size_t step = 0;
        bool moved = false;
    };
    std::vector<Walker> walkers;
    for (const auto& [p, pinned] : starts) walkers.push_back({p, pinned});
    while (!walkers.empty() && !stopping()) {
        std::vector<Point> batch;
        for (const Walker& w : walkers) {
            const std::vector<Point> around = neighbours(w.at, steps[w.step], w.pinned);
            batch.insert(batch.end(), around.begin(), around.end());
        }
        measure(std::move(batch));
        std::vector<Walker> next;
        for (Walker w : walkers) {
            std::vector<Point> around = neighbours(w.at, steps[w.step], w.pinned);
            around.push_back(w.at);
            const Point best = best_of(std::move(around), 1, false).front();
            if (best != w.at) {
                w.at = best;
                w.moved = true;
            } else if (++w.step == steps.size()) {
                if (!w.moved) {
                    if (w.pinned == 0) continue;  // no step of any length improves: done
                    w.pinned = 0;                 // stopped on its face: free to leave it now
                }
                w.step = 0;
                w.moved = false;
            }
            // Walkers that meet go on as one.
            const bool met = std::any_of(next.begin(), next.end(), [&](const Walker& o) {
                return o.at == w.at && o.step == w.step && o.pinned == w.pinned;
            });
            if (!met) next.push_back(w);
        }
        walkers = std::move(next);
    }
}

void Search::report_progress() {
    if (!hooks_.progress) return;
    GainSearchProgress progress;
    progress.runs = outcome_.runs;
    if (best_) {
        GainSearchHit hit;
        hit.gains = gains_of(*best_);
        hit.objective = scores_.at(point_key(*best_)).objective;
        progress.best = hit;
    }
    hooks_.progress(progress);
}

void Search::report_feasible(const Point& p, const RunMetrics& m, const Score& s) {
    hooks_.feasible(GainSearchHit{gains_of(p), m, s.objective});
}

GainSearchOutcome Search::run() {
    std::uint64_t boxSize = 1;
    for (const std::int32_t n : size_) boxSize *= static_cast<std::uint64_t>(n);
    constexpr std::size_t kBatch = 1 << 17;  // points per batch while measuring a grid: few forks of the workers
    constexpr std::size_t kStarts = 64;

    const std::vector<Point> first = boxSize <= GAIN_SEARCH_EXHAUSTIVE ? whole_box() : coarse_grid();
    for (std::size_t i = 0; i < first.size() && !stopping(); i += kBatch) {
        measure({first.begin() + static_cast<std::ptrdiff_t>(i),
                 first.begin() + static_cast<std::ptrdiff_t>(std::min(first.size(), i + kBatch))});
    }
    // A follower sees feasible sets of the whole grid as well, not only the
    // walks': up to kShown of those within the limits, evenly through their
    // ranking, looked at for wraps.
    constexpr std::size_t kShown = 2000;
    if (hooks_.feasible && request_.noWraps && !stopping()) {
        std::vector<Point> within;
        for (const Point& p : first) {
            if (scores_.at(point_key(p)).violation == 0) within.push_back(p);
        }
        std::sort(within.begin(), within.end(), [this](const Point& a, const Point& b) { return better(a, b); });
        const std::size_t stride = std::max<std::size_t>(1, within.size() / kShown);
        for (std::size_t i = 0; i < within.size(); i += stride) resolved(within[i]);
    }
    if (boxSize > GAIN_SEARCH_EXHAUSTIVE && !stopping()) {
        std::vector<std::pair<Point, unsigned>> starts;
        for (const Point& p : spread_starts(first, kStarts)) starts.emplace_back(p, 0u);
        std::vector<std::pair<Point, unsigned>> faces = face_starts(first);
        starts.insert(starts.end(), faces.begin(), faces.end());
        walk(std::move(starts));
    }

    std::vector<Point> measured;
    for (const auto& [key, s] : scores_) {
        if (s.violation == 0) {
            Point p;
            for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
                p[g] = static_cast<std::int32_t>((key >> (16 * (SEARCH_GAIN_COUNT - 1 - g))) & 0xFFFFu);
            }
            measured.push_back(p);
        }
    }
    const std::vector<Point> top = best_of(std::move(measured), std::max<std::size_t>(1, request_.top), true);
    std::vector<RegulationGains> sets;
    for (const Point& p : top) sets.push_back(gains_of(p));
    std::vector<RunMetrics> results(sets.size());
    if (!sets.empty()) hooks_.measure(sets, results);  // their rows, measured again rather than kept for every set
    for (std::size_t i = 0; i < top.size(); ++i) {
        outcome_.best.push_back({sets[i], results[i], scores_.at(point_key(top[i])).objective});
    }
    return outcome_;
}

}  // namespace

std::span<const std::string_view> search_column_names() { return column_names(); }

int search_column_index(std::string_view name) {
    const auto names = column_names();
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

const MetricColumn& search_column(int column) { return metric_table()[METRIC_FIRST + static_cast<std::size_t>(column)]; }

std::optional<double> search_column_value(int column, const RunMetrics& metrics) { return column_value(column, metrics); }

GainSearchOutcome search_gains(const GainSearchRequest& request, const GainSearchHooks& hooks) {
    return Search(request, hooks).run();
}

std::vector<std::string> search_constraint_names(const GainSearchRequest& request) {
    std::vector<std::string> names;
    for (const GainLimit& limit : request.limits) {
        std::string text(column_names()[static_cast<std::size_t>(limit.column)]);
        text += " <= ";
        csv_append_number(text, limit.most);
        names.push_back(text);
    }
    names.emplace_back("no wraps");
    names.push_back("a value of " + std::string(column_names()[static_cast<std::size_t>(request.objective)]));
    return names;
}
