#include "core/engine/pid.h"

#include <gtest/gtest.h>

namespace {

struct PidCase {
    const char* name;
    PidController before;  // w, x, y, ta, e, eSum, ePrev, kp, ki, kd
    std::int16_t actual;
    std::int16_t e, eSum, y, ePrev;
};

TEST(PidUpdate, StepsMatchSixteenBitArithmetic) {
    const PidCase cases[] = {
        {"initial gains from rest", {80, 0, 0, 1, 0, 0, 0, 250, 60, 0}, 0, 80, 80, 248, 80},
        {"weighted sum wraps to a negative output", {200, 0, 0, 1, 0, 0, 0, 250, 60, 0}, 0, 200, 200, -35, 200},
        {"sum clamps at +255", {10, 0, 0, 1, 0, 250, 0, 0, 0, 0}, 0, 10, 255, 0, 10},
        {"sum clamps at -255", {-10, 0, 0, 1, 0, -250, 0, 0, 0, 0}, 0, -10, -255, 0, -10},
        {"sum wraps before the clamp", {32600, 0, 0, 1, 0, 255, 0, 0, 0, 0}, 0, 32600, -255, 0, 32600},
        {"-150 truncates to -1", {-150, 0, 0, 1, 0, 0, 0, 1, 0, 0}, 0, -150, -150, -1, -150},
        {"199 truncates to 1", {199, 0, 0, 1, 0, 0, 0, 1, 0, 0}, 0, 199, 199, 1, 199},
        {"-99 truncates to 0", {-99, 0, 0, 1, 0, 0, 0, 1, 0, 0}, 0, -99, -99, 0, -99},
        {"derivative divided by ta, integral multiplied", {4, 0, 0, 2, 0, 0, 10, 0, 10, 100}, 0, 4, 4, -2, 4},
        {"error wraps", {30000, 0, 0, 1, 0, 0, 0, 0, 0, 0}, -10000, -25536, -255, 0, -25536},
        {"no error at rest", {77, 0, 0, 1, 0, 0, 0, 250, 60, 100}, 77, 0, 0, 0, 0},
        // (e - ePrev) * kd needs all 32 bits before the division: 65535 * 32767.
        {"derivative exact before division", {32767, 0, 0, 1, 0, 0, -32768, 0, 0, 32767}, 0, 32767, 255, -327, 32767},
    };
    for (const PidCase& c : cases) {
        SCOPED_TRACE(c.name);
        PidController pid = c.before;
        EXPECT_TRUE(pid_update(pid, c.actual));
        EXPECT_EQ(pid.x, c.actual);
        EXPECT_EQ(pid.e, c.e);
        EXPECT_EQ(pid.eSum, c.eSum);
        EXPECT_EQ(pid.y, c.y);
        EXPECT_EQ(pid.ePrev, c.ePrev);
        // Setpoint, sample time and gains are only read.
        EXPECT_EQ(pid.w, c.before.w);
        EXPECT_EQ(pid.ta, c.before.ta);
        EXPECT_EQ(pid.kp, c.before.kp);
        EXPECT_EQ(pid.ki, c.before.ki);
        EXPECT_EQ(pid.kd, c.before.kd);
    }
}

TEST(PidUpdate, DerivativeSeesThePreviousError) {
    PidController pid{10, 0, 0, 1, 0, 0, 0, 0, 0, 100};
    pid_update(pid, 0);  // first step: the whole error counts as change
    EXPECT_EQ(pid.y, 10);
    pid_update(pid, 0);  // unchanged error: no derivative
    EXPECT_EQ(pid.y, 0);
    pid_update(pid, 5);  // error fell by 5
    EXPECT_EQ(pid.y, -5);
}

}  // namespace
