#pragma once
// A real-valued twin of the regulation cascade: the same gains, ta = 1,
// plant model, commanded points and intended limits, computed in doubles
// with no wrap and no truncation anywhere. Run beside the integer run, it
// shows what the 16-bit arithmetic costs.
#include "core/engine/plant.h"
#include "core/engine/regulation.h"

struct TwinController {
    double w = 0.0;  // setpoint
    double y = 0.0;  // output of the last step, unlimited
    double eSum = 0.0;  // held within -255 ... 255
    double ePrev = 0.0;
    double kp = 0.0;  // gains in hundredths, as the integer controller's
    double ki = 0.0;
    double kd = 0.0;
    double ta = 1.0;
};

struct Twin {
    TwinController speedController;
    TwinController positionController;
    Plant plant = PLANT_AT_REST;  // own state, the engine's model constants
    double speed = 0.0;     // the plant's speed, not truncated
    double position = 0.0;  // running sum of the speeds, not wrapped
    double pwm = 0.0;       // the speed loop's output limited to -255 ... 255
};

// One step: e = w - x; eSum = clamp(eSum + e); y = (kp e + ki ta eSum +
// kd (e - ePrev) / ta) / 100, in that order; ePrev = e.
void twin_controller_step(TwinController& c, double actual);

// At rest with the run's gains; in speed mode w is the speed setpoint.
void twin_start(Twin& twin, bool speedMode, const RegulationGains& gains);
// One pass beside the integer one: plant step, in position mode the
// position sum and the position loop toward `commandedX`, then the speed loop.
void twin_pass(Twin& twin, bool speedMode, double commandedX);
