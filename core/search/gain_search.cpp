#include "core/search/gain_search.h"

#include "core/batch/gain_batch.h"
#include "core/search/search_scan.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace {


// Work per chunk, in passes: some milliseconds of one core on the lanes, so
// that a stop is prompt and the progress smooth, yet each chunk is many sets.
constexpr std::uint64_t kChunkWork = std::uint64_t{1} << 24;
// Points of each kind the refinement and the walks set out from.
constexpr std::size_t kStarts = 32;
// The most sets measured after the grid; their scores are kept, so this
// bounds the search's memory.
constexpr std::uint64_t kLocalMost = std::uint64_t{1} << 19;

std::uint64_t point_key(const SearchPoint& p) {
    std::uint64_t key = 0;
    for (const std::int32_t i : p) key = (key << 16) | static_cast<std::uint16_t>(i);
    return key;
}

class Search {
public:
    Search(const GainSearchRequest& request, const GainSearchHooks& hooks) : request_(request), hooks_(hooks) {
        for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
            size_[g] = static_cast<std::int32_t>(gain_range_size(request.ranges[g]));
        }
        outcome_.ruledOut.assign(request.limits.size() + 2, 0);
        outcome_.boxSets = search_box_sets(request);
        const auto passes = static_cast<std::uint64_t>(batch_run_passes(request.speedMode, request.passLimit, request.program.get()));
        cost_ = passes + GAIN_SEARCH_SET_COST + (search_uses_twin(request) ? GAIN_SEARCH_TWIN_COST : 0);
        affordable_ = std::max<std::uint64_t>(1, request.budget / cost_);
        const std::uint64_t sets = std::clamp<std::uint64_t>(kChunkWork / cost_, 64, 65536);
        chunkSets_ = (sets + 63) / 64 * 64;  // whole groups of the widest lanes
    }

    GainSearchOutcome run();

private:
    bool stopping() {
        if (!outcome_.stopped && hooks_.stop && hooks_.stop()) outcome_.stopped = true;
        return outcome_.stopped;
    }
    bool run_chunks(std::uint64_t count, const std::function<void(std::uint64_t, std::string&)>& produce,
                    const std::function<void(std::uint64_t, const std::string&)>& consume);
    ScanJob job_of(std::uint64_t first, std::uint64_t total) const;
    void take(const ScanSummary& summary);
    void show(const ScanHit& hit);
    GainSearchHit hit_of(const ScanHit& hit) const { return {search_gains_of(request_, hit.point), hit.metrics, hit.score.objective}; }

    void exhaustive();
    void explore();
    SearchLattice grid(std::uint64_t most);
    std::vector<std::optional<SetScore>> measure_list(const std::vector<SearchPoint>& points);
    std::vector<ScanHit> apart(const std::vector<ScanHit>& hits, std::size_t count,
                               const std::vector<SearchPoint>& besides) const;
    void refine(std::uint64_t allowance);
    void walk();

    const GainSearchRequest& request_;
    const GainSearchHooks& hooks_;
    std::array<std::int32_t, SEARCH_GAIN_COUNT> size_{};
    std::uint64_t cost_ = 1;        // passes a set costs
    std::uint64_t affordable_ = 1;  // sets the budget pays for
    std::uint64_t chunkSets_ = 64;
    std::uint64_t planned_ = 0;
    std::uint64_t runsLimit_ = 0;  // what the stage under way may spend, up to
    std::size_t keepBest_ = 1;
    std::size_t keepNearest_ = 0;

    std::vector<ScanHit> best_;     // the best feasible sets so far, best first
    std::vector<ScanHit> nearest_;  // the least infeasible ones
    std::array<std::optional<ScanHit>, SCAN_FACES> faces_;  // the best feasible grid point on each face
    std::optional<SearchPoint> shownBest_;

    // After the grid: its spacing per gain (in index steps), which indexes it
    // holds, and the score of every set measured since.
    std::array<std::int32_t, SEARCH_GAIN_COUNT> spacing_{1, 1, 1, 1};
    std::array<std::vector<bool>, SEARCH_GAIN_COUNT> onGrid_;
    std::unordered_map<std::uint64_t, SetScore> local_;
    GainSearchOutcome outcome_;
};

