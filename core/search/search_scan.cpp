#include "core/search/search_scan.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <type_traits>

namespace {

// A sub-batch of a job: the sets measured together, so a job of any size
// needs only this much room.
constexpr std::size_t kBatch = 4096;

// ---- bytes ----

static_assert(std::is_trivially_copyable_v<ScanHit>, "hits travel between processes as bytes");
static_assert(std::is_trivially_copyable_v<SetScore>);

template <class T>
void put(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <class T>
void put_all(std::string& out, const std::vector<T>& values) {
    put(out, static_cast<std::uint64_t>(values.size()));
    if (!values.empty()) out.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

struct Reader {
    const char* at;
    const char* end;

    template <class T>
    T get() {
        T value{};
        if (static_cast<std::size_t>(end - at) >= sizeof value) std::memcpy(&value, at, sizeof value);
        at += std::min<std::ptrdiff_t>(end - at, sizeof value);
        return value;
    }
    template <class T>
    std::vector<T> get_all() {
        const auto count = std::min<std::uint64_t>(get<std::uint64_t>(), static_cast<std::uint64_t>(end - at) / sizeof(T));
        std::vector<T> values(count);
        if (count > 0) std::memcpy(values.data(), at, count * sizeof(T));
        at += count * sizeof(T);
        return values;
    }
};

// Keeps `hit` among the `keep` best of `kept` (unordered until sorted).
void offer(std::vector<ScanHit>& kept, std::size_t keep, const ScanHit& hit) {
    if (keep == 0) return;
    // A heap in the search's order keeps the worst kept set at its front.
    if (kept.size() < keep) {
        kept.push_back(hit);
        std::push_heap(kept.begin(), kept.end(), scan_better);
    } else if (scan_better(hit, kept.front())) {
        std::pop_heap(kept.begin(), kept.end(), scan_better);
        kept.back() = hit;
        std::push_heap(kept.begin(), kept.end(), scan_better);
    }
}

}  // namespace

bool scan_better(const ScanHit& a, const ScanHit& b) {
    if (a.score.violation != b.score.violation) return a.score.violation < b.score.violation;
    if (a.score.objective != b.score.objective) return a.score.objective < b.score.objective;
    return a.point < b.point;
}

std::uint64_t SearchLattice::size() const {
    std::uint64_t n = 1;
    for (const auto& v : values) {
        if (v.empty()) return 0;
        if (n > UINT64_MAX / v.size()) return UINT64_MAX;
        n *= v.size();
    }
    return n;
}

SearchPoint SearchLattice::at(std::uint64_t index) const {
    SearchPoint p{};
    for (std::size_t g = SEARCH_GAIN_COUNT; g-- > 0;) {
        p[g] = values[g][index % values[g].size()];
        index /= values[g].size();
    }
    return p;
}

std::size_t scan_face(const GainSearchRequest& request, const SearchPoint& point) {
    std::size_t face = 0;
    for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
        const auto last = static_cast<std::int32_t>(gain_range_size(request.ranges[g]) - 1);
        face = 3 * face + (last == 0 ? 0 : point[g] == 0 ? 1 : point[g] == last ? 2 : 0);
    }
    return face;
}

RegulationGains search_gains_of(const GainSearchRequest& request, const SearchPoint& point) {
    RegulationGains gains{0, 0, 0, 0, request.w};
    std::int16_t* const fields[SEARCH_GAIN_COUNT] = {&gains.kp, &gains.ki, &gains.kd, &gains.kv};
    for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) {
        const GainRange& r = request.ranges[g];
        *fields[g] = static_cast<std::int16_t>(r.from + point[g] * r.step);
    }
    return gains;
}

