#include "core/firmware/run_vectors.h"

#include "core/engine/regulation.h"

CascadeState cascade_state_after(const CascadePass& pass) {
    return {pass.speed,           pass.position,   pass.speedController, pass.positionController,
            pass.pwmDuty, pass.pwmDirection};
}

RunVectors record_run_vectors(Engine& engine, const RunSetup& setup) {
    RunVectors vectors;
    vectors.speedMode = setup.speedMode;
    bool started = false;
    const Cascade& c = engine.cascade;
    run_headless(
        engine, setup, [](const RegulationRun&, const RegulationPoints&, std::int64_t) {},
        [&](RegulationRun& run, bool speedMode) {
            // Nothing runs between the run's start and its first control part.
            if (!started) vectors.start = c;
            started = true;
            if (!regulation_control(engine, run, speedMode)) return false;
            vectors.passes.push_back({c.actualSpeed, c.actualPosition,
                                      speedMode ? std::int16_t{0} : run.commandedPoint.X, c.positionController,
                                      c.speedController, c.pwmDuty, c.pwmDirection});
            return true;
        });
    return vectors;
}
