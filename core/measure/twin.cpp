#include "core/measure/twin.h"

#include <algorithm>

namespace {

constexpr double kLimit = 255.0;  // the error sum, the PWM and the speed setpoint

}  // namespace

void twin_controller_step(TwinController& c, double actual) {
    const double e = c.w - actual;
    c.eSum = std::clamp(c.eSum + e, -kLimit, kLimit);
    c.y = (c.kp * e + c.ki * c.ta * c.eSum + c.kd * (e - c.ePrev) / c.ta) / 100.0;
    c.ePrev = e;
}

void twin_start(Twin& twin, bool speedMode, const RegulationGains& gains) {
    twin = Twin{};
    twin.positionController.kp = gains.kv;
    twin.speedController.kp = gains.kp;
    twin.speedController.ki = gains.ki;
    twin.speedController.kd = gains.kd;
    if (speedMode) twin.speedController.w = gains.w;
}

void twin_pass(Twin& twin, bool speedMode, double commandedX) {
    twin.speed = plant_advance(twin.plant, twin.pwm);
    if (!speedMode) {
        twin.position += twin.speed;
        twin.positionController.w = commandedX;
        twin_controller_step(twin.positionController, twin.position);
        twin.speedController.w = std::clamp(twin.positionController.y, -kLimit, kLimit);
    }
    twin_controller_step(twin.speedController, twin.speed);
    twin.pwm = std::clamp(twin.speedController.y, -kLimit, kLimit);
}