bool Search::run_chunks(std::uint64_t count, const std::function<void(std::uint64_t, std::string&)>& produce,
                        const std::function<void(std::uint64_t, const std::string&)>& consume) {
    if (stopping()) return false;
    if (hooks_.chunks) {
        if (!hooks_.chunks(count, produce, consume)) outcome_.stopped = true;
        return !stopping();
    }
    std::string bytes;
    for (std::uint64_t c = 0; c < count; ++c) {
        if (stopping()) return false;
        bytes.clear();
        produce(c, bytes);
        consume(c, bytes);
    }
    return true;
}

ScanJob Search::job_of(std::uint64_t first, std::uint64_t total) const {
    ScanJob job;
    job.first = first;
    job.count = std::min(chunkSets_, total - first);
    job.keepBest = keepBest_;
    job.keepNearest = keepNearest_;
    if (hooks_.feasible) {
        const std::uint64_t chunks = std::max<std::uint64_t>(1, planned_ / chunkSets_);
        job.keepShown = static_cast<std::size_t>(std::max<std::uint64_t>(24, GAIN_SEARCH_SHOWN / chunks));
    }
    return job;
}

// A chunk's summary into the search's: the counts, the best and the nearest
// sets, and for a follower the new best and the chunk's sample.
void Search::take(const ScanSummary& summary) {
    outcome_.runs += summary.runs;
    outcome_.sets += summary.counted;
    for (std::size_t i = 0; i < outcome_.ruledOut.size() && i < summary.ruledOut.size(); ++i) {
        outcome_.ruledOut[i] += summary.ruledOut[i];
    }
    const bool improves = !summary.best.empty() && (best_.empty() || scan_better(summary.best.front(), best_.front()));
    scan_merge(best_, summary.best, keepBest_);
    scan_merge(nearest_, summary.nearest, keepNearest_);
    for (const ScanHit& hit : summary.faces) {
        std::optional<ScanHit>& face = faces_[scan_face(request_, hit.point)];
        if (!face || scan_better(hit, *face)) face = hit;
    }
    if (hooks_.feasible) {
        if (improves) show(summary.best.front());
        for (const ScanHit& hit : summary.shown) {
            if (!shownBest_ || hit.point != *shownBest_) hooks_.feasible(hit_of(hit));
        }
    }
    if (hooks_.progress) {
        GainSearchProgress progress;
        progress.sets = outcome_.sets;
        progress.planned = planned_;
        progress.runs = outcome_.runs;
        if (!best_.empty()) progress.best = hit_of(best_.front());
        hooks_.progress(progress);
    }
}

void Search::show(const ScanHit& hit) {
    shownBest_ = hit.point;
    hooks_.feasible(hit_of(hit));
}

// Every set of the box, a stretch of the sweep's order per chunk.
void Search::exhaustive() {
    SearchLattice box;
    for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
        for (std::int32_t i = 0; i < size_[g]; ++i) box.values[g].push_back(i);
    }
    const std::uint64_t total = outcome_.boxSets;
    planned_ = total;
    keepBest_ = std::max<std::size_t>(1, request_.top);
    const auto produce = [&](std::uint64_t c, std::string& bytes) {
        ScanJob job = job_of(c * chunkSets_, total);
        job.lattice = &box;
        bytes += scan_summary_bytes(scan_points(request_, hooks_, job));
    };
    const auto consume = [&](std::uint64_t, const std::string& bytes) { take(scan_summary_of(bytes)); };
    outcome_.exhaustive = run_chunks((total + chunkSets_ - 1) / chunkSets_, produce, consume);
}

// A regular grid of at most `most` points: per gain as many values as keep
// the spacing (in index steps) about the same for every searched gain, both
// ends of each range included.
SearchLattice Search::grid(std::uint64_t most) {
    std::array<std::uint64_t, SEARCH_GAIN_COUNT> counts{1, 1, 1, 1};
    for (;;) {
        std::size_t widest = SEARCH_GAIN_COUNT;
        double widestSpacing = 0;
        std::uint64_t product = 1;
        for (const std::uint64_t c : counts) product *= c;
        for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
            const auto n = static_cast<std::uint64_t>(size_[g]);
            if (counts[g] >= n || product / counts[g] * (counts[g] + 1) > most) continue;
            const double spacing = double(n - 1) / double(counts[g]);
            if (spacing > widestSpacing) {
                widestSpacing = spacing;
                widest = g;
            }
        }
        if (widest == SEARCH_GAIN_COUNT) break;
        ++counts[widest];
    }
    SearchLattice lattice;
    for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
        const std::int64_t n = size_[g];
        const auto c = static_cast<std::int64_t>(counts[g]);
        spacing_[g] = static_cast<std::int32_t>(c > 1 ? (n - 1 + c - 2) / (c - 1) : std::max<std::int64_t>(1, n / 2));
        onGrid_[g].assign(static_cast<std::size_t>(n), false);
        for (std::int64_t i = 0; i < c; ++i) {
            const std::int64_t index = c == 1 ? (n - 1) / 2 : (i * (n - 1) + (c - 1) / 2) / (c - 1);
            lattice.values[g].push_back(static_cast<std::int32_t>(index));
            onGrid_[g][static_cast<std::size_t>(index)] = true;
        }
    }
    return lattice;
}

