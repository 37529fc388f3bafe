#include "core/engine/circle.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace {

struct Pass {
    std::int32_t x, y, d;
};

std::vector<Pass> run_passes(std::int32_t cx, std::int32_t cy, std::int32_t r, std::vector<PlotPoint>* drawn = nullptr) {
    PlotPoint first{};
    CircleState s = circle_begin(cx, cy, r, first);
    if (drawn) drawn->push_back(first);
    std::vector<Pass> passes;
    PlotPoint points[8];
    while (circle_next_pass(s, points)) {
        passes.push_back({s.x, s.y, s.d});
        if (drawn) drawn->insert(drawn->end(), std::begin(points), std::end(points));
        if (passes.size() > 100000) break;  // a runaway loop fails below instead of hanging
    }
    return passes;
}

}  // namespace

TEST(circle, radius_80_first_pass_and_start) {
    PlotPoint first{};
    CircleState s = circle_begin(100, 100, 80, first);
    EXPECT_EQ((PlotPoint{100, 180}), first);
    EXPECT_EQ(-78, s.d);
    EXPECT_EQ(0, s.x);
    EXPECT_EQ(80, s.y);

    PlotPoint points[8];
    ASSERT_TRUE(circle_next_pass(s, points));
    EXPECT_EQ(1, s.x);
    EXPECT_EQ(80, s.y);
    EXPECT_EQ(-75, s.d);
    const PlotPoint expected[8] = {{101, 180}, {180, 101}, {180, 99}, {101, 20},
                                   {99, 20},   {20, 99},   {20, 101}, {99, 180}};
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i], points[i]);
    }
}

TEST(circle, radius_80_whole_run) {
    std::vector<PlotPoint> drawn;
    const auto passes = run_passes(100, 100, 80, &drawn);
    ASSERT_EQ(57u, passes.size());
    EXPECT_EQ(457u, drawn.size());
    const std::int32_t firstD[7] = {-75, -70, -63, -54, -43, -30, -15};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(firstD[i], passes[static_cast<std::size_t>(i)].d);
    }
    EXPECT_EQ(57, passes.back().x);
    EXPECT_EQ(56, passes.back().y);
    const PlotPoint last[8] = {{157, 156}, {156, 157}, {156, 43}, {157, 44},
                               {43, 44},   {44, 43},   {44, 157}, {43, 156}};
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(last[i], drawn[drawn.size() - 8 + static_cast<std::size_t>(i)]);
    }
}

TEST(circle, small_radii_pass_by_pass) {
    struct Row {
        std::int32_t r;
        std::vector<Pass> passes;
    };
    const Row rows[] = {
        {1, {{1, 0, 3}}},
        {10, {{1, 10, -5}, {2, 10, 0}, {3, 9, -11}, {4, 9, -2}, {5, 9, 9}, {6, 8, 6}, {7, 7, 7}}},
        {0, {}},
        {-5, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.r);
        PlotPoint first{};
        circle_begin(7, -3, row.r, first);
        EXPECT_EQ((PlotPoint{7, -3 + row.r}), first);
        const auto passes = run_passes(7, -3, row.r);
        ASSERT_EQ(row.passes.size(), passes.size());
        for (std::size_t i = 0; i < passes.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(row.passes[i].x, passes[i].x);
            EXPECT_EQ(row.passes[i].y, passes[i].y);
            EXPECT_EQ(row.passes[i].d, passes[i].d);
        }
    }
}

TEST(circle, radius_1_points_and_d_start) {
    PlotPoint first{};
    CircleState s = circle_begin(5, 5, 1, first);
    EXPECT_EQ(0, s.d);
    PlotPoint points[8];
    ASSERT_TRUE(circle_next_pass(s, points));
    const PlotPoint expected[8] = {{6, 5}, {5, 6}, {5, 4}, {6, 5}, {4, 5}, {5, 4}, {5, 6}, {4, 5}};
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i], points[i]);
    }
    EXPECT_FALSE(circle_next_pass(s, points));
}

TEST(circle, points_lie_near_the_circle_for_many_radii) {
    // Every drawn point is within half a unit of the true circle, and the
    // ring is symmetric under the eight reflections.
    for (std::int32_t r = 1; r <= 200; r += 7) {
        SCOPED_TRACE(r);
        std::vector<PlotPoint> drawn;
        run_passes(0, 0, r, &drawn);
        std::set<std::pair<int, int>> ring;
        for (const PlotPoint& p : drawn) {
            const double dist2 = double(p.x) * p.x + double(p.y) * p.y;
            EXPECT_LT(std::abs(dist2 - double(r) * r), double(r) + 1.0) << p.x << "," << p.y;
            ring.insert({p.x, p.y});
        }
        for (const PlotPoint& p : drawn) {
            if (p.x == 0 || p.y == 0) continue;  // the three other axis points are not drawn
            EXPECT_TRUE(ring.count({p.y, p.x}) && ring.count({-p.x, p.y}) && ring.count({p.x, -p.y}));
        }
    }
}

TEST(circle, huge_radius_does_not_overflow) {
    // Radii near the 32-bit edge wrap silently instead of overflowing.
    PlotPoint first{};
    CircleState s = circle_begin(INT32_MAX, 0, INT32_MAX, first);
    EXPECT_EQ(INT32_MAX, first.x);
    PlotPoint points[8];
    EXPECT_TRUE(circle_next_pass(s, points));
}