ScanSummary scan_points(const GainSearchRequest& request, const GainSearchHooks& hooks, const ScanJob& job) {
    ScanSummary summary;
    const std::size_t limits = request.limits.size();
    summary.ruledOut.assign(limits + 2, 0);
    if (job.scores) summary.scores.reserve(job.count);

    std::vector<SearchPoint> points(std::min<std::uint64_t>(kBatch, job.count));
    std::vector<RegulationGains> sets(points.size());
    std::vector<RunMetrics> results(points.size());
    std::vector<std::uint8_t> wraps(request.noWraps ? points.size() : 0);
    std::vector<SetScore> scores(points.size());
    std::vector<std::uint64_t> feasibleAt;  // job positions of the feasible sets, for the sample
    std::vector<ScanHit> nearest;
    std::array<std::optional<ScanHit>, SCAN_FACES> faces;

    // The lattice's points are walked like an odometer rather than decoded one by one.
    std::array<std::size_t, SEARCH_GAIN_COUNT> digit{};
    if (job.lattice) {
        std::uint64_t index = job.first;
        for (std::size_t g = SEARCH_GAIN_COUNT; g-- > 0;) {
            digit[g] = index % job.lattice->values[g].size();
            index /= job.lattice->values[g].size();
        }
    }
    const auto next_point = [&](std::uint64_t i) {
        if (!job.lattice) return (*job.list)[job.first + i];
        SearchPoint p{};
        for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) p[g] = job.lattice->values[g][digit[g]];
        for (std::size_t g = SEARCH_GAIN_COUNT; g-- > 0;) {
            if (++digit[g] < job.lattice->values[g].size()) break;
            digit[g] = 0;
        }
        return p;
    };

    const bool readsTwin = search_uses_twin(request);
    const auto score_of = [&](const RegulationGains& gains, const RunMetrics& m, bool wrapped, bool counted) {
        SetScore s;
        std::optional<LoopMargins> twin;
        if (readsTwin) twin = search_twin_margins(request.speedMode, gains);
        const LoopMargins* margins = twin ? &*twin : nullptr;
        for (std::size_t i = 0; i < limits; ++i) {
            const double excess =
                search_limit_excess(request.limits[i], search_column_value(request.limits[i].column, m, margins));
            if (excess == 0) continue;
            if (counted) ++summary.ruledOut[i];
            s.violation += excess;
        }
        if (wrapped) {
            if (counted) ++summary.ruledOut[limits];
            s.violation += 1.0;
        }
        const std::optional<double> objective = search_column_value(request.objective, m, margins);
        if (objective) {
            s.objective = *objective;
        } else {
            if (counted) ++summary.ruledOut[limits + 1];
            s.violation += GAIN_SEARCH_MISSING;
        }
        return s;
    };

    std::vector<ScanHit> best;
    for (std::uint64_t done = 0; done < job.count;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kBatch, job.count - done));
        for (std::size_t i = 0; i < n; ++i) {
            points[i] = next_point(done + i);
            sets[i] = search_gains_of(request, points[i]);
        }
        hooks.measure(std::span(sets).first(n), std::span(results).first(n),
                      request.noWraps ? std::span(wraps).first(n) : std::span<std::uint8_t>());
        summary.runs += n;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t at = job.first + done + i;
            const bool counted = !job.list || at < job.repeatsFrom;
            summary.counted += counted;
            const SetScore s = score_of(sets[i], results[i], request.noWraps && wraps[i] != 0, counted);
            if (job.scores) summary.scores.push_back(s);
            if (s.violation == 0) {
                offer(best, job.keepBest, {points[i], s, results[i]});
                if (job.keepShown > 0) feasibleAt.push_back(done + i);
                if (job.faces) {
                    std::optional<ScanHit>& face = faces[scan_face(request, points[i])];
                    const ScanHit hit{points[i], s, results[i]};
                    if (!face || scan_better(hit, *face)) face = hit;
                }
            } else {
                offer(nearest, job.keepNearest, {points[i], s, results[i]});
            }
        }
        done += n;
    }
    std::sort(best.begin(), best.end(), scan_better);
    std::sort(nearest.begin(), nearest.end(), scan_better);
    summary.best = std::move(best);
    summary.nearest = std::move(nearest);
    for (std::size_t f = 1; f < SCAN_FACES; ++f) {
        if (faces[f]) summary.faces.push_back(*faces[f]);
    }

    // The sample: the feasible sets where k * j / f steps up, measured again
    // (a few runs, where keeping every set's metrics would take room).
    const std::uint64_t f = feasibleAt.size();
    std::vector<SearchPoint> chosen;
    for (std::uint64_t j = 0; j < f && job.keepShown > 0; ++j) {
        if (f <= job.keepShown || (j * job.keepShown) / f != ((j + 1) * job.keepShown) / f) {
            const std::uint64_t i = feasibleAt[j];
            chosen.push_back(job.lattice ? job.lattice->at(job.first + i) : (*job.list)[job.first + i]);
        }
    }
    if (!chosen.empty()) {
        std::vector<RegulationGains> again(chosen.size());
        std::vector<RunMetrics> metrics(chosen.size());
        for (std::size_t i = 0; i < chosen.size(); ++i) again[i] = search_gains_of(request, chosen[i]);
        hooks.measure(again, metrics, {});
        summary.runs += chosen.size();
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            const SetScore s = score_of(again[i], metrics[i], false, false);
            summary.shown.push_back({chosen[i], s, metrics[i]});
        }
    }
    return summary;
}

std::string scan_summary_bytes(const ScanSummary& summary) {
    std::string out;
    put(out, summary.counted);
    put(out, summary.runs);
    put_all(out, summary.ruledOut);
    put_all(out, summary.best);
    put_all(out, summary.nearest);
    put_all(out, summary.shown);
    put_all(out, summary.faces);
    put_all(out, summary.scores);
    return out;
}

ScanSummary scan_summary_of(const std::string& bytes) {
    Reader in{bytes.data(), bytes.data() + bytes.size()};
    ScanSummary summary;
    summary.counted = in.get<std::uint64_t>();
    summary.runs = in.get<std::uint64_t>();
    summary.ruledOut = in.get_all<std::uint64_t>();
    summary.best = in.get_all<ScanHit>();
    summary.nearest = in.get_all<ScanHit>();
    summary.shown = in.get_all<ScanHit>();
    summary.faces = in.get_all<ScanHit>();
    summary.scores = in.get_all<SetScore>();
    return summary;
}

void scan_merge(std::vector<ScanHit>& into, const std::vector<ScanHit>& from, std::size_t keep) {
    std::vector<ScanHit> merged;
    merged.reserve(std::min(keep, into.size() + from.size()));
    std::merge(into.begin(), into.end(), from.begin(), from.end(), std::back_inserter(merged), scan_better);
    if (merged.size() > keep) merged.resize(keep);
    into = std::move(merged);
}
