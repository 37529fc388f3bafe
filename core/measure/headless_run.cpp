#include "core/measure/headless_run.h"

#include "core/engine/cascade.h"

namespace {

RunMetricsAccumulator runAccumulator;  // reused by measure_regulation_run, so its tail keeps its memory

}  // namespace

RunMetrics measure_regulation_run(bool speedMode, const RegulationGains& gains, std::int64_t passLimit) {
    runAccumulator.reset(speedMode, gains.w);
    run_headless({speedMode, passLimit, gains}, [speedMode, w = gains.w](const RegulationRun& run, const RegulationPoints&, std::int64_t) {
        if (speedMode) runAccumulator.add_pass(w, actualSpeed, speedController.y);
        else runAccumulator.add_pass(run.commandedPoint.X, actualPosition, speedController.y);
    });
    return runAccumulator.result();
}
