#include "core/engine/cascade.h"
#include "core/firmware/pid_vectors.h"
#include "core/firmware/run_vectors.h"
#include "core/firmware/vector_csv.h"
#include "core/measure/headless_run.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::array<int, PID_RULE_COUNT> rule_counts(std::span<const PidVector> vectors) {
    std::array<int, PID_RULE_COUNT> counts{};
    for (const PidVector& v : vectors) {
        const unsigned rules = pid_rules(v.before, v.actual);
        for (int bit = 0; bit < PID_RULE_COUNT; ++bit) counts[bit] += (rules >> bit) & 1u;
    }
    return counts;
}

TEST(FirmwareVectors, EdgeCasesAndRandomVectorsExerciseEveryRule) {
    const std::vector<PidVector> vectors = pid_vectors(1000, 1);
    const std::size_t edges = pid_edge_cases().size();
    const auto inEdges = rule_counts(std::span(vectors).first(edges));
    const auto inRandom = rule_counts(std::span(vectors).subspan(edges));
    for (int bit = 0; bit < PID_RULE_COUNT; ++bit) {
        SCOPED_TRACE(pid_rule_name(bit));
        EXPECT_GE(inEdges[bit], 1);
        EXPECT_GE(inRandom[bit], 100);  // a tenth of the random vectors at least
    }
    for (const PidVector& v : vectors) ASSERT_NE(v.before.ta, 0);  // a step would divide by it
    for (const PidEdgeCase& edge : pid_edge_cases()) {  // a CSV cell and a C string as they stand
        EXPECT_EQ(std::strpbrk(edge.name, ",\"\\"), nullptr) << edge.name;
    }
}

// The generator is part of what a seed means: its bytes must not change.
// FNV-1a of the CSV; a deliberate change of the vectors renews these.
TEST(FirmwareVectors, ASeedGivesTheSameBytes) {
    const auto fnv1a = [](const std::string& text) {
        std::uint64_t hash = 0xcbf29ce484222325u;
        for (const unsigned char c : text) hash = (hash ^ c) * 0x100000001b3u;
        return hash;
    };
    const struct {
        std::size_t count;
        std::uint64_t seed;
        std::uint64_t hash;
    } cases[] = {{1000, 1, 0x26bd70e167684e37u}, {1000, 2, 0xbab87a40f1387623u}, {0, 1, 0xe89e65c58d87081fu}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seed);
        const std::string csv = pid_vectors_csv(pid_vectors(c.count, c.seed));
        EXPECT_EQ(fnv1a(csv), c.hash);
        EXPECT_EQ(csv, pid_vectors_csv(pid_vectors(c.count, c.seed)));
    }
}

// What the chart of a pass shows, as the `regulation` trace writes it.
struct ChartRow {
    std::int32_t time;
    int count;
    std::array<double, 4> y;
    friend bool operator==(const ChartRow&, const ChartRow&) = default;
};

TEST(FirmwareVectors, RunVectorsReplayedThroughTheStepsGiveTheRegulationTrace) {
    const struct {
        const char* name;
        RunSetup setup;
    } cases[] = {
        {"speed mode, the window's gains", {true, 60, {250, 60, 0, 30, 80}}},
        {"speed mode at the PWM limit in reverse", {true, 40, {2000, 300, 500, 30, -200}}},
        {"position mode over the demo", {false, METRICS_NO_PASS_LIMIT, {250, 60, 0, 30, 80}}},
        {"position mode at the limits, with wraps", {false, 120, {9000, 900, 4000, 20000, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ChartRow> trace;
        Engine engine;
        run_headless(engine, c.setup, [&](const RegulationRun& run, const RegulationPoints& points, std::int64_t) {
            trace.push_back({run.runTime, points.count, {points.y[0], points.y[1], points.y[2], points.y[3]}});
        });
        const RunVectors vectors = record_run_vectors(engine, c.setup);
        ASSERT_EQ(vectors.passes.size(), trace.size());

        // Replay: the state the run starts from, then per pass the measured
        // values into core's own loops.
        Cascade s = vectors.start;
        std::vector<ChartRow> replayed;
        for (std::size_t i = 0; i < vectors.passes.size(); ++i) {
            const CascadePass& pass = vectors.passes[i];
            s.actualSpeed = pass.speed;
            s.actualPosition = pass.position;
            if (!c.setup.speedMode) regulate_position(s, pass.commandX);
            regulate_speed(s);
            const CascadeState want = cascade_state_after(pass);
            ASSERT_EQ(std::memcmp(&s.speedController, &want.speedController, sizeof(PidController)), 0) << i;
            ASSERT_EQ(std::memcmp(&s.positionController, &want.positionController, sizeof(PidController)), 0) << i;
            ASSERT_EQ(s.pwmDuty, want.pwmDuty) << i;
            ASSERT_EQ(s.pwmDirection, want.pwmDirection) << i;
            const auto time = static_cast<std::int32_t>(4 * (i + 1));
            replayed.push_back(c.setup.speedMode
                                   ? ChartRow{time, 2, {double(s.speedController.y), double(s.actualSpeed), 0, 0}}
                                   : ChartRow{time, 4,
                                              {double(s.positionController.y), double(s.actualSpeed),
                                               double(s.actualPosition), double(pass.commandX)}});
        }
        EXPECT_EQ(replayed, trace);
    }
}

TEST(FirmwareVectors, RunCsvHasAStartRowAndLeavesTheOtherModesCellsEmpty) {
    Engine engine;  // a fresh one: a run keeps the direction an earlier one left
    const RunVectors speed = record_run_vectors(engine, {true, 2, {250, 60, 0, 30, 80}});
    EXPECT_EQ(run_vectors_csv(speed),
              "pass,speed,position,command_x,position_w,position_x,position_y,position_ta,position_e,"
              "position_eSum,position_ePrev,position_kp,position_ki,position_kd,speed_w,speed_x,speed_y,"
              "speed_ta,speed_e,speed_eSum,speed_ePrev,speed_kp,speed_ki,speed_kd,pwm_duty,pwm_direction\n"
              "0,0,,,0,0,0,1,0,0,0,30,0,0,80,0,0,1,0,0,0,250,60,0,0,0\n"
              "1,0,,,0,0,0,1,0,0,0,30,0,0,80,0,248,1,80,80,80,250,60,0,248,1\n"
              "2,24,,,0,0,0,1,0,0,0,30,0,0,80,24,221,1,56,136,56,250,60,0,221,1\n");
}

}  // namespace
