// The lanes against the scalar pass, on every instruction set this CPU has.
#include "core/batch/gain_batch.h"

#include "core/batch/gain_lanes.h"
#include "core/formats/metrics_format.h"
#include "core/program/nc_program.h"
#include "core/engine/pid.h"
#include "core/engine/plant.h"
#include "core/measure/run_wraps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// The gain sets every engine is held to: the corners of the 16-bit range,
// negative gains, a speed loop that hunts, and seeded random sets, 70 in all
// (a full group of 64 or 32 and a part of one).
std::vector<RegulationGains> probe_sets() {
    std::vector<RegulationGains> sets = {
        {250, 60, 0, 30, 80},        {32767, 32767, 32767, 32767, 32767}, {-32768, -32768, -32768, -32768, -32768},
        {-250, -60, -100, -30, -80}, {0, 0, 0, 0, 0},                     {32767, 0, 0, 1, 255},
        {0, 32767, 0, 500, -255},    {0, 0, 32767, 60, 1},                {3000, 1000, 1000, 500, 30000},
        {2000, 60, 0, 0, 10},  // hunts with a period of 144 passes
    };
    std::mt19937 random(18);
    std::uniform_int_distribution<int> any(-32768, 32767);
    std::uniform_int_distribution<int> usual(-400, 3000);
    for (int i = 0; i < 60; ++i) {
        auto pick = [&] { return static_cast<std::int16_t>(i % 3 == 0 ? any(random) : usual(random)); };
        sets.push_back({pick(), pick(), pick(), pick(), pick()});
    }
    return sets;
}

std::vector<std::string> rows(const std::vector<RegulationGains>& sets, const std::vector<RunMetrics>& metrics) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < sets.size(); ++i) out.push_back(metrics_csv_row(sets[i], metrics[i]));
    return out;
}

// A program of `blocks` linear moves of 3 along X (two passes each), or the demo for 0.
void choose_program(int blocks) {
    if (blocks == 0) return nc_choose_demo();
    NcProgram program{"moves.nc", "moves.nc", {}, {}};
    for (int b = 0; b < blocks; ++b) program.blocks.push_back({NC_LINEAR, {3, 0, 0}});
    nc_choose_program(program);
}

// Leaves the demo chosen and the widest lanes in use, whatever a test changed.
struct RestoreChoices {
    ~RestoreChoices() {
        nc_choose_demo();
        batch_use_lanes(batch_lane_sets().front());
    }
};

TEST(GainBatch, EveryEngineGivesTheRowsOfSingleRuns) {
    RestoreChoices restore;
    const struct {
        bool speedMode;
        int programBlocks;  // 0: the demo
        std::int64_t passLimit;
    } cases[] = {
        {false, 0, METRICS_NO_PASS_LIMIT},
        {false, 0, 1},
        {false, 0, 2},
        {false, 0, 33},  // one past a group of 32 lanes
        {false, 0, 65},  // and of 64
        {false, 0, 0},
        {false, 1, METRICS_NO_PASS_LIMIT},
        {false, 10000, METRICS_NO_PASS_LIMIT},  // longer than a block of the lanes' sums
        {true, 0, 1},
        {true, 0, 2},
        {true, 0, 65},
        {true, 0, 300},
        {true, 0, 6000},  // a stretch of 600 holds the hunting's period
        {true, 0, 16384 + 33},
        {true, 0, -1},
    };
    const std::vector<RegulationGains> sets = probe_sets();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.speedMode ? "speed" : "position") << ", program of "
                                        << c.programBlocks << " blocks, limit " << c.passLimit);
        choose_program(c.programBlocks);
        RunMeter meter;
        std::vector<RunMetrics> expected(sets.size());  // measure_regulation_run, set by set
        measure_gain_batch(plan_gain_batch(c.speedMode, c.passLimit, BatchEngine::Scalar, nc_chosen_blocks()), meter,
                           sets, expected);
        for (const std::string_view lanes : batch_lane_sets()) {
            SCOPED_TRACE(lanes);
            ASSERT_TRUE(batch_use_lanes(lanes));
            std::vector<RunMetrics> results(sets.size());
            measure_gain_batch(plan_gain_batch(c.speedMode, c.passLimit, BatchEngine::Lanes, nc_chosen_blocks()),
                               meter, sets, results);
            EXPECT_EQ(rows(sets, results), rows(sets, expected));
        }
    }
}

