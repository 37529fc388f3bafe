#include "core/measure/headless_run.h"

RunMetrics measure_regulation_run(RunMeter& meter, bool speedMode, const RegulationGains& gains,
                                  std::int64_t passLimit, const StopFlag* stop) {
    RunMetricsAccumulator& metrics = meter.accumulator;
    // A speed-mode run makes exactly passLimit passes: told so, the
    // accumulator sums the steady-error window instead of keeping a tail.
    metrics.reset(speedMode, gains.w, speedMode && passLimit < METRICS_NO_PASS_LIMIT ? passLimit : 0);
    // Captured by value: a pass reads them without going through this frame.
    run_headless(meter.engine, {speedMode, passLimit, gains, stop},
                 [m = &metrics, c = &meter.engine.cascade, speedMode, w = gains.w](
                     const RegulationRun& run, const RegulationPoints&, std::int64_t) {
                     if (speedMode) m->add_pass(w, c->actualSpeed, c->speedController.y);
                     else m->add_pass(run.commandedPoint.X, c->actualPosition, c->speedController.y);
                 });
    return metrics.result();
}