// The scores of `points` (in their order), measuring those not measured
// since the grid: new sets first, then grid points again (their scores were
// not kept), within what the budget has left; a point it could not pay for
// stays empty.
std::vector<std::optional<SetScore>> Search::measure_list(const std::vector<SearchPoint>& points) {
    std::vector<SearchPoint> fresh, again;
    for (const SearchPoint& p : points) {
        if (local_.count(point_key(p)) != 0) continue;
        bool grid = true;
        for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) grid = grid && onGrid_[g][static_cast<std::size_t>(p[g])];
        (grid ? again : fresh).push_back(p);
    }
    for (auto* list : {&fresh, &again}) {
        std::sort(list->begin(), list->end());
        list->erase(std::unique(list->begin(), list->end()), list->end());
    }
    std::vector<SearchPoint> list = std::move(fresh);
    const std::uint64_t repeatsFrom = list.size();
    list.insert(list.end(), again.begin(), again.end());
    const std::uint64_t left = runsLimit_ > outcome_.runs ? runsLimit_ - outcome_.runs : 0;
    if (list.size() > left) list.resize(static_cast<std::size_t>(left));

    if (!list.empty()) {
        const std::uint64_t total = list.size();
        const auto produce = [&](std::uint64_t c, std::string& bytes) {
            ScanJob job = job_of(c * chunkSets_, total);
            job.list = &list;
            job.repeatsFrom = repeatsFrom;
            job.scores = true;
            bytes += scan_summary_bytes(scan_points(request_, hooks_, job));
        };
        const auto consume = [&](std::uint64_t c, const std::string& bytes) {
            const ScanSummary summary = scan_summary_of(bytes);
            for (std::size_t i = 0; i < summary.scores.size(); ++i) {
                local_[point_key(list[c * chunkSets_ + i])] = summary.scores[i];
            }
            take(summary);
        };
        run_chunks((total + chunkSets_ - 1) / chunkSets_, produce, consume);
    }
    std::vector<std::optional<SetScore>> scores;
    for (const SearchPoint& p : points) {
        const auto it = local_.find(point_key(p));
        scores.push_back(it == local_.end() ? std::nullopt : std::optional<SetScore>(it->second));
    }
    return scores;
}

// Up to `count` of the hits' points (best first) that lie apart: each more
// than a grid spacing, in some gain, from every one chosen and from `besides`.
std::vector<ScanHit> Search::apart(const std::vector<ScanHit>& hits, std::size_t count,
                                   const std::vector<SearchPoint>& besides) const {
    std::vector<ScanHit> chosen;
    const auto near = [&](const SearchPoint& a, const SearchPoint& b) {
        for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
            if (std::abs(a[g] - b[g]) > spacing_[g]) return false;
        }
        return true;
    };
    for (const ScanHit& hit : hits) {
        if (chosen.size() == count) break;
        const auto close = [&](const SearchPoint& s) { return near(hit.point, s); };
        const auto closeHit = [&](const ScanHit& s) { return near(hit.point, s.point); };
        if (std::none_of(chosen.begin(), chosen.end(), closeHit) && std::none_of(besides.begin(), besides.end(), close)) {
            chosen.push_back(hit);
        }
    }
    return chosen;
}

