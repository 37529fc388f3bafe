#pragma once
// Speed and position cascade over the drive simulation's module state.
#include "core/pid.h"

#include <cstdint>

extern std::int16_t actualSpeed;     // the plant's last result
extern std::int16_t actualPosition;  // running sum of actualSpeed
extern PidController speedController;     // inner loop; w is the speed setpoint
extern PidController positionController;  // outer loop; w is the position setpoint
extern std::uint8_t pwmDuty;      // PWM magnitude, 0 ... 255
extern std::int8_t pwmDirection;  // +1 forward, -1 reverse, 0 until the first output

// Inner loop: steps speedController on actualSpeed and sets the PWM output.
void regulate_speed();
// Outer loop: steps positionController on actualPosition and hands its
// output, limited to -255 ... 255, to the inner loop as its setpoint.
void regulate_position(std::int16_t setpoint);
