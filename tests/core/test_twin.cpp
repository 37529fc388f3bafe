#include "core/measure/twin.h"

#include <gtest/gtest.h>

namespace {

constexpr RegulationGains kInitialGains{250, 60, 0, 30, 80};

TEST(Twin, ControllerStepsMatchHandComputedValues) {
    const struct {
        const char* name;
        TwinController before;  // w, y, eSum, ePrev, kp, ki, kd, ta
        double actual;
        double y, eSum;
    } steps[] = {
        {"initial gains from rest", {80, 0, 0, 0, 250, 60, 0, 1}, 0.0, 248.0, 80.0},
        {"no wrap where the integer sum wraps", {200, 0, 0, 0, 250, 60, 0, 1}, 0.0, 620.0, 200.0},
        {"sum clamps at +255", {10, 0, 250, 0, 0, 100, 0, 1}, 0.0, 255.0, 255.0},
        {"sum clamps at -255", {-10, 0, -250, 0, 0, 100, 0, 1}, 0.0, -255.0, -255.0},
        {"no truncation of the hundredths", {-150, 0, 0, 0, 1, 0, 0, 1}, 0.0, -1.5, -150.0},
        {"derivative over ta, integral times ta", {4, 0, 0, 10, 0, 10, 100, 2}, 0.0, -2.2, 4.0},
        {"real actual value", {80, 0, 80, 80, 250, 60, 0, 1}, 24.3, 220.67, 135.7},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        TwinController c = step.before;
        twin_controller_step(c, step.actual);
        EXPECT_NEAR(c.y, step.y, 1e-9);
        EXPECT_NEAR(c.eSum, step.eSum, 1e-9);
        EXPECT_DOUBLE_EQ(c.ePrev, step.before.w - step.actual);
    }
}

TEST(Twin, SpeedModePassesFromRest) {
    Twin twin;
    twin_start(twin, true, kInitialGains);
    // Pass 1: the plant is at rest, e = 80: y = (250 * 80 + 60 * 80) / 100.
    // Pass 2: speed 0.1 * 248; e = 55.2, eSum 135.2.
    // Pass 3: speed 24.8 + 0.1 * (219.12 - 5.6 * 24.8); e = 47.176, eSum 182.376.
    const double speed[] = {0.0, 24.8, 32.824};
    const double y[] = {248.0, 219.12, 227.3656};
    for (int pass = 0; pass < 3; ++pass) {
        SCOPED_TRACE(pass + 1);
        twin_pass(twin, true, 0.0);
        EXPECT_NEAR(twin.speed, speed[pass], 1e-9);
        EXPECT_NEAR(twin.speedController.y, y[pass], 1e-9);
    }
}

TEST(Twin, PositionModeLimitsTheSpeedSetpointAndThePwm) {
    Twin twin;
    twin_start(twin, false, kInitialGains);
    twin_pass(twin, false, 1000.0);  // position loop: 30 * 1000 / 100 = 300, handed on as 255
    EXPECT_DOUBLE_EQ(twin.positionController.y, 300.0);
    EXPECT_DOUBLE_EQ(twin.speedController.w, 255.0);
    EXPECT_DOUBLE_EQ(twin.speedController.y, (250.0 * 255 + 60.0 * 255) / 100);  // 790.5
    EXPECT_DOUBLE_EQ(twin.pwm, 255.0);
    twin_pass(twin, false, 1000.0);
    EXPECT_DOUBLE_EQ(twin.speed, 25.5);
    EXPECT_DOUBLE_EQ(twin.position, 25.5);
}

}  // namespace
