#pragma once
// Find gains: the kp, ki, kd, kv of a box that give the smallest value of one
// metric, under upper limits on others and, if asked, without any wrap of
// the controllers' error, sum or output. The runs are the real 16-bit loop,
// measured through a batch function the caller gives (the lanes engine, on
// this thread or on worker threads), so the search itself is plain and
// deterministic: the same request and the same measurements give the same
// answer, whatever the machine.
//
// The work is counted, not timed: a run costs its passes plus a fixed share
// for making and judging its metrics (GAIN_SEARCH_SET_COST), and a request
// has a budget of that work. A box that fits the budget is measured whole,
// so its answer and its runners-up are exact. A larger box gets a search
// that spends the budget:
//   1. a regular grid over the box, of the budget's larger part;
//   2. refinement: around the best grid points, and around the infeasible
//      ones nearest to feasible (where a limit's boundary, or a feasible
//      region thinner than the grid's spacing, lies), a 5-point-per-gain
//      lattice at half the spacing, moved to its best point and halved
//      again, down to single steps;
//   3. walks from the best points found, set apart: an integer pattern
//      search that moves to the best single-gain step while one improves,
//      halves the step when none does, and goes back to the longest after
//      every move, until no step of 1 improves or the budget is spent.
// Its answer is then the best it found, and it says how many sets it
// measured of how many the box has.
#include "core/search/gain_request.h"

#include <cstdint>
#include <vector>

struct GainSearchOutcome {
    std::vector<GainSearchHit> best;  // the `top` best feasible sets found, best first; empty when none
    std::uint64_t runs = 0;           // as in GainSearchProgress
    std::uint64_t sets = 0;           // distinct gain sets measured
    std::uint64_t boxSets = 0;        // gain sets of the box, held to UINT64_MAX
    // Every set of the box was measured: `best` is the exact answer. Otherwise
    // it is the best of the `sets` measured.
    bool exhaustive = false;
    bool stopped = false;
    // How many measured sets each constraint ruled out: the limits in the
    // request's order, then the wraps (counted among the sets looked at for
    // them), then the sets without a value of the objective. A set can count
    // for several.
    std::vector<std::uint64_t> ruledOut;
};

GainSearchOutcome search_gains(const GainSearchRequest& request, const GainSearchHooks& hooks);
