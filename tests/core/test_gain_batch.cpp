#include "core/gain_batch.h"

#include "core/metrics.h"
#include "core/nc_program.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// The gain sets every engine is held to: the corners of the 16-bit range,
// negative gains, and seeded random sets of every size.
std::vector<RegulationGains> probe_sets(std::size_t randomCount) {
    std::vector<RegulationGains> sets = {
        {250, 60, 0, 30, 80},          {32767, 32767, 32767, 32767, 32767}, {-32768, -32768, -32768, -32768, -32768},
        {-250, -60, -100, -30, -80},   {0, 0, 0, 0, 0},                     {32767, 0, 0, 1, 255},
        {0, 32767, 0, 500, -255},      {0, 0, 32767, 60, 1},                {3000, 1000, 1000, 500, 30000},
    };
    std::mt19937 random(18);
    std::uniform_int_distribution<int> any(-32768, 32767);
    std::uniform_int_distribution<int> usual(-400, 3000);
    for (std::size_t i = 0; i < randomCount; ++i) {
        auto pick = [&] { return static_cast<std::int16_t>(i % 3 == 0 ? any(random) : usual(random)); };
        sets.push_back({pick(), pick(), pick(), pick(), pick()});
    }
    return sets;
}

std::vector<std::string> rows(bool speedMode, std::int64_t passLimit, const std::vector<RegulationGains>& sets,
                              BatchEngine engine) {
    std::vector<RunMetrics> results(sets.size());
    measure_gain_batch(speedMode, passLimit, sets, results, engine);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < sets.size(); ++i) out.push_back(metrics_csv_row(sets[i], results[i]));
    return out;
}

TEST(GainBatch, EveryEngineGivesTheRowsOfSingleRuns) {
    nc_choose_demo();
    const struct {
        bool speedMode;
        std::int64_t passLimit;
    } cases[] = {{false, METRICS_NO_PASS_LIMIT}, {false, 1}, {false, 2}, {true, 1}, {true, 300}};
    const std::vector<RegulationGains> sets = probe_sets(40);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.speedMode ? "speed " : "position ") << c.passLimit);
        std::vector<std::string> expected;
        for (const RegulationGains& g : sets) {
            expected.push_back(metrics_csv_row(g, measure_regulation_run(c.speedMode, g, c.passLimit)));
        }
        for (const BatchEngine engine : {BatchEngine::Auto, BatchEngine::Lanes, BatchEngine::Scalar}) {
            SCOPED_TRACE(batch_engine_name(engine));
            EXPECT_EQ(rows(c.speedMode, c.passLimit, sets, engine), expected);
        }
    }
}

}  // namespace
