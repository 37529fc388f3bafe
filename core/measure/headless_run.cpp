#include "core/measure/headless_run.h"

#include "core/engine/cascade.h"

namespace {

RunMetricsAccumulator runAccumulator;  // reused by measure_regulation_run

}  // namespace

RunMetrics measure_regulation_run(bool speedMode, const RegulationGains& gains, std::int64_t passLimit,
                                  RunStop stop) {
    // A speed-mode run makes exactly passLimit passes: told so, the
    // accumulator sums the steady-error window instead of keeping a tail.
    runAccumulator.reset(speedMode, gains.w, speedMode && passLimit < METRICS_NO_PASS_LIMIT ? passLimit : 0);
    run_headless({speedMode, passLimit, gains, stop}, [speedMode, w = gains.w](const RegulationRun& run, const RegulationPoints&, std::int64_t) {
        if (speedMode) runAccumulator.add_pass(w, actualSpeed, speedController.y);
        else runAccumulator.add_pass(run.commandedPoint.X, actualPosition, speedController.y);
    });
    return runAccumulator.result();
}
