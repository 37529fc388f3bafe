#include "core/engine/module.h"

#include <gtest/gtest.h>

namespace {

TEST(RegulateSpeed, MapsTheOutputToDutyAndDirection) {
    struct Case {
        std::int16_t y;  // produced through kp = 100 and e = y
        std::int8_t directionBefore;
        int duty;
        int direction;
    };
    const Case cases[] = {
        {300, 0, 255, 1}, {255, 0, 255, 1}, {254, 0, 254, 1},  {1, -1, 1, 1},     {0, -1, 0, -1},
        {0, 1, 0, 1},     {-1, 1, 1, -1},   {-254, 1, 254, -1}, {-255, 1, 255, -1}, {-300, 1, 255, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.y);
        speedController = PidController{c.y, 0, 0, 1, 0, 0, 0, 100, 0, 0};
        actualSpeed = 0;
        pwmDirection = c.directionBefore;
        regulate_speed();
        EXPECT_EQ(speedController.y, c.y);  // the record keeps the unlimited output
        EXPECT_EQ(pwmDuty, c.duty);
        EXPECT_EQ(pwmDirection, c.direction);
    }
}

TEST(RegulatePosition, LimitsOnlyTheSetpointHandedInward) {
    struct Case {
        std::int16_t setpoint;
        std::int16_t kp;
        std::int16_t outerY;
        std::int16_t innerW;
    };
    const Case cases[] = {
        {20, 30, 6, 6},
        {327, 100, 327, 255},
        {-300, 100, -300, -255},
        {255, 100, 255, 255},
        {-255, 100, -255, -255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setpoint);
        positionController = PidController{0, 0, 0, 1, 0, 0, 0, c.kp, 0, 0};
        actualPosition = 0;
        regulate_position(c.setpoint);
        EXPECT_EQ(positionController.w, c.setpoint);
        EXPECT_EQ(positionController.y, c.outerY);
        EXPECT_EQ(speedController.w, c.innerW);
    }
}

TEST(RegulatePosition, ErrorSumAccumulatesWithoutEffect) {
    positionController = PidController{0, 0, 0, 1, 0, 0, 0, 30, 0, 0};
    actualPosition = 0;
    regulate_position(100);
    regulate_position(100);
    regulate_position(100);
    EXPECT_EQ(positionController.eSum, 255);
    EXPECT_EQ(positionController.y, 30);
}

}  // namespace
