#include "core/engine/module.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Step {
    std::int16_t result;
    NcPoint point;
};

// Steps the loaded program from an origin point until the first non-zero result.
std::vector<Step> run_to_end(int limit = 100000) {
    std::vector<Step> steps;
    NcPoint point{0, 0, 0};
    for (int i = 0; i < limit; ++i) {
        const std::int16_t r = nc_step(point);
        steps.push_back({r, point});
        if (r != NC_STEPPED) break;
    }
    return steps;
}

// A hand-built program: a start block followed by `blocks`.
void load_program(const std::vector<NcBlock>& blocks) {
    nc_release_program();
    ncClock = 0;
    ncStep = 0;
    ncFeed = 60;
    ncProgramHead = new NcBlock{NC_START, {}, {}, nullptr, nullptr};
    ncCurrentBlock = ncProgramHead;
    for (const NcBlock& b : blocks) {
        auto* block = new NcBlock{b.kind, b.offset, b.positionOffset, ncCurrentBlock, nullptr};
        ncCurrentBlock->next = block;
        ncCurrentBlock = block;
    }
    ncCurrentBlock = ncProgramHead;
}

NcBlock linear(std::int16_t x, std::int16_t y, std::int16_t z = 0) { return {NC_LINEAR, {x, y, z}, {}, nullptr, nullptr}; }

class NcTest : public ::testing::Test {
protected:
    void TearDown() override { nc_release_program(); }
};

TEST_F(NcTest, NothingLoadedEndsAtOnce) {
    nc_release_program();
    ncClock = 0;
    NcPoint point{7, 8, 9};
    EXPECT_EQ(nc_step(point), NC_ENDED);
    EXPECT_EQ(point, (NcPoint{7, 8, 9}));
    EXPECT_EQ(nc_tick(), 4);
}

