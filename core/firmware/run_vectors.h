#pragma once
// Golden vectors of the cascade, pass by pass, for checking a target's own
// regulate_speed and regulate_position against the bench. The drive model
// stays here: each pass carries the measured speed and position the bench
// handed to its controllers (and in position mode the commanded X), and the
// state the two loops left, so a target replays its controllers against
// exactly the speeds the bench saw.
#include "core/engine/cascade.h"
#include "core/engine/pid.h"
#include "core/measure/headless_run.h"

#include <cstdint>
#include <vector>

// What the cascade works on: the state a target's two loops share, the
// record the bench's own steps take.
using CascadeState = Cascade;

// One pass: the inputs, then the state after the pass's loops.
struct CascadePass {
    std::int16_t speed;     // actualSpeed handed to the speed loop
    std::int16_t position;  // actualPosition handed to the position loop (0 in speed mode)
    std::int16_t commandX;  // position mode: the setpoint regulate_position got
    PidController positionController;
    PidController speedController;
    std::uint8_t pwmDuty;
    std::int8_t pwmDirection;
};

struct RunVectors {
    bool speedMode = false;
    CascadeState start{};  // before the first pass, as the run's start left it
    std::vector<CascadePass> passes;
};

// The run `setup` describes on `engine`, through the same headless run as
// the `regulation` trace: every pass whose control part ran.
RunVectors record_run_vectors(Engine& engine, const RunSetup& setup);

// The state after `pass`: its inputs and what its loops left.
CascadeState cascade_state_after(const CascadePass& pass);
