#include "core/cascade.h"

std::int16_t actualSpeed = 0;
std::int16_t actualPosition = 0;
PidController speedController{};
PidController positionController{};
std::uint8_t pwmDuty = 0;
std::int8_t pwmDirection = 0;

namespace {

constexpr std::int16_t kPwmMax = 255;

}  // namespace

void regulate_speed() {
    pid_update(speedController, actualSpeed);
    const std::int16_t y = speedController.y;
    if (y >= kPwmMax) {
        pwmDuty = kPwmMax;
        pwmDirection = 1;
    } else if (y > 0) {
        pwmDuty = static_cast<std::uint8_t>(y);
        pwmDirection = 1;
    } else if (y == 0) {
        pwmDuty = 0;  // the direction stays as it was; it has no effect at 0
    } else if (y > -kPwmMax) {
        pwmDuty = static_cast<std::uint8_t>(-y);
        pwmDirection = -1;
    } else {
        pwmDuty = kPwmMax;
        pwmDirection = -1;
    }
}

void regulate_position(std::int16_t setpoint) {
    positionController.w = setpoint;
    pid_update(positionController, actualPosition);
    // Only the copy handed to the inner loop is limited; the record keeps the
    // full output for the chart.
    const std::int16_t y = positionController.y;
    speedController.w = y >= kPwmMax ? kPwmMax : y <= -kPwmMax ? static_cast<std::int16_t>(-kPwmMax) : y;
}
