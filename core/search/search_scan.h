#pragma once
// The search's unit of work: measure a run of gain sets (a stretch of a
// lattice over the box, or of a list of points) and keep only what the
// search needs of them: how many each constraint ruled out, the best
// feasible sets, the least infeasible ones, a sample of the feasible ones
// for a follower, and, if asked, every set's score. A summary travels as
// bytes, so the stretches can be measured in other processes or threads and
// merged in order where the search runs.
#include "core/search/gain_request.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A gain set of the box as an index into each range (kp, ki, kd, kv).
using SearchPoint = std::array<std::int32_t, SEARCH_GAIN_COUNT>;

// How good a measured set is: feasible when `violation` is 0; otherwise how
// far it misses the limits (each limit's excess relative to its size), so
// that sets near a limit's boundary rank before those far from it.
struct SetScore {
    double violation = 0;
    double objective = 0;
};

struct ScanHit {
    SearchPoint point{};
    SetScore score;
    RunMetrics metrics;
};

// The search's order: smaller violation, then smaller objective, then the
// smaller kp, ki, kd, kv (the ranges go upwards, so index order is gain order).
bool scan_better(const ScanHit& a, const ScanHit& b);

// Every combination of one index list per gain, in the sweep's order (kp
// slowest); a list holds indexes into its gain's range, upwards.
struct SearchLattice {
    std::array<std::vector<std::int32_t>, SEARCH_GAIN_COUNT> values;
    std::uint64_t size() const;  // held to UINT64_MAX
    SearchPoint at(std::uint64_t index) const;
};

struct ScanJob {
    // The points: lattice->at(first ...) or (*list)[first ...], `count` of them.
    const SearchLattice* lattice = nullptr;
    const std::vector<SearchPoint>* list = nullptr;
    std::uint64_t first = 0;
    std::uint64_t count = 0;
    // List points from this index on were measured before: they are measured
    // again for their scores but not counted.
    std::uint64_t repeatsFrom = UINT64_MAX;
    std::size_t keepBest = 1;     // feasible sets kept, best first
    std::size_t keepNearest = 0;  // infeasible sets kept, least violation first
    std::size_t keepShown = 0;    // feasible sets kept for a follower, evenly through them
    bool faces = false;           // the best feasible set on each face of the box
    bool scores = false;          // every point's score, in order
};

// The face of the box a point lies on: per gain, 0 inside its range, 1 at
// its low end, 2 at its high end (a gain of one value is always inside), as
// a number of base 3, kp its highest digit; 0 for no face.
std::size_t scan_face(const GainSearchRequest& request, const SearchPoint& point);
inline constexpr std::size_t SCAN_FACES = 81;  // 3^4

struct ScanSummary {
    std::uint64_t counted = 0;  // sets measured for the first time
    std::uint64_t runs = 0;
    // As GainSearchOutcome::ruledOut, over the counted sets.
    std::vector<std::uint64_t> ruledOut;
    std::vector<ScanHit> best;
    std::vector<ScanHit> nearest;
    std::vector<ScanHit> shown;
    std::vector<ScanHit> faces;  // at most one per face
    std::vector<SetScore> scores;
};

// Gains of a point of the request's box.
RegulationGains search_gains_of(const GainSearchRequest& request, const SearchPoint& point);

// Measures the job's points through hooks.measure and sums them up.
ScanSummary scan_points(const GainSearchRequest& request, const GainSearchHooks& hooks, const ScanJob& job);

std::string scan_summary_bytes(const ScanSummary& summary);
ScanSummary scan_summary_of(const std::string& bytes);

// Keeps the `keep` best of `into` and `from` in `into`, best first.
void scan_merge(std::vector<ScanHit>& into, const std::vector<ScanHit>& from, std::size_t keep);
