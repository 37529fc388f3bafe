#include "core/measure/headless_run.h"

RunMetrics measure_regulation_run(RunMeter& meter, bool speedMode, const RegulationGains& gains,
                                  std::int64_t passLimit, const StopFlag* stop) {
    RunMetricsAccumulator& metrics = meter.accumulator;
    const Cascade& c = meter.engine.cascade;
    metrics.reset(speedMode, gains.w);
    run_headless(meter.engine, {speedMode, passLimit, gains, stop},
                 [&, w = gains.w](const RegulationRun& run, const RegulationPoints&, std::int64_t) {
                     if (speedMode) metrics.add_pass(w, c.actualSpeed, c.speedController.y);
                     else metrics.add_pass(run.commandedPoint.X, c.actualPosition, c.speedController.y);
                 });
    return metrics.result();
}
