#include "core/engine/module.h"
#include "core/measure/headless_run.h"
#include "core/measure/regulation_insight.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr RegulationGains kInitialGains{250, 60, 0, 30, 80};

struct Pass {
    std::int32_t time;
    RegulationPoints points;
};

// Passes of one run without the window; speed mode stops after `limit` passes.
std::vector<Pass> run(bool speedMode, const RegulationGains& gains, int limit) {
    RegulationRun state;
    regulation_start(state, speedMode, gains);
    std::vector<Pass> passes;
    for (int i = 0; i < limit && regulation_control(state, speedMode); ++i) {
        passes.push_back({state.runTime, regulation_chart_points(state, speedMode)});
        regulation_advance_clock(state, speedMode);
    }
    return passes;
}

TEST(Regulation, SpeedModeFirstPasses) {
    const std::vector<Pass> passes = run(true, kInitialGains, 5);
    const int expected[5][3] = {{4, 248, 0}, {8, 221, 24}, {12, 227, 33}, {16, 246, 36}, {20, 253, 40}};
    ASSERT_EQ(passes.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(passes[i].time, expected[i][0]);
        EXPECT_EQ(passes[i].points.count, 2);
        EXPECT_EQ(passes[i].points.y[0], expected[i][1]);
        EXPECT_EQ(passes[i].points.y[1], expected[i][2]);
    }
}

TEST(Regulation, PositionModeFollowsTheDemoProgramToItsEnd) {
    const std::vector<Pass> passes = run(false, kInitialGains, 1000);
    ASSERT_EQ(passes.size(), 195u);
    for (std::size_t i = 0; i < passes.size(); ++i) ASSERT_EQ(passes[i].time, static_cast<int>(4 * (i + 1)));
    const RegulationPoints& first = passes.front().points;
    EXPECT_EQ(first.count, 4);
    for (double v : first.y) EXPECT_EQ(v, 0.0);
    EXPECT_EQ(passes.back().points.y[3], 0.0);  // the contour's last X
    EXPECT_EQ(passes[57].points.y[3], 50.0);    // end of the first move
}

TEST(Regulation, StartResetsTheStateOfAnEarlierRun) {
    run(true, {250, 60, 100, 30, 200}, 50);
    pwmDirection = -1;
    RegulationRun state;
    regulation_start(state, true, {0, 0, 0, 0, 0});
    EXPECT_EQ(actualSpeed, 0);
    EXPECT_EQ(actualPosition, 0);
    EXPECT_EQ(pwmDuty, 0);
    EXPECT_EQ(speedController.eSum, 0);
    EXPECT_EQ(speedController.ePrev, 0);
    EXPECT_EQ(speedController.ta, 1);
    EXPECT_EQ(positionController.ta, 1);
    // Zero setpoint and gains hold the drive at rest, whatever direction was left.
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(regulation_control(state, true));
        EXPECT_EQ(actualSpeed, 0);
    }
}

TEST(Regulation, PositionModeWithoutProgramEndsInTheFirstPass) {
    nc_release_program();
    RegulationRun state;
    regulation_start(state, true, kInitialGains);  // speed mode loads nothing
    EXPECT_FALSE(regulation_control(state, false));
}

TEST(Regulation, StopOnlyClearsTheFlag) {
    regulationRunning = true;
    stop_regulation();
    EXPECT_FALSE(regulationRunning);
    stop_regulation();
    EXPECT_FALSE(regulationRunning);
}


// Records what regulation_pass asks of its host; the mode can change in the
// pump, as a click on the check box does in the window.
class RecordingHost final : public RegulationPassHost {
public:
    bool mode = true;
    std::optional<bool> modeAfterPump;
    int stopAfter = 0;
    std::string calls;
    std::vector<Pass> passes;

    bool speed_mode() override {
        calls += 'm';
        return mode;
    }
    void controlled(const RegulationRun&, bool speedMode) override { calls += speedMode ? 'C' : 'c'; }
    void pause_and_pump() override {
        calls += 'p';
        if (modeAfterPump) mode = *modeAfterPump;
        if (static_cast<int>(passes.size()) + 1 == stopAfter) stop_regulation();
    }
    void chart_points(const RegulationRun& run, const RegulationPoints& points) override {
        calls += 'x';
        passes.push_back({run.runTime, points});
    }
};

