#pragma once
// One whole regulation run without a window, as the window makes it with the
// same edits: a fixed mode, no pauses, "Regelung aus" after the last pass
// wanted, through the engine's one regulation pass. The command line's
// traces, the metrics, the sweep and the tune all run it; the window runs the
// same regulation_pass with its own host.
#include "core/measure/metrics.h"
#include "core/engine/regulation.h"

#include <csignal>
#include <cstdint>
#include <type_traits>

// Pass limit of a position-mode run that goes on until the NC program ends.
inline constexpr std::int64_t METRICS_NO_PASS_LIMIT = INT64_MAX;

// A stop asked from outside (a signal handler's flag): a run given one looks
// at it every RUN_STOP_EVERY passes and ends early once it is non-zero; what
// such a run measured means nothing. Null asks nothing.
using RunStop = const volatile std::sig_atomic_t*;
inline constexpr std::int64_t RUN_STOP_EVERY = 16384;
inline bool run_stop_asked(RunStop stop) { return stop != nullptr && *stop != 0; }

struct RunSetup {
    bool speedMode = false;
    // Speed mode: the passes to make (as if "Regelung aus" came in the last
    // one); position mode: at most this many, the run ends with the NC program.
    std::int64_t passLimit = METRICS_NO_PASS_LIMIT;
    RegulationGains gains{};
    RunStop stop = nullptr;
};

// The run from a fresh start: `onPass(run, points, pass)` after each pass's
// chart points (pass = 1, 2, ...), with `control(run, speedMode)` as the
// control part (regulation_control, or one that watches it). A limit below 1
// makes no pass and starts nothing. Uses the engine's one instance of state:
// not for two threads at once.
template <class OnPass, class Control>
void run_headless(const RunSetup& setup, OnPass&& onPass, Control&& control);
template <class OnPass>
void run_headless(const RunSetup& setup, OnPass&& onPass) {
    run_headless(setup, onPass, [](RegulationRun& run, bool speedMode) { return regulation_control(run, speedMode); });
}

// The metrics of run_headless(setup): the sweep's and the lanes' reference.
// Memory stays the same however long the run: a speed-mode run's length is
// its pass limit, known before it starts (see RunMetricsAccumulator::reset).
RunMetrics measure_regulation_run(bool speedMode, const RegulationGains& gains, std::int64_t passLimit,
                                  RunStop stop = nullptr);

// ---- the template's body ----

namespace headless_detail {

template <class OnPass>
class Host final : public RegulationPassHost {
public:
    Host(bool speedMode, std::int64_t passLimit, RunStop stop, OnPass& onPass)
        : speedMode_(speedMode), passLimit_(passLimit), stop_(stop), onPass_(onPass) {}
    bool speed_mode() override { return speedMode_; }
    void pause_and_pump() override {
        if (++pass_ == passLimit_) stop_regulation();  // as if "Regelung aus" came in this pass
        if (pass_ % RUN_STOP_EVERY == 0 && run_stop_asked(stop_)) stop_regulation();
    }
    void chart_points(const RegulationRun& run, const RegulationPoints& points) override { onPass_(run, points, pass_); }

private:
    bool speedMode_;
    std::int64_t passLimit_;
    RunStop stop_;
    std::int64_t pass_ = 0;
    OnPass& onPass_;
};

}  // namespace headless_detail

template <class OnPass, class Control>
void run_headless(const RunSetup& setup, OnPass&& onPass, Control&& control) {
    if (setup.passLimit < 1) return;
    headless_detail::Host<std::remove_reference_t<OnPass>> host{setup.speedMode, setup.passLimit, setup.stop, onPass};
    RegulationRun run;
    regulationRunning = true;
    regulation_start(run, setup.speedMode, setup.gains);
    while (regulationRunning && regulation_pass(run, host, control)) {
    }
}