// The lanes' wrap flags against the scalar check, with the rows unchanged by
// asking for them: seeded random sets from mild gains to extreme ones;
// weighted sums of the first pass right at the 16-bit edges (w = 1: P + I + D
// is kp + ki + kd, and w = -1 its negative); and runs where one wrap alone
// comes up: the speed error (kp -1, w 32767, 2 passes), the speed sum (gains
// 0, w 32767; and either side of the largest w whose sum cannot wrap, 32425),
// the position output (kv 32767), and on a program whose
// command jumps from -30000 to 32600, the position error (kp 100, kv 1) and
// the position sum (gains 0).
TEST(GainBatch, LaneWrapFlagsAreTheScalarCheck) {
    RestoreChoices restore;
    std::vector<RegulationGains> sets = {
        {32767, 0, 0, 0, 1},  {32766, 1, 0, 0, 1},  {32767, 1, 0, 0, 1}, {-32768, 0, 0, 0, 1}, {-32768, -1, 0, 0, 1},
        {32767, 0, 1, 0, -1}, {16384, 0, 16384, 5, 1}, {16383, 0, 16384, 5, -1}, {0, 0, 0, 0, 0}, {250, 60, 0, 30, 80},
        {-1, 0, 0, 0, 32767}, {0, 0, 0, 0, 32767}, {0, 0, 0, 32767, 0}, {100, 0, 0, 1, 0},
        {1, 0, 0, 0, 32425}, {1, 0, 0, 0, 32426}, {-1, 0, 0, 0, -32425}, {-1, 0, 0, 0, -32426},
    };
    std::mt19937 random(26);
    for (const int most : {400, 3000, 12000, 32767}) {
        std::uniform_int_distribution<int> gain(most == 32767 ? -32768 : -most / 8, most);
        std::uniform_int_distribution<int> w(-255, 255);
        for (int i = 0; i < 40; ++i) {
            auto pick = [&] { return static_cast<std::int16_t>(gain(random)); };
            sets.push_back({pick(), pick(), pick(), pick(), static_cast<std::int16_t>(i % 8 == 0 ? pick() : w(random))});
        }
    }
    const struct {
        bool speedMode;
        std::int64_t passLimit;
        bool far = false;
    } cases[] = {{false, METRICS_NO_PASS_LIMIT}, {false, 3}, {false, METRICS_NO_PASS_LIMIT, true},
                 {true, 300}, {true, 1}, {true, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.speedMode ? "speed" : "position") << ", limit " << c.passLimit
                                        << (c.far ? ", far" : ""));
        choose_program(0);
        if (c.far) {
            std::string text = "G0 X-30000\n";
            for (int b = 0; b < 300; ++b) text += "G1 X0\n";  // the position follows down
            text += "G0 X30000\nG0 X32600\nG1 X1\nX1\nX1\nM30\n";
            const NcProgramParse far = nc_parse_program(text, "far.nc");
            ASSERT_TRUE(far.ok) << far.error.message;
            nc_choose_program(far.program);
        }
        Engine engine{.program = nc_chosen_blocks()};
        std::vector<std::uint8_t> expected;
        for (const RegulationGains& g : sets) {
            expected.push_back(regulation_run_wraps(engine, c.speedMode, g, c.passLimit) ? 1 : 0);
        }
        EXPECT_NE(std::count(expected.begin(), expected.end(), 1), 0);
        if (!c.far) {
            EXPECT_NE(std::count(expected.begin(), expected.end(), 0), 0);
        }
        std::vector<RunMetrics> plain(sets.size());
        measure_gain_batch(plan_gain_batch(c.speedMode, c.passLimit, BatchEngine::Scalar, nc_chosen_blocks()), sets, plain);
        for (const std::string_view lanes : batch_lane_sets()) {
            SCOPED_TRACE(lanes);
            ASSERT_TRUE(batch_use_lanes(lanes));
            std::vector<RunMetrics> results(sets.size());
            std::vector<std::uint8_t> wraps(sets.size(), 2);
            measure_gain_batch(plan_gain_batch(c.speedMode, c.passLimit, BatchEngine::Lanes, nc_chosen_blocks()), sets,
                               results, wraps);
            EXPECT_EQ(wraps, expected);
            EXPECT_EQ(rows(sets, results), rows(sets, plain));
        }
    }
}