TEST(Regulation, OnePassFunctionGivesTheSamePassesAsItsParts) {
    struct Case {
        const char* name;
        bool speedMode;
        int limit;
    };
    const Case cases[] = {{"speed", true, 300}, {"position", false, 1000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<Pass> expected = run(c.speedMode, kInitialGains, c.limit);
        RecordingHost host;
        host.mode = c.speedMode;
        host.stopAfter = c.limit;
        RegulationRun state;
        regulationRunning = true;
        regulation_start(state, c.speedMode, kInitialGains);
        while (regulationRunning && regulation_pass(state, host)) {
        }
        ASSERT_EQ(expected.size(), host.passes.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(i);
            ASSERT_EQ(expected[i].time, host.passes[i].time);
            ASSERT_EQ(expected[i].points.count, host.passes[i].points.count);
            for (int k = 0; k < expected[i].points.count; ++k) ASSERT_EQ(expected[i].points.y[k], host.passes[i].points.y[k]);
        }
    }
}

TEST(Regulation, OnePassReadsTheModeAnewAfterThePump) {
    RecordingHost host;
    host.modeAfterPump = false;  // a click switches to position mode during the pause
    RegulationRun state;
    regulation_start(state, true, kInitialGains);
    ASSERT_TRUE(regulation_pass(state, host));
    EXPECT_EQ("mCpmxm", host.calls);
    ASSERT_EQ(1u, host.passes.size());
    EXPECT_EQ(4, host.passes[0].points.count);  // charted in the mode read after the pump
}

TEST(Regulation, OnePassEndsWithoutPumpingWhenTheProgramHasEnded) {
    nc_release_program();
    RecordingHost host;
    host.mode = false;
    RegulationRun state;
    regulation_start(state, true, kInitialGains);
    EXPECT_FALSE(regulation_pass(state, host));
    EXPECT_EQ("m", host.calls);
}

// Engines of their own: a run's bytes pass by pass (clock, commanded point,
// chart points, the cascade's state, the drive, and with insight its events
// and twin), on one engine alone and on two engines stepped side by side on
// two threads, sharing one loaded program.
struct EngineSetup {
    const char* name;
    RunSetup run;
    bool program;  // a loaded program rather than the demo
    bool insight;
};

template <class T>
void put(std::string& bytes, const T& value) {
    bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string run_bytes(const EngineSetup& setup, const std::shared_ptr<const NcProgramBlocks>& program) {
    Engine engine;
    engine.program = setup.program ? program : nullptr;
    RegulationInsight insight;
    insight_start(insight, setup.run.speedMode, setup.run.gains);
    std::string bytes;
    const auto control = [&](RegulationRun& run, bool speedMode) {
        return setup.insight ? insight_control(engine, insight, run, speedMode)
                             : regulation_control(engine, run, speedMode);
    };
    run_headless(
        engine, setup.run,
        [&](const RegulationRun& run, const RegulationPoints& points, std::int64_t) {
            put(bytes, run.runTime);
            put(bytes, run.commandedPoint);
            for (int i = 0; i < points.count; ++i) put(bytes, points.y[i]);
            put(bytes, engine.cascade);
            put(bytes, engine.plant.speed);
            put(bytes, engine.plant.integral);
            put(bytes, insight.events.raised);
            put(bytes, insight.twin.speed);
        },
        control);
    return bytes;
}

TEST(Engines, TwoOnThreadsGiveEachTheBytesOfOneAlone) {
    static_assert(sizeof(Cascade) == 46 && sizeof(NcPoint) == 6, "no padding in the bytes compared");
    auto blocks = std::make_shared<NcProgramBlocks>();
    for (int b = 0; b < 600; ++b) {
        blocks->push_back({b % 5 == 4 ? NC_POSITION : NC_LINEAR, {std::int16_t(b % 2 ? -140 : 150), std::int16_t(b % 7), 0}});
    }
    const std::shared_ptr<const NcProgramBlocks> program = blocks;
    const EngineSetup setups[] = {
        {"speed", {true, 20000, {250, 60, 10, 30, 80}}, false, false},
        {"position, the demo", {false, METRICS_NO_PASS_LIMIT, {250, 60, 0, 30, 0}}, false, true},
        {"position, a loaded program", {false, METRICS_NO_PASS_LIMIT, {8000, 2000, 0, 400, 0}}, true, false},
        {"position, a loaded program, insight", {false, METRICS_NO_PASS_LIMIT, {300, 20, 5, 60, 0}}, true, true},
    };
    std::vector<std::string> alone;
    for (const EngineSetup& setup : setups) alone.push_back(run_bytes(setup, program));
    for (std::size_t a = 0; a < std::size(setups); ++a) {
        for (std::size_t b = a; b < std::size(setups); ++b) {
            SCOPED_TRACE(testing::Message() << setups[a].name << " beside " << setups[b].name);
            std::string first, second;
            std::thread other([&] { second = run_bytes(setups[b], program); });
            first = run_bytes(setups[a], program);
            other.join();
            EXPECT_EQ(alone[a], first);
            EXPECT_EQ(alone[b], second);
        }
    }
}

}  // namespace
