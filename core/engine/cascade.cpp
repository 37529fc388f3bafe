#include "core/engine/cascade.h"

std::int16_t actualSpeed = 0;
std::int16_t actualPosition = 0;
PidController speedController{};
PidController positionController{};
std::uint8_t pwmDuty = 0;
std::int8_t pwmDirection = 0;

void regulate_speed() {
    NoPassObserver none;
    regulate_speed(none);
}

void regulate_position(std::int16_t setpoint) {
    NoPassObserver none;
    regulate_position(setpoint, none);
}