TEST(GainBatch, APlanKeepsItsProgramWhenAnotherIsChosen) {
    RestoreChoices restore;
    const std::vector<RegulationGains> sets = {{250, 60, 0, 30, 80}};
    for (const int blocks : {0, 5}) {
        SCOPED_TRACE(blocks);
        choose_program(blocks);
        RunMeter meter{{.program = nc_chosen_blocks()}, {}};
        const RunMetrics alone = measure_regulation_run(meter, false, sets[0], METRICS_NO_PASS_LIMIT);
        for (const BatchEngine engine : {BatchEngine::Lanes, BatchEngine::Scalar}) {
            const GainBatchPlan plan = plan_gain_batch(false, METRICS_NO_PASS_LIMIT, engine, nc_chosen_blocks());
            choose_program(7);
            std::vector<RunMetrics> results(1);
            measure_gain_batch(plan, meter, sets, results);
            EXPECT_EQ(metrics_csv_row(sets[0], results[0]), metrics_csv_row(sets[0], alone));
            choose_program(blocks);
        }
    }
}

TEST(GainBatch, SetsMeasuredOnThreadsComeInOrderAsOnOne) {
    std::vector<RegulationGains> sets;
    for (int copy = 0; copy < 20; ++copy) {  // three chunks, the last one short
        for (RegulationGains g : probe_sets()) {
            g.kv = static_cast<std::int16_t>(g.kv + copy);
            sets.push_back(g);
        }
    }
    for (const BatchEngine engine : {BatchEngine::Lanes, BatchEngine::Scalar}) {
        const GainBatchPlan plan = plan_gain_batch(false, METRICS_NO_PASS_LIMIT, engine, nullptr);
        RunMeter meter;
        std::vector<RunMetrics> alone(sets.size());
        std::vector<std::uint8_t> wrapsAlone(sets.size());
        measure_gain_batch(plan, meter, sets, alone, wrapsAlone);
        std::vector<RunMetrics> threaded;
        std::vector<std::uint8_t> wraps;
        StopFlag stop{0};
        const RunnerEnd end = measure_gain_sets(plan, sets, 3, true, [&](std::size_t first, std::span<const RunMetrics> chunk,
                                                                          std::span<const std::uint8_t> flags) {
            EXPECT_EQ(first, threaded.size());
            threaded.insert(threaded.end(), chunk.begin(), chunk.end());
            wraps.insert(wraps.end(), flags.begin(), flags.end());
        }, stop);
        EXPECT_EQ(RunnerEnd::Finished, end);
        EXPECT_EQ(wrapsAlone, wraps);
        EXPECT_EQ(rows(sets, alone), rows(sets, threaded));
    }
}