TEST_F(NcTest, AppendingWithoutAnAppendPointChangesNothing) {
    struct Case {
        const char* name;
        void (*prepare)();
    };
    const Case cases[] = {
        {"nothing loaded", [] { nc_release_program(); }},
        {"program run to its end",
         [] {
             load_program({linear(3, 0)});
             NcPoint point{};
             while (nc_step(point) == NC_STEPPED) {
             }
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        NcBlock* const head = ncProgramHead;
        EXPECT_FALSE(nc_append_linear(300, 0, 0));  // would also be split
        EXPECT_EQ(head, ncProgramHead);
        EXPECT_EQ(nullptr, ncCurrentBlock);
    }
}

TEST_F(NcTest, ClockCountsInFoursAndWraps) {
    nc_load_demo();
    EXPECT_EQ(nc_tick(), 4);
    EXPECT_EQ(nc_tick(), 8);
    EXPECT_EQ(nc_tick(), 12);
    for (int i = 3; i < 16383; ++i) nc_tick();
    EXPECT_EQ(ncClock, 65532);
    EXPECT_EQ(nc_tick(), 0);
    NcPoint point{0, 0, 0};
    nc_step(point);
    EXPECT_EQ(ncClock, 0);  // stepping never touches the clock
}

TEST_F(NcTest, DemoSegmentsHaveTheirLengthsDurationsAndSteps) {
    struct Segment {
        NcPoint end;
        std::uint16_t length, duration;
        int steps;
    };
    const Segment segments[] = {
        {{50, 110, 0}, 120, 225, 57}, {{100, 110, 0}, 50, 93, 24}, {{90, 85, 0}, 26, 48, 12},
        {{120, 85, 0}, 30, 56, 14},   {{120, 59, 0}, 26, 48, 12},  {{80, 59, 0}, 40, 75, 19},
        {{50, -1, 0}, 67, 125, 32},   {{0, -1, 0}, 50, 93, 24},
    };
    nc_load_demo();
    NcPoint point{0, 0, 0};
    ASSERT_EQ(nc_step(point), NC_STEPPED);  // start block
    for (const Segment& s : segments) {
        SCOPED_TRACE(s.length);
        EXPECT_EQ(ncSegmentLength, s.length);
        EXPECT_EQ(ncSegmentDuration, s.duration);
        const NcBlock* block = ncCurrentBlock;
        int steps = 0;
        while (ncCurrentBlock == block) {
            ASSERT_EQ(nc_step(point), NC_STEPPED);
            ++steps;
        }
        EXPECT_EQ(steps, s.steps);
        EXPECT_EQ(point, s.end);
    }
    EXPECT_EQ(nc_step(point), NC_ENDED);
}

TEST_F(NcTest, DemoProgramPointByPoint) {
    nc_load_demo();
    const std::vector<Step> steps = run_to_end();
    ASSERT_EQ(steps.size(), 196u);
    const struct {
        int call;
        NcPoint point;
    } expected[] = {
        {1, {0, 0, 0}},     {2, {0, 1, 0}},       {3, {1, 3, 0}},   {4, {2, 5, 0}},    {57, {49, 109, 0}},
        {58, {50, 110, 0}}, {59, {52, 110, 0}},   {82, {100, 110, 0}},
        {83, {100, 108, 0}},  // negative offsets truncate toward zero
        {195, {0, -1, 0}},  {196, {0, -1, 0}},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.call);
        EXPECT_EQ(steps[static_cast<std::size_t>(e.call - 1)].point, e.point);
    }
    for (std::size_t i = 0; i < 195; ++i) EXPECT_EQ(steps[i].result, NC_STEPPED);
    EXPECT_EQ(steps[195].result, NC_ENDED);
    NcPoint point = steps.back().point;
    EXPECT_EQ(nc_step(point), NC_ENDED);
    EXPECT_EQ(point, (NcPoint{0, -1, 0}));
}

TEST_F(NcTest, FirstStepBeginsTheFirstSegment) {
    nc_load_demo();
    NcPoint point{5, 5, 5};
    EXPECT_EQ(nc_step(point), NC_STEPPED);
    EXPECT_EQ(point, (NcPoint{5, 5, 5}));  // the start block writes nothing
    EXPECT_EQ(ncStep, 4);
    EXPECT_EQ(ncSegmentStart, (NcPoint{0, 0, 0}));
    EXPECT_EQ(ncSegmentLength, 120);
    EXPECT_EQ(ncSegmentDuration, 225);
}

TEST_F(NcTest, ReloadRepeatsTheSameRun) {
    nc_load_demo();
    const std::vector<Step> first = run_to_end();
    nc_load_demo();
    run_to_end(50);  // half a run
    nc_load_demo();
    const std::vector<Step> again = run_to_end();
    ASSERT_EQ(first.size(), again.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].result, again[i].result);
        EXPECT_EQ(first[i].point, again[i].point);
    }
}

