#include "core/measure/regulation_events.h"
#include "core/measure/regulation_insight.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr std::uint16_t bit(int event) { return static_cast<std::uint16_t>(1u << event); }

struct ControllerEdge {
    const char* name;
    PidController before;  // w, x, y, ta, e, eSum, ePrev, kp, ki, kd
    std::int16_t actual;
    std::uint16_t speedEvents;  // as the speed loop; the position loop raises the same four bits up
};

// Steps at the edges where each controller event is raised and just not.
TEST(RegulationEvents, ControllerStepsRaiseEachEventJustPastItsEdge) {
    constexpr std::uint16_t none = 0;
    const std::uint16_t clamp = bit(SPEED_SUM_CLAMP);
    const std::uint16_t errorWrap = bit(SPEED_E_WRAP) | clamp;
    const std::uint16_t sumWrap = bit(SPEED_SUM_WRAP) | clamp;
    const ControllerEdge edges[] = {
        {"error 32767 fits", {32767, 0, 0, 1, 0, 0, 0, 0, 0, 0}, 0, clamp},
        {"error 32768 wraps", {32767, 0, 0, 1, 0, 0, 0, 0, 0, 0}, -1, errorWrap},
        {"error -32768 fits", {-32768, 0, 0, 1, 0, 0, 0, 0, 0, 0}, 0, clamp},
        {"error -32769 wraps", {-32768, 0, 0, 1, 0, 0, 0, 0, 0, 0}, 1, errorWrap},
        {"sum 255 stays", {5, 0, 0, 1, 0, 250, 0, 0, 0, 0}, 0, none},
        {"sum 256 clamps", {6, 0, 0, 1, 0, 250, 0, 0, 0, 0}, 0, clamp},
        {"sum -255 stays", {-5, 0, 0, 1, 0, -250, 0, 0, 0, 0}, 0, none},
        {"sum -256 clamps", {-6, 0, 0, 1, 0, -250, 0, 0, 0, 0}, 0, clamp},
        {"sum 32767 clamps without a wrap", {32767, 0, 0, 1, 0, 0, 0, 0, 0, 0}, 0, clamp},
        {"sum 32768 wraps, then clamps", {32767, 0, 0, 1, 0, 1, 0, 0, 0, 0}, 0, sumWrap},
        {"sum -32769 wraps, then clamps", {-32768, 0, 0, 1, 0, -1, 0, 0, 0, 0}, 0, sumWrap},
        {"weighted 32767 fits", {1, 0, 0, 1, 0, 0, 0, 32767, 0, 0}, 0, none},
        {"weighted 32768 wraps", {1, 0, 0, 1, 0, 0, 0, 32767, 1, 0}, 0, bit(SPEED_OUT_WRAP)},
        {"weighted -32768 fits", {-1, 0, 0, 1, 0, 0, 0, 32767, 1, 0}, 0, none},
        {"weighted -32769 wraps", {-1, 0, 0, 1, 0, 0, 0, 32767, 2, 0}, 0, bit(SPEED_OUT_WRAP)},
        {"derivative pushes past the top", {1, 0, 0, 1, 0, 0, 0, 32766, 0, 2}, 0, bit(SPEED_OUT_WRAP)},
    };
    for (const ControllerEdge& edge : edges) {
        SCOPED_TRACE(edge.name);
        for (bool speedLoop : {true, false}) {
            SCOPED_TRACE(speedLoop ? "speed loop" : "position loop");
            PidController c = edge.before;
            PassEvents events;
            events.begin_pass();
            pid_update(c, edge.actual, [&](const PidStepDetail& d) {
                speedLoop ? events.speed_step(c, d) : events.position_step(c, d);
            });
            EXPECT_EQ(events.raised, speedLoop ? edge.speedEvents : edge.speedEvents << 4);
        }
    }
}

TEST(RegulationEvents, WrapRecordsTheExactValueAndTheKeptOne) {
    PidController c{1, 0, 0, 1, 0, 0, 0, 32767, 1, 0};
    PassEvents events;
    pid_update(c, 0, [&](const PidStepDetail& d) { events.speed_step(c, d); });
    ASSERT_TRUE(events.has(SPEED_OUT_WRAP));
    EXPECT_EQ(events.values[SPEED_OUT_WRAP].before, 32768);
    EXPECT_EQ(events.values[SPEED_OUT_WRAP].after, -32768);
}

struct LimitEdge {
    const char* name;
    std::int16_t command;  // speed setpoint, or position setpoint
    bool limited;
    std::int16_t kept;  // the signed duty, or the speed setpoint handed on
};