// Zooms in on the best grid points and on the infeasible ones nearest to
// feasible: a lattice of five values per gain around each, a quarter of the
// grid's spacing apart (so it spans the point's cell of the grid), moved to
// its best point, then the same at half that spacing, down to steps of 1.
void Search::refine(std::uint64_t allowance) {
    // As many centres as the allowance pays for, all the way down: 5 points
    // per searched gain per level.
    std::uint64_t perCentre = 0;
    for (std::int32_t s = (*std::max_element(spacing_.begin(), spacing_.end()) + 1) / 2; s > 1; s = (s + 1) / 2) {
        std::uint64_t points = 1;
        for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) points *= std::min<std::uint64_t>(5, std::uint64_t(size_[g]));
        perCentre += points;
    }
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(2 * kStarts, allowance / std::max<std::uint64_t>(1, perCentre)));
    std::vector<SearchPoint> centres;
    for (const ScanHit& hit : apart(best_, best_.empty() ? 0 : (count + 1) / 2, {})) centres.push_back(hit.point);
    for (const ScanHit& hit : apart(nearest_, count - centres.size(), centres)) centres.push_back(hit.point);
    runsLimit_ = outcome_.runs + allowance;
    // The first lattice spans the centre's own cell of the grid, half a
    // spacing each way; each next one half that.
    std::array<std::int32_t, SEARCH_GAIN_COUNT> step = spacing_;
    for (std::int32_t& s : step) s = (s + 1) / 2;
    while (!centres.empty() && !stopping()) {
        bool last = true;
        for (std::int32_t& s : step) {
            s = (s + 1) / 2;
            last = last && s <= 1;
        }
        std::vector<std::vector<SearchPoint>> around(centres.size());
        std::vector<SearchPoint> all;
        for (std::size_t c = 0; c < centres.size(); ++c) {
            std::array<std::vector<std::int32_t>, SEARCH_GAIN_COUNT> values;
            for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
                for (std::int32_t k = -2; k <= 2; ++k) {
                    const std::int32_t v = std::clamp(centres[c][g] + k * step[g], 0, size_[g] - 1);
                    if (values[g].empty() || values[g].back() != v) values[g].push_back(v);
                }
            }
            for (const std::int32_t a : values[0])
                for (const std::int32_t b : values[1])
                    for (const std::int32_t d : values[2])
                        for (const std::int32_t e : values[3]) around[c].push_back({a, b, d, e});
            all.insert(all.end(), around[c].begin(), around[c].end());
        }
        const std::vector<std::optional<SetScore>> scores = measure_list(all);
        std::size_t at = 0;
        bool spent = false;
        for (std::size_t c = 0; c < centres.size(); ++c) {
            std::optional<ScanHit> best;
            for (const SearchPoint& p : around[c]) {
                const std::optional<SetScore>& s = scores[at++];
                if (!s) {
                    spent = true;
                    continue;
                }
                const ScanHit hit{p, *s, {}};
                if (!best || scan_better(hit, *best)) best = hit;
            }
            if (best) centres[c] = best->point;
        }
        if (last || spent) break;
        // Centres that have come together go on as one.
        std::sort(centres.begin(), centres.end());
        centres.erase(std::unique(centres.begin(), centres.end()), centres.end());
    }
}