TEST(GainBatch, LaneControllersStepAsPidUpdate) {
    std::mt19937 random(16);
    std::uniform_int_distribution<int> any(-32768, 32767);
    const std::int16_t tas[] = {1, 1, -1, 2, 3, 7, 100, -100, 32767, -32767, -32768};
    for (const LaneKernel* kernel : usable_lane_kernels()) {
        SCOPED_TRACE(kernel->name);
        const auto lanes = static_cast<std::size_t>(kernel->lanes);
        // Every 16-bit weighted sum through the division by 100 (kp = 1, e = w),
        // then random states with every kind of ta.
        std::vector<PidController> controllers;
        for (int value = -32768; value <= 32767; ++value) {
            controllers.push_back({static_cast<std::int16_t>(value), 0, 0, 1, 0, 0, 0, 1, 0, 0});
        }
        for (int i = 0; i < 4096; ++i) {
            auto pick = [&] { return static_cast<std::int16_t>(any(random)); };
            const std::int16_t ta = i % 2 == 0 ? tas[static_cast<std::size_t>(i / 2) % std::size(tas)] : pick();
            controllers.push_back({pick(), pick(), pick(), ta == 0 ? std::int16_t{1} : ta, pick(), pick(), pick(),
                                   pick(), pick(), pick()});
        }
        std::vector<std::int16_t> actual(controllers.size());
        for (std::int16_t& a : actual) a = static_cast<std::int16_t>(any(random));
        for (std::size_t i = 0; i < 32768; ++i) actual[i] = 0;  // keep e = w for the division sweep
        for (std::size_t first = 0; first + lanes <= controllers.size(); first += lanes) {
            std::vector<PidController> expected(controllers.begin() + static_cast<std::ptrdiff_t>(first),
                                                controllers.begin() + static_cast<std::ptrdiff_t>(first + lanes));
            std::vector<PidController> stepped = expected;
            for (std::size_t i = 0; i < lanes; ++i) pid_update(expected[i], actual[first + i]);
            kernel->pid_update(stepped.data(), actual.data() + first);
            for (std::size_t i = 0; i < lanes; ++i) {
                const PidController& e = expected[i];
                const PidController& s = stepped[i];
                ASSERT_TRUE(e.x == s.x && e.e == s.e && e.eSum == s.eSum && e.ePrev == s.ePrev && e.y == s.y)
                    << "controller " << first + i << ": w " << e.w << " ta " << e.ta << " kp " << e.kp << " ki "
                    << e.ki << " kd " << e.kd << ": y " << s.y << " instead of " << e.y;
            }
        }
    }
}

TEST(GainBatch, LaneDrivesStepAsPlantStepToTheLastBit) {
    // Random states far off the usual ones: a multiply and add fused into one
    // rounding shows in the last bit of most of these.
    std::mt19937 random(18);
    std::uniform_real_distribution<double> state(-300.0, 300.0);
    std::uniform_int_distribution<int> input(-255, 255);
    for (const LaneKernel* kernel : usable_lane_kernels()) {
        SCOPED_TRACE(kernel->name);
        const auto lanes = static_cast<std::size_t>(kernel->lanes);
        for (int group = 0; group < 64; ++group) {
            std::vector<Plant> expected(lanes);
            std::vector<std::int16_t> u(lanes);
            std::vector<std::int16_t> expectedSpeed(lanes);
            std::vector<std::int16_t> speed(lanes);
            for (std::size_t i = 0; i < lanes; ++i) {
                expected[i] = {state(random), state(random), 0.1, 5.6, group % 2 == 0 ? 1.0 : state(random)};
                u[i] = static_cast<std::int16_t>(input(random));
            }
            std::vector<Plant> stepped = expected;
            for (std::size_t i = 0; i < lanes; ++i) expectedSpeed[i] = plant_step(expected[i], u[i]);
            kernel->plant_step(stepped.data(), u.data(), speed.data());
            for (std::size_t i = 0; i < lanes; ++i) {
                ASSERT_EQ(stepped[i].speed, expected[i].speed) << "lane " << i;
                ASSERT_EQ(stepped[i].integral, expected[i].integral) << "lane " << i;
                ASSERT_EQ(speed[i], expectedSpeed[i]) << "lane " << i;
            }
        }
    }
}

}  // namespace
