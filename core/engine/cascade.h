#pragma once
// Speed and position cascade over the drive simulation's module state.
#include "core/engine/pid.h"

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

// What a pass shows an observer, in the order it computes it. The plain
// steps use this one, whose empty members compile away.
struct NoPassObserver {
    void position_sum(std::int32_t /*exact*/, std::int16_t /*kept*/) {}
    void position_step(const PidController&, const PidStepDetail&) {}
    void speed_setpoint(std::int16_t /*y*/, std::int16_t /*setpoint*/) {}
    void speed_step(const PidController&, const PidStepDetail&) {}
    void pwm_output(std::int16_t /*y*/, std::int16_t /*signedDuty*/) {}
};

constexpr std::int16_t kCascadeLimit = 255;  // PWM duty and speed setpoint

// An observer may also steer the pass where the loop is broken to measure
// its frequency response. With a member `std::int16_t speed_setpoint_input(
// std::int16_t v)` the speed loop gets what it returns as its setpoint
// instead of the position loop's limited output v; see also
// regulation_control. Observers without it (all the plain ones) steer nothing.
template <class Observer>
std::int16_t speed_setpoint_input(Observer& observer, std::int16_t setpoint) {
    if constexpr (requires { observer.speed_setpoint_input(setpoint); }) {
        return observer.speed_setpoint_input(setpoint);
    } else {
        return setpoint;
    }
}

// Position mode: actualPosition += actualSpeed, kept to 16 bits (wraps).
template <class Observer>
void sum_position(Observer& observer) {
    const std::int32_t exact = std::int32_t{actualPosition} + actualSpeed;
    actualPosition = wrap16(exact);
    observer.position_sum(exact, actualPosition);
}

template <class Observer>
void regulate_speed(Observer& observer) {
    pid_update(speedController, actualSpeed,
               [&observer](const PidStepDetail& d) { observer.speed_step(speedController, d); });
    const std::int16_t y = speedController.y;
    if (y >= kCascadeLimit) {
        pwmDuty = kCascadeLimit;
        pwmDirection = 1;
    } else if (y > 0) {
        pwmDuty = static_cast<std::uint8_t>(y);
        pwmDirection = 1;
    } else if (y == 0) {
        pwmDuty = 0;  // the direction stays as it was; it has no effect at 0
    } else if (y > -kCascadeLimit) {
        pwmDuty = static_cast<std::uint8_t>(-y);
        pwmDirection = -1;
    } else {
        pwmDuty = kCascadeLimit;
        pwmDirection = -1;
    }
    observer.pwm_output(y, static_cast<std::int16_t>(pwmDirection * pwmDuty));
}

template <class Observer>
void regulate_position(std::int16_t setpoint, Observer& observer) {
    positionController.w = setpoint;
    pid_update(positionController, actualPosition,
               [&observer](const PidStepDetail& d) { observer.position_step(positionController, d); });
    // Only the copy handed to the inner loop is limited; the record keeps the
    // full output for the chart.
    const std::int16_t y = positionController.y;
    speedController.w = y >= kCascadeLimit    ? kCascadeLimit
                        : y <= -kCascadeLimit ? static_cast<std::int16_t>(-kCascadeLimit)
                                              : y;
    speedController.w = speed_setpoint_input(observer, speedController.w);
    observer.speed_setpoint(y, speedController.w);
}
