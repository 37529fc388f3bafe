#pragma once
// Step-response and following metrics of one regulation run, gathered pass by
// pass in constant time, so a live run, the command-line front end and a
// sweep of many runs all read the same figures.
//
// A run's passes are k = 1 ... n, 4 ms of chart time apart (the start row is
// not a pass). Each pass brings a commanded value c and a response r: in speed
// mode c is the speed setpoint w and r the actual speed, in position mode c is
// the commanded X and r the actual position.
#include "core/engine/regulation.h"
#include "core/measure/limit_cycle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Milliseconds of chart time between two passes.
inline constexpr std::int64_t METRICS_PASS_MS = 4;

// Columns that do not apply to the run's mode (or to w = 0, or to a run that
// never reached a level) are empty.
struct RunMetrics {
    bool speedMode = false;
    std::int16_t w = 0;    // speed setpoint (speed mode)
    std::int64_t passes = 0;

    // Speed mode, w != 0.
    std::optional<std::int64_t> riseMs;     // from first reaching 10 % of |w| to first reaching 90 %
    std::optional<double> overshootPct;     // beyond |w|, in percent of |w|
    std::optional<std::int16_t> peak;       // the response farthest in the direction of w
    std::optional<std::int64_t> peakMs;     // its first pass
    // From when on the response stays within the band (2 % of |w|, at least 1,
    // around w); empty unless that final stretch lasts max(10, n / 10) passes.
    std::optional<std::int64_t> settlingMs;
    // Speed mode: w minus the mean response over the last tenth of the run.
    std::optional<double> steadyError;
    // Speed mode: the oscillation the run's last tenth repeats (limit_cycle.h);
    // amplitude 0 where it settled to a constant, empty where it does not repeat.
    std::optional<LimitCycle> limitCycle;

    // Position mode, c - r.
    std::optional<std::int32_t> maxFollowingError;  // of largest magnitude, the first one on a tie
    std::optional<std::int64_t> maxFollowingMs;
    std::optional<double> rmsFollowingError;
    std::optional<std::int32_t> finalError;  // of the last pass

    std::int64_t iae = 0;             // 4 x sum of |c - r|, count ms
    std::int64_t pwmLimitPasses = 0;  // passes with |speed controller y| > 255
};

// What a run's metrics are made of: running extremes and sums over its passes
// k = 1 ... passes. The accumulator below keeps them for one run; the lanes
// engine (gain_batch.h) keeps them for many runs at once; both make the
// metrics with run_metrics_of, so a cell is defined in one place.
struct RunTotals {
    bool speedMode = false;
    std::int16_t w = 0;  // speed setpoint; 0 in position mode
    std::int64_t passes = 0;

    // Speed mode: the first passes at 10 % and 90 % of |w| (0 until reached),
    // the peak along w's direction (r x sgn(w)) and its first pass, the last
    // pass outside the settling band (0 for none), and the responses of the
    // steady-error window, the last max(1, passes / 10).
    std::int64_t firstAt10 = 0;
    std::int64_t firstAt90 = 0;
    std::int32_t peakAlong = 0;
    std::int16_t peak = 0;
    std::int64_t peakPass = 0;
    std::int64_t lastOutsideBand = 0;
    std::int64_t tailSum = 0;
    std::int64_t tailCount = 0;

    // Position mode, c - r: the first error of largest magnitude and its pass,
    // the last one, the sum of squares.
    std::int32_t maxError = 0;
    std::int64_t maxErrorPass = 0;
    std::int32_t lastError = 0;
    std::int64_t sumSquaredError = 0;

    std::int64_t sumAbsError = 0;  // sum of |c - r|
    std::int64_t limitPasses = 0;  // passes with |speed controller y| > 255

    // Speed mode: limit_cycle_of the run's stretch, worked out at its end.
    std::optional<LimitCycle> limitCycle;
};

RunMetrics run_metrics_of(const RunTotals& totals);

// Takes one run's passes and keeps only what the metrics need: the totals,
// and for the steady error the sum over the last tenth of the run. A run
// whose length n is known when it starts (a headless speed-mode run makes
// exactly its pass limit) sums the passes after n - max(1, n / 10) as they
// come, in constant memory, as the lanes engine does. Only a run of unknown
// length (a live one, ended by "Regelung aus") keeps the responses that may
// still fall in the window, whose start only moves forward.
class RunMetricsAccumulator {
public:
    // Starts a new run; `w` is the speed setpoint (ignored in position mode);
    // `passes` the run's length when known, 0 when not. A run that ends
    // before a known length has the steady error of the window's passes it
    // made (none when it made none).
    void reset(bool speedMode, std::int16_t w, std::int64_t passes = 0);
    // One completed pass: the commanded value, the response and the speed
    // controller's output.
    void add_pass(std::int16_t command, std::int16_t response, std::int16_t speedY);
    RunMetrics result() const;

private:
    void keep_for_steady_error(std::int16_t response);

    // The last LIMIT_CYCLE_STRETCH_MOST responses, a ring from recentNext_ on
    // (speed mode).
    std::vector<std::int16_t> recent_;
    std::size_t recentNext_ = 0;

    RunTotals totals_;
    std::int32_t wSign_ = 0;    // -1, 0 or +1
    std::int32_t wMagnitude_ = 0;
    std::int32_t band50_ = 0;   // 50 x the settling band: max(|w|, 50)

    // Responses from pass tailFirst_ on (kept from index tailHead_ of tail_),
    // and their sum over the steady-error window.
    std::vector<std::int16_t> tail_;
    std::size_t tailHead_ = 0;
    std::int64_t window_ = 1;  // the window's length, max(1, n / 10)
    int sinceWindowGrew_ = 0;  // passes since it last grew, 0 ... 9
    std::int64_t windowAfter_ = -1;  // with a known length: the last pass before the window
};
