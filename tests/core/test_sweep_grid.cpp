#include "core/batch/sweep_grid.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(SweepGrid, RangesAreReadOrRefusedWithTheReason) {
    const struct {
        const char* text;
        bool ok;
        GainRange range;
        const char* error;  // a part of the message
    } cases[] = {
        {"250", true, {250, 250, 1}, ""},
        {"-32768", true, {-32768, -32768, 1}, ""},
        {"0:100:25", true, {0, 100, 25}, ""},
        {"-10:10:3", true, {-10, 10, 3}, ""},
        {"5:5:7", true, {5, 5, 7}, ""},
        {"0:32767:100000", true, {0, 32767, 65536}, ""},
        {"", false, {}, "FROM:TO or FROM:TO:STEP"},
        {"abc", false, {}, "FROM:TO or FROM:TO:STEP"},
        {"1:2", true, {1, 2, 1}, ""},
        {"-5:5", true, {-5, 5, 1}, ""},
        {"1:", false, {}, "FROM:TO or FROM:TO:STEP"},
        {"1:2:3:4", false, {}, "FROM:TO or FROM:TO:STEP"},
        {"1::3", false, {}, "FROM:TO or FROM:TO:STEP"},
        {"+1", false, {}, "FROM:TO or FROM:TO:STEP"},
        {" 1", false, {}, "FROM:TO or FROM:TO:STEP"},
        {"1.5", false, {}, "FROM:TO or FROM:TO:STEP"},
        {"99999999999999999999", false, {}, "FROM:TO or FROM:TO:STEP"},
        {"0:10:0", false, {}, "STEP must be above 0"},
        {"0:10:-2", false, {}, "STEP must be above 0"},
        {"10:0:1", false, {}, "FROM 10 lies above TO 0"},
        {"32768", false, {}, "32768 does not fit 16 bits"},
        {"-32769:0:1", false, {}, "-32769 does not fit 16 bits"},
        {"0:65535:1", false, {}, "65535 does not fit 16 bits"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        GainRange range;
        std::string error;
        ASSERT_EQ(parse_gain_range(c.text, range, error), c.ok) << error;
        if (c.ok) {
            EXPECT_EQ(range.from, c.range.from);
            EXPECT_EQ(range.to, c.range.to);
            EXPECT_EQ(range.step, c.range.step);
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
}

TEST(SweepGrid, OrderRunsKpSlowestAndWFastest) {
    SweepGrid grid;
    grid.ranges = {GainRange{100, 200, 100}, {60, 60, 1}, {0, 0, 1}, {30, 30, 1}, {-1, 1, 1}};
    ASSERT_EQ(sweep_grid_size(grid), 6u);
    const std::int16_t expected[6][2] = {{100, -1}, {100, 0}, {100, 1}, {200, -1}, {200, 0}, {200, 1}};
    for (std::uint64_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        const RegulationGains g = sweep_gains_at(grid, i);
        EXPECT_EQ(g.kp, expected[i][0]);
        EXPECT_EQ(g.w, expected[i][1]);
        EXPECT_EQ(g.ki, 60);
        std::uint64_t index = 99;
        ASSERT_TRUE(sweep_index_of(grid, g, index));
        EXPECT_EQ(index, i);
    }
    std::uint64_t index = 0;
    EXPECT_FALSE(sweep_index_of(grid, {150, 60, 0, 30, 0}, index));  // between two steps
    EXPECT_FALSE(sweep_index_of(grid, {100, 60, 0, 30, 2}, index));  // past TO
}

TEST(SweepGrid, SizeBeyondSixtyFourBitsIsCountedExactly) {
    SweepGrid grid;
    for (GainRange& r : grid.ranges) r = {-32768, 32767, 1};
    EXPECT_EQ(sweep_grid_size(grid), UINT64_MAX);
    EXPECT_EQ(sweep_grid_size_text(grid), "1208925819614629174706176");  // 2^80
    grid.ranges[0] = {0, 999, 1};
    grid.ranges[1] = {0, 999, 1};
    grid.ranges[2] = {0, 999, 1};
    grid.ranges[3] = {0, 0, 1};
    grid.ranges[4] = {0, 1, 1};
    EXPECT_EQ(sweep_grid_size_text(grid), "2000000000");
}

TEST(SweepGrid, ShardsSplitTheIndicesByRemainder) {
    const struct {
        const char* text;
        bool ok;
        std::uint64_t gridSize;
        std::vector<std::uint64_t> indices;
    } cases[] = {
        {"0/1", true, 3, {0, 1, 2}},
        {"0/3", true, 7, {0, 3, 6}},
        {"2/3", true, 7, {2, 5}},
        {"4/5", true, 3, {}},
        {"3/3", false, 0, {}},
        {"-1/3", false, 0, {}},
        {"1/0", false, 0, {}},
        {"1", false, 0, {}},
        {"a/b", false, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SweepShard shard;
        std::string error;
        ASSERT_EQ(parse_sweep_shard(c.text, shard, error), c.ok);
        if (!c.ok) continue;
        std::vector<std::uint64_t> indices;
        for (std::uint64_t m = 0; m < sweep_shard_size(c.gridSize, shard); ++m) indices.push_back(sweep_shard_index(shard, m));
        EXPECT_EQ(indices, c.indices);
    }
}

}  // namespace