// The pattern search from the best points found, set apart, all at once, a
// batch per round: each walker moves to its best single-gain step while that
// is better, halves the step when none is, and starts again from the longest
// after any move; it ends when no step of 1 improves. One more walk sets out
// from the best grid point of each face of the box (a gain, or several, at an
// end of its range), kept on that face until it stops and then free: a
// limit that cuts the box often leaves its best sets where it meets a face,
// in a pocket between the grid's points, where every step off the cut leads
// nowhere better except along the face.
void Search::walk() {
    struct Walker {
        SearchPoint at;
        SetScore score;
        unsigned pinned = 0;  // gains this walk may not change, until it stops
        std::size_t step = 0;
        bool moved = false;
    };
    std::vector<Walker> walkers;
    for (const ScanHit& hit : apart(best_.empty() ? nearest_ : best_, kStarts, {})) walkers.push_back({hit.point, hit.score});
    unsigned searched = 0;
    for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) searched |= size_[g] > 1 ? 1u << g : 0u;
    for (const std::optional<ScanHit>& face : faces_) {
        if (!face) continue;
        unsigned pinned = 0;
        for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
            if (size_[g] > 1 && (face->point[g] == 0 || face->point[g] == size_[g] - 1)) pinned |= 1u << g;
        }
        if (pinned != searched) walkers.push_back({face->point, face->score, pinned});  // not a corner
    }
    std::vector<std::int32_t> steps;
    for (std::int32_t s = *std::max_element(spacing_.begin(), spacing_.end()); s > 1; s = (s + 1) / 2) steps.push_back(s);
    steps.push_back(1);
    const auto neighbours = [&](const Walker& w) {
        std::vector<SearchPoint> out;
        for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
            if ((w.pinned >> g) & 1u) continue;
            for (const std::int32_t sign : {-1, 1}) {
                SearchPoint p = w.at;
                p[g] = std::clamp(w.at[g] + sign * steps[w.step], 0, size_[g] - 1);
                if (p[g] != w.at[g]) out.push_back(p);
            }
        }
        return out;
    };
    while (!walkers.empty() && !stopping()) {
        std::vector<SearchPoint> batch;
        for (const Walker& w : walkers) {
            const std::vector<SearchPoint> around = neighbours(w);
            batch.insert(batch.end(), around.begin(), around.end());
        }
        const std::vector<std::optional<SetScore>> scores = measure_list(batch);
        std::vector<Walker> next;
        std::size_t at = 0;
        bool spent = false;
        for (Walker w : walkers) {
            ScanHit best{w.at, w.score, {}};
            for (const SearchPoint& p : neighbours(w)) {
                const std::optional<SetScore>& s = scores[at++];
                if (!s) {
                    spent = true;
                    continue;
                }
                const ScanHit hit{p, *s, {}};
                if (scan_better(hit, best)) best = hit;
            }
            if (best.point != w.at) {
                w.at = best.point;
                w.score = best.score;
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
        if (spent) break;
        walkers = std::move(next);
    }
}

// A box too large for the budget: the grid takes what the later stages leave.
void Search::explore() {
    planned_ = affordable_;
    keepBest_ = std::max<std::size_t>(request_.top, 4 * kStarts);
    keepNearest_ = 2 * kStarts;
    const std::uint64_t later = std::min(affordable_ / 2, kLocalMost);
    const SearchLattice lattice = grid(affordable_ - later);
    const std::uint64_t total = lattice.size();
    const auto produce = [&](std::uint64_t c, std::string& bytes) {
        ScanJob job = job_of(c * chunkSets_, total);
        job.lattice = &lattice;
        job.faces = true;
        bytes += scan_summary_bytes(scan_points(request_, hooks_, job));
    };
    const auto consume = [&](std::uint64_t, const std::string& bytes) { take(scan_summary_of(bytes)); };
    if (!run_chunks((total + chunkSets_ - 1) / chunkSets_, produce, consume)) return;
    local_.reserve(static_cast<std::size_t>(later));
    // The grid points kept are where the later stages set out from: their scores are known.
    for (const std::vector<ScanHit>* hits : {&best_, &nearest_}) {
        for (const ScanHit& hit : *hits) local_[point_key(hit.point)] = hit.score;
    }
    for (const std::optional<ScanHit>& face : faces_) {
        if (face) local_[point_key(face->point)] = face->score;
    }
    refine(later / 2);
    runsLimit_ = affordable_;
    walk();
}

GainSearchOutcome Search::run() {
    if (outcome_.boxSets <= affordable_) exhaustive();
    else explore();
    const std::size_t top = std::max<std::size_t>(1, request_.top);
    for (std::size_t i = 0; i < best_.size() && i < top; ++i) outcome_.best.push_back(hit_of(best_[i]));
    return outcome_;
}

}  // namespace

GainSearchOutcome search_gains(const GainSearchRequest& request, const GainSearchHooks& hooks) {
    return Search(request, hooks).run();
}

std::string search_none_found(const GainSearchRequest& request, const GainSearchOutcome& outcome) {
    const std::vector<std::string> names = search_constraint_names(request);
    std::size_t most = 0;
    for (std::size_t i = 1; i < outcome.ruledOut.size(); ++i) {
        if (outcome.ruledOut[i] > outcome.ruledOut[most]) most = i;
    }
    std::string text = outcome.exhaustive
                           ? "no feasible set: every one of the " + search_box_sets_text(request) + " sets measured"
                           : "no feasible set found among the " + std::to_string(outcome.sets) + " measured of " +
                                 search_box_sets_text(request) + " sets";
    if (!outcome.ruledOut.empty() && outcome.ruledOut[most] > 0) {
        text += "; " + names[most] + " ruled out the most: " + std::to_string(outcome.ruledOut[most]);
    }
    return text;
}
