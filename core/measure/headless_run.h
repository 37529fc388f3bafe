#pragma once
// One whole regulation run without a window, as the window makes it with the
// same edits: a fixed mode, no pauses, "Regelung aus" after the last pass
// wanted, through the engine's one regulation pass, on an engine the caller
// gives. The command line's traces, the metrics, the sweep and the tune all
// run it; the window runs the same regulation_pass with its own host on the
// module instance.
#include "core/engine/regulation.h"
#include "core/engine/stop_flag.h"
#include "core/measure/metrics.h"

#include <cstdint>
#include <type_traits>

// Pass limit of a position-mode run that goes on until the NC program ends.
inline constexpr std::int64_t METRICS_NO_PASS_LIMIT = INT64_MAX;

struct RunSetup {
    bool speedMode = false;
    // Speed mode: the passes to make (as if "Regelung aus" came in the last
    // one); position mode: at most this many, the run ends with the NC program.
    std::int64_t passLimit = METRICS_NO_PASS_LIMIT;
    RegulationGains gains{};
    // Looked at every RUN_STOP_EVERY passes: a stop asked ends the run there,
    // as "Regelung aus" would (what it measured is then of no use). Null
    // asks nothing.
    const StopFlag* stop = nullptr;
};
inline constexpr std::int64_t RUN_STOP_EVERY = 16384;

// The run from a fresh start on `engine` (which loads engine.program in
// position mode): `onPass(run, points, pass)` after each pass's chart points
// (pass = 1, 2, ...), with `control(run, speedMode)` as the control part
// (regulation_control on `engine`, or one that watches it). A limit below 1
// makes no pass and starts nothing.
template <class OnPass, class Control>
void run_headless(Engine& engine, const RunSetup& setup, OnPass&& onPass, Control&& control);
template <class OnPass>
void run_headless(Engine& engine, const RunSetup& setup, OnPass&& onPass) {
    // The control part inlined here: a batch of long runs spends most of its time in it.
    run_headless(engine, setup, onPass, [&engine](RegulationRun& run, bool speedMode) {
        NoPassObserver none;
        return regulation_control(engine, run, speedMode, none);
    });
}

// What one thread measures runs with: an engine, and the metrics'
// accumulator, reused from run to run.
struct RunMeter {
    Engine engine;
    RunMetricsAccumulator accumulator;
};

// The metrics of run_headless(meter.engine, {speedMode, passLimit, gains,
// stop}): the sweep's and the lanes' reference. Memory stays the same however
// long the run: a speed-mode run's length is its pass limit, known before it
// starts (see RunMetricsAccumulator::reset).
RunMetrics measure_regulation_run(RunMeter& meter, bool speedMode, const RegulationGains& gains,
                                  std::int64_t passLimit, const StopFlag* stop = nullptr);

// ---- the template's body ----

namespace headless_detail {

template <class OnPass>
class Host final : public RegulationPassHost {
public:
    Host(Engine& engine, const RunSetup& setup, OnPass& onPass)
        : engine_(engine), speedMode_(setup.speedMode), passLimit_(setup.passLimit), stop_(setup.stop), onPass_(onPass) {}
    bool speed_mode() override { return speedMode_; }
    void pause_and_pump() override {
        if (++pass_ == passLimit_) stop_regulation(engine_);  // as if "Regelung aus" came in this pass
        if (pass_ % RUN_STOP_EVERY == 0 && stop_asked(stop_)) stop_regulation(engine_);
    }
    void chart_points(const RegulationRun& run, const RegulationPoints& points) override { onPass_(run, points, pass_); }

private:
    Engine& engine_;
    bool speedMode_;
    std::int64_t passLimit_;
    const StopFlag* stop_;
    std::int64_t pass_ = 0;
    OnPass& onPass_;
};

}  // namespace headless_detail

template <class OnPass, class Control>
void run_headless(Engine& engine, const RunSetup& setup, OnPass&& onPass, Control&& control) {
    if (setup.passLimit < 1) return;
    headless_detail::Host<std::remove_reference_t<OnPass>> host{engine, setup, onPass};
    RegulationRun run;
    engine.running = true;
    regulation_start(engine, run, setup.speedMode, setup.gains);
    while (engine.running && regulation_pass(engine, run, host, control)) {
    }
}