TEST_F(NcTest, ShortMovesTakeTheirNumberOfSteps) {
    const struct {
        NcBlock block;
        int steps;
        NcPoint end;
    } cases[] = {
        {linear(0, 0), 1, {0, 0, 0}},   // length 0, duration 0: never divides
        {linear(1, 0), 1, {1, 0, 0}},   // duration 1
        {linear(0, 2), 1, {0, 2, 0}},   // duration 3
        {linear(3, 0), 2, {3, 0, 0}},   // duration 5
        {{NC_POSITION, {}, {40, -7, 3}, nullptr, nullptr}, 1, {40, -7, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        load_program({c.block});
        const std::vector<Step> steps = run_to_end();
        ASSERT_EQ(steps.size(), static_cast<std::size_t>(c.steps + 2));
        EXPECT_EQ(steps[steps.size() - 2].point, c.end);
        EXPECT_EQ(steps.back().result, NC_ENDED);
    }
}

TEST_F(NcTest, PositionBlockStartsTheNextSegmentWhereItLands) {
    load_program({{NC_POSITION, {}, {10, 20, 0}, nullptr, nullptr}, linear(8, 0)});
    const std::vector<Step> steps = run_to_end();
    EXPECT_EQ(steps[1].point, (NcPoint{10, 20, 0}));
    EXPECT_EQ(steps[2].point, (NcPoint{12, 20, 0}));  // 4 * 8 / 15 = 2
    EXPECT_EQ(steps[steps.size() - 2].point, (NcPoint{18, 20, 0}));
}

TEST_F(NcTest, InvalidKindStopsWithoutChangingAnything) {
    load_program({linear(4, 0), {3, {}, {}, nullptr, nullptr}, linear(4, 0)});
    std::vector<Step> steps = run_to_end();
    ASSERT_EQ(steps.back().result, NC_INVALID);
    EXPECT_EQ(steps.back().point, (NcPoint{4, 0, 0}));
    const std::uint16_t stepBefore = ncStep;
    NcPoint point{1, 2, 3};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(nc_step(point), NC_INVALID);
        EXPECT_EQ(point, (NcPoint{1, 2, 3}));
        EXPECT_EQ(ncStep, stepBefore);
    }
}

TEST_F(NcTest, FeedBlockMovesOnToTheNextLinearBlock) {
    load_program({linear(20, 0), {NC_FEED_RESET, {}, {}, nullptr, nullptr}, linear(0, 30)});
    ncFeed = 30;  // the first move runs at half speed: duration 20 * 225 / 60 = 75
    std::vector<Step> steps = run_to_end(1000);
    ASSERT_EQ(steps.back().result, NC_ENDED);
    EXPECT_EQ(ncFeed, 60);
    EXPECT_EQ(steps[steps.size() - 2].point, (NcPoint{20, 30, 0}));
    EXPECT_EQ(steps[19].point, (NcPoint{20, 0, 0}));
    EXPECT_EQ(steps[20].point, (NcPoint{20, 0, 0}));  // the feed block writes nothing
    EXPECT_EQ(steps[21].point, (NcPoint{20, 2, 0}));  // 4 * 30 / 56
    // start, 19 steps of the first move, the feed block, 14 of the second, end
    EXPECT_EQ(steps.size(), 1u + 19u + 1u + 14u + 1u);
}

TEST_F(NcTest, LongMovesAreSplitIntoBlocksThatAddUp) {
    const NcPoint moves[] = {{256, 0, 0}, {-300, 400, 0}, {32767, -32768, 32767}, {181, 181, 0}, {255, 0, 0}};
    for (const NcPoint& m : moves) {
        SCOPED_TRACE(m.X);
        load_program({});
        nc_append_linear(m.X, m.Y, m.Z);
        std::int32_t sx = 0, sy = 0, sz = 0;
        for (const NcBlock* b = ncProgramHead->next; b != nullptr; b = b->next) {
            ASSERT_EQ(b->kind, NC_LINEAR);
            const std::int64_t squared = std::int64_t{b->offset.X} * b->offset.X +
                                         std::int64_t{b->offset.Y} * b->offset.Y +
                                         std::int64_t{b->offset.Z} * b->offset.Z;
            EXPECT_LT(squared, 65536);
            EXPECT_EQ(b->prev->next, b);
            sx += b->offset.X;
            sy += b->offset.Y;
            sz += b->offset.Z;
        }
        EXPECT_EQ(sx, m.X);
        EXPECT_EQ(sy, m.Y);
        EXPECT_EQ(sz, m.Z);
        ncCurrentBlock = ncProgramHead;
        const std::vector<Step> steps = run_to_end(100000);
        EXPECT_EQ(steps.back().result, NC_ENDED);
        EXPECT_EQ(steps[steps.size() - 2].point, m);
    }
}

TEST_F(NcTest, ShortMoveStaysOneBlock) {
    load_program({});
    nc_append_linear(180, 180, 0);  // squared length 64800
    EXPECT_EQ(ncProgramHead->next, ncCurrentBlock);
    EXPECT_EQ(ncCurrentBlock->next, nullptr);
    EXPECT_EQ(ncCurrentBlock->offset, (NcPoint{180, 180, 0}));
}

TEST_F(NcTest, CoordinatesWrapInSixteenBits) {
    load_program({{NC_POSITION, {}, {32767, -32768, 0}, nullptr, nullptr}, {NC_POSITION, {}, {1, -1, 0}, nullptr, nullptr}});
    const std::vector<Step> steps = run_to_end();
    EXPECT_EQ(steps[2].point, (NcPoint{-32768, 32767, 0}));
}

}  // namespace