// A gain of 1.00 makes the output equal the error, so the command is the y.
TEST(RegulationEvents, CascadeLimitsRaiseOnlyBeyond255) {
    const LimitEdge edges[] = {
        {"255 passes", 255, false, 255},
        {"256 is held", 256, true, 255},
        {"-255 passes", -255, false, -255},
        {"-256 is held", -256, true, -255},
    };
    for (const LimitEdge& edge : edges) {
        SCOPED_TRACE(edge.name);
        PassEvents events;
        Cascade c;
        c.speedController = PidController{edge.command, 0, 0, 1, 0, 0, 0, 100, 0, 0};
        regulate_speed(c, events);
        EXPECT_EQ(events.has(PWM_LIMIT), edge.limited);
        EXPECT_EQ(c.pwmDirection * c.pwmDuty, edge.kept);

        events.begin_pass();
        c.positionController = PidController{0, 0, 0, 1, 0, 0, 0, 100, 0, 0};
        regulate_position(c, edge.command, events);
        EXPECT_EQ(events.has(SETPOINT_LIMIT), edge.limited);
        EXPECT_EQ(c.speedController.w, edge.kept);
        if (edge.limited) {
            EXPECT_EQ(events.values[SETPOINT_LIMIT].before, edge.command);
            EXPECT_EQ(events.values[SETPOINT_LIMIT].after, edge.kept);
        }
    }
}

TEST(RegulationEvents, PositionSumWrapsOnlyPastSixteenBits) {
    const struct {
        std::int16_t position, speed;
        bool wraps;
        std::int16_t kept;
    } rows[] = {{32766, 1, false, 32767}, {32767, 1, true, -32768}, {-32767, -1, false, -32768}, {-32768, -1, true, 32767}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.position);
        PassEvents events;
        Cascade c;
        c.actualPosition = row.position;
        c.actualSpeed = row.speed;
        sum_position(c, events);
        EXPECT_EQ(events.has(POSITION_WRAP), row.wraps);
        EXPECT_EQ(c.actualPosition, row.kept);
    }
}

TEST(RegulationEvents, NamesJoinInListingOrder) {
    std::string text;
    append_event_names(text, bit(POSITION_WRAP) | bit(SPEED_E_WRAP) | bit(PWM_LIMIT));
    EXPECT_EQ(text, "speed.e_wrap|pwm_limit|position_wrap");
    text.clear();
    append_event_names(text, 0);
    EXPECT_EQ(text, "");
}

TEST(RegulationEvents, HeadroomKeepsTheLargestMagnitudes) {
    RunHeadroom headroom;
    PassEvents pass;
    pass.speedWeighted = -40000;
    pass.speedSum = -255;
    pass.raised = bit(SPEED_OUT_WRAP);
    headroom.add(pass);
    pass.speedWeighted = 100;
    pass.speedSum = 3;
    pass.raised = 0;
    headroom.add(pass);
    EXPECT_EQ(headroom.speedWeightedMax, 40000);
    EXPECT_DOUBLE_EQ(headroom.speed_sum_share(), 1.0);
    EXPECT_EQ(headroom.counts[SPEED_OUT_WRAP], 1u);
    EXPECT_EQ(headroom.positionWeightedMax, 0);  // the position loop never ran
}

}  // namespace

namespace {

// With the initial gains in speed mode the PWM jumps from 325 to -327 near
// 328 ms: the weighted sum of the speed loop has wrapped there, and only there
// for the first time.
TEST(RegulationEvents, InitialGainsSpeedRunWrapsWhereThePwmJumps) {
    Engine engine;
    const PidController& speed = engine.cascade.speedController;
    RegulationRun run;
    RegulationInsight insight;
    const RegulationGains gains{250, 60, 0, 30, 80};
    regulation_start(engine, run, true, gains);
    insight_start(insight, true, gains);
    std::int16_t previousY = 0;
    for (int pass = 1; pass <= 82; ++pass) {
        SCOPED_TRACE(pass);
        ASSERT_TRUE(insight_control(engine, insight, run, true));
        const bool jumped = previousY - speed.y > 255;
        EXPECT_EQ(insight.events.has(SPEED_OUT_WRAP), jumped);
        EXPECT_EQ(jumped, pass == 82);
        previousY = speed.y;
        regulation_advance_clock(engine, run, true);
    }
    EXPECT_EQ(run.runTime, 332);  // the jump was plotted at 328 ms
    EXPECT_EQ(speed.y, -327);
}

}  // namespace
