#pragma once
// Speed and position cascade: two controllers, the PWM output and the
// measured speed and position, in one record its steps work on.
#include "core/engine/int16.h"
#include "core/engine/pid.h"

#include <cstdint>

struct Cascade {
    std::int16_t actualSpeed = 0;     // the plant's last result
    std::int16_t actualPosition = 0;  // running sum of actualSpeed
    PidController speedController{};     // inner loop; w is the speed setpoint
    PidController positionController{};  // outer loop; w is the position setpoint
    std::uint8_t pwmDuty = 0;      // PWM magnitude, 0 ... 255
    std::int8_t pwmDirection = 0;  // +1 forward, -1 reverse, 0 until the first output
};

// Inner loop: steps speedController on actualSpeed and sets the PWM output.
void regulate_speed(Cascade& c);
// Outer loop: steps positionController on actualPosition and hands its
// output, limited to -255 ... 255, to the inner loop as its setpoint.
void regulate_position(Cascade& c, std::int16_t setpoint);

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
void sum_position(Cascade& c, Observer& observer) {
    const std::int32_t exact = std::int32_t{c.actualPosition} + c.actualSpeed;
    c.actualPosition = wrap16(exact);
    observer.position_sum(exact, c.actualPosition);
}

template <class Observer>
void regulate_speed(Cascade& c, Observer& observer) {
    pid_update(c.speedController, c.actualSpeed,
               [&observer, &c](const PidStepDetail& d) { observer.speed_step(c.speedController, d); });
    const std::int16_t y = c.speedController.y;
    if (y >= kCascadeLimit) {
        c.pwmDuty = kCascadeLimit;
        c.pwmDirection = 1;
    } else if (y > 0) {
        c.pwmDuty = static_cast<std::uint8_t>(y);
        c.pwmDirection = 1;
    } else if (y == 0) {
        c.pwmDuty = 0;  // the direction stays as it was; it has no effect at 0
    } else if (y > -kCascadeLimit) {
        c.pwmDuty = static_cast<std::uint8_t>(-y);
        c.pwmDirection = -1;
    } else {
        c.pwmDuty = kCascadeLimit;
        c.pwmDirection = -1;
    }
    observer.pwm_output(y, static_cast<std::int16_t>(c.pwmDirection * c.pwmDuty));
}

template <class Observer>
void regulate_position(Cascade& c, std::int16_t setpoint, Observer& observer) {
    c.positionController.w = setpoint;
    pid_update(c.positionController, c.actualPosition,
               [&observer, &c](const PidStepDetail& d) { observer.position_step(c.positionController, d); });
    // Only the copy handed to the inner loop is limited; the record keeps the
    // full output for the chart.
    const std::int16_t y = c.positionController.y;
    c.speedController.w = y >= kCascadeLimit    ? kCascadeLimit
                          : y <= -kCascadeLimit ? static_cast<std::int16_t>(-kCascadeLimit)
                                                : y;
    c.speedController.w = speed_setpoint_input(observer, c.speedController.w);
    observer.speed_setpoint(y, c.speedController.w);
}
