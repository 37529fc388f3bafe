#include "core/firmware/run_vectors.h"

#include "core/engine/cascade.h"
#include "core/engine/regulation.h"

CascadeState cascade_state_now() {
    return {actualSpeed, actualPosition, speedController, positionController, pwmDuty, pwmDirection};
}

void cascade_state_load(const CascadeState& state) {
    actualSpeed = state.actualSpeed;
    actualPosition = state.actualPosition;
    speedController = state.speedController;
    positionController = state.positionController;
    pwmDuty = state.pwmDuty;
    pwmDirection = state.pwmDirection;
}

CascadeState cascade_state_after(const CascadePass& pass) {
    return {pass.speed,           pass.position,   pass.speedController, pass.positionController,
            pass.pwmDuty, pass.pwmDirection};
}

RunVectors record_run_vectors(const RunSetup& setup) {
    RunVectors vectors;
    vectors.speedMode = setup.speedMode;
    bool started = false;
    run_headless(
        setup, [](const RegulationRun&, const RegulationPoints&, std::int64_t) {},
        [&](RegulationRun& run, bool speedMode) {
            // Nothing runs between the run's start and its first control part.
            if (!started) vectors.start = cascade_state_now();
            started = true;
            if (!regulation_control(run, speedMode)) return false;
            vectors.passes.push_back({actualSpeed, actualPosition, speedMode ? std::int16_t{0} : run.commandedPoint.X,
                                      positionController, speedController, pwmDuty, pwmDirection});
            return true;
        });
    return vectors;
}
