#pragma once
// A frequency response measured as a batch: every frequency is a run of its
// own, so they run side by side on the runner's workers, each with an engine
// of its own, and come back in the order asked (the same numbers for any
// number of threads).
#include "core/frequency/frequency_response.h"
#include "core/frequency/loop_margins.h"
#include "core/engine/stop_flag.h"

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

// take(i, point) for the frequencies hz[i] in order, each measured at
// sine_plan(hz[i]) on `threads` workers (the calling thread with 1), each
// with an engine of its own; take runs on the calling thread. A stop is seen
// between frequencies (one takes a few milliseconds at most): false when it
// ended the work (what was taken stands).
bool measure_response(const ResponseSetup& setup, std::span<const double> hz, int threads, const StopFlag& stop,
                      const std::function<void(std::size_t, const MeasuredPoint&)>& take);

// A whole response as a front end shows it: the measured points, the twin on
// a fine grid over the same frequencies, and the margins of both.
struct ResponseReport {
    std::vector<MeasuredPoint> measured;
    std::vector<ResponsePoint> twin;
    LoopMargins measuredMargins;
    LoopMargins twinMargins;
};
// The report of measured points (as measure_response gave them) between fromHz and toHz.
ResponseReport response_report(const ResponseSetup& setup, std::vector<MeasuredPoint> measured, double fromHz,
                               double toHz);
