#include "core/engine/arc.h"
#include "core/engine/circle.h"
#include "core/engine/int16.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

namespace {

struct Trace {
    std::vector<PlotPoint> points;  // start point first
    std::vector<int> rows;          // row fired per pass, 0 if none
    std::vector<std::int16_t> d;    // d after each pass
    ArcState last{};
};

Trace run_arc(std::int16_t cx, std::int16_t cy, std::int16_t sx, std::int16_t sy, std::int16_t ex,
              std::int16_t ey) {
    Trace t;
    ArcState s = arc_begin(cx, cy, sx, sy, ex, ey);
    t.points.push_back(arc_point(s));
    PlotPoint p{};
    while (arc_next(s, p)) {
        t.points.push_back(p);
        t.rows.push_back(s.row);
        t.d.push_back(s.d);
        if (t.rows.size() > 2000000) break;  // never reached: arc_next must stop by itself
    }
    t.last = s;
    return t;
}

// Pass numbers (from 1) at which some row fired, as (row, pass) pairs.
std::vector<std::pair<int, int>> fired(const Trace& t) {
    std::vector<std::pair<int, int>> out;
    for (std::size_t i = 0; i < t.rows.size(); ++i)
        if (t.rows[i] != 0) out.push_back({t.rows[i], static_cast<int>(i + 1)});
    return out;
}

// The quarter from the top to the diagonal, as runs of equal y.
std::vector<PlotPoint> circle_test_offsets() {
    struct Run {
        int y, from, to;
    };
    const Run runs[] = {{80, 0, 8},   {79, 9, 15},  {78, 16, 19}, {77, 20, 23}, {76, 24, 26}, {75, 27, 29},
                        {74, 30, 31}, {73, 32, 33}, {72, 34, 35}, {71, 36, 37}, {70, 38, 39}, {69, 40, 41},
                        {68, 42, 42}, {67, 43, 44}, {66, 45, 45}, {65, 46, 47}, {64, 48, 48}, {63, 49, 49},
                        {62, 50, 51}, {61, 52, 52}, {60, 53, 53}, {59, 54, 54}, {58, 55, 55}, {57, 56, 56},
                        {56, 57, 57}};
    std::vector<PlotPoint> half;
    for (const Run& r : runs)
        for (int x = r.from; x <= r.to; ++x) half.push_back({x, r.y});
    std::vector<PlotPoint> all = half;
    // (56, 57) and (57, 56) mirror onto each other: the mirrored run starts
    // after them.
    for (auto it = half.rbegin() + 2; it != half.rend(); ++it) all.push_back({it->y, it->x});
    return all;
}

}  // namespace

TEST(arc, circle_test_first_pass) {
    ArcState s = arc_begin(100, 100, 100, 180, 180, 100);
    EXPECT_EQ(6400, s.r2);
    EXPECT_EQ(0, s.x);
    EXPECT_EQ(80, s.y);
    EXPECT_EQ(80, s.xe);
    EXPECT_EQ(0, s.ye);
    EXPECT_EQ((PlotPoint{100, 180}), arc_point(s));
    PlotPoint p{};
    ASSERT_TRUE(arc_next(s, p));
    EXPECT_EQ(1, s.row);
    EXPECT_EQ(-1, s.dy);
    EXPECT_EQ(-77, s.d);
    EXPECT_EQ((PlotPoint{101, 180}), p);
}

TEST(arc, circle_test_trace_offsets) {
    const Trace t = run_arc(100, 100, 100, 180, 180, 100);
    ASSERT_EQ(113u, t.rows.size());
    const auto expected = circle_test_offsets();
    ASSERT_EQ(114u, expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].x + 100, t.points[i].x);
        EXPECT_EQ(expected[i].y + 100, t.points[i].y);
        if (i > 0) {
            EXPECT_LE(std::abs(t.points[i].x - t.points[i - 1].x), 1);
            EXPECT_LE(std::abs(t.points[i].y - t.points[i - 1].y), 1);
            EXPECT_FALSE(t.points[i] == t.points[i - 1]);
        }
    }
    EXPECT_TRUE(arc_at_end(t.last));
}

TEST(arc, circle_test_decision_at_passes_9_and_58) {
    const Trace t = run_arc(100, 100, 100, 180, 180, 100);
    ASSERT_GE(t.rows.size(), 58u);
    // Pass 9 starts from d = 0, so y steps too.
    EXPECT_EQ(0, t.d[7]);
    EXPECT_EQ((PlotPoint{109, 179}), t.points[9]);
    EXPECT_EQ(-139, t.d[8]);
    // Pass 58: switch 2 turns the main axis to y.
    EXPECT_EQ(43, t.d[56]);
    EXPECT_EQ(2, t.rows[57]);
    EXPECT_EQ((PlotPoint{158, 155}), t.points[58]);
    EXPECT_EQ(-61, t.d[57]);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{1, 1}, {2, 58}}), fired(t));
}

TEST(arc, circle_test_trace_is_the_circle_quarter) {
    PlotPoint first{};
    CircleState c = circle_begin(100, 100, 80, first);
    std::set<std::pair<int, int>> quarter;
    auto keep = [&](PlotPoint p) {
        if (p.x >= 100 && p.y >= 100) quarter.insert({p.x, p.y});
    };
    keep(first);
    PlotPoint points[8];
    while (circle_next_pass(c, points))
        for (const PlotPoint& p : points) keep(p);
    ASSERT_EQ(113u, quarter.size());
    quarter.insert({180, 100});

    const Trace t = run_arc(100, 100, 100, 180, 180, 100);
    std::set<std::pair<int, int>> traced;
    for (const PlotPoint& p : t.points) traced.insert({p.x, p.y});
    EXPECT_EQ(quarter, traced);
}

TEST(arc, longer_traces_and_their_switches) {
    struct Row {
        const char* name;
        std::int16_t ex, ey;
        std::size_t passes;
        std::vector<std::pair<int, int>> rows;
    };
    const Row rows[] = {
        {"quarter", 80, 0, 113, {{1, 1}, {2, 58}}},
        {"half", 0, -80, 226, {{1, 1}, {2, 58}, {3, 114}, {4, 171}}},
        {"three quarters", -80, 0, 339, {{1, 1}, {2, 58}, {3, 114}, {4, 171}, {5, 227}, {6, 284}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Trace t = run_arc(0, 0, 0, 80, row.ex, row.ey);
        EXPECT_EQ(row.passes, t.rows.size());
        EXPECT_EQ(row.rows, fired(t));
        EXPECT_TRUE(arc_at_end(t.last));
    }
    const Trace half = run_arc(0, 0, 0, 80, 0, -80);
    EXPECT_EQ((PlotPoint{80, 0}), half.points[113]);
    EXPECT_EQ((PlotPoint{80, -1}), half.points[114]);
    const Trace three = run_arc(0, 0, 0, 80, -80, 0);
    EXPECT_EQ((PlotPoint{0, -80}), three.points[226]);
    EXPECT_EQ((PlotPoint{-1, -80}), three.points[227]);
}

TEST(arc, start_equal_to_end_makes_no_pass) {
    ArcState s = arc_begin(10, 10, 10, 20, 10, 20);
    PlotPoint p{-1, -1};
    EXPECT_FALSE(arc_next(s, p));
    EXPECT_EQ((PlotPoint{-1, -1}), p);
    EXPECT_EQ((PlotPoint{10, 20}), arc_point(s));
}

TEST(arc, squared_radius_wraps_in_16_bits) {
    struct Row {
        std::int16_t cx, cy, ex, ey;
        std::int16_t r2;
    };
    const Row rows[] = {
        {0, 0, 181, 0, 32761},
        {0, 0, 182, 0, wrap16(33124)},
        {0, 0, 0, -200, wrap16(40000)},
        {0, 0, 256, 0, 0},
        // Offsets beyond 16 bits wrap to (1536, -1536); the squares keep their low bits.
        {32000, -32000, -32000, 32000, wrap16(2LL * 64000 * 64000)},
        {-32768, -32768, 0, 0, 0},  // both squares 2^30: their sum needs more than 31 bits
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.ex << "," << row.ey);
        EXPECT_EQ(row.r2, arc_begin(row.cx, row.cy, row.cx, wrap16(row.cy + 50), row.ex, row.ey).r2);
    }
}

TEST(arc, ends_when_the_end_point_is_never_met) {
    // Ends off the trace, starts off the top and wrapped radii come back,
    // either at the end point or after giving up; the ones that could meet
    // their end still do.
    struct Row {
        const char* name;
        std::int16_t cx, cy, sx, sy, ex, ey;
        bool meets;
    };
    const Row rows[] = {
        {"end at the centre", 0, 0, 0, 80, 0, 0, false},
        {"end next to the centre", 0, 0, 0, 80, 0, 2, false},
        {"end close to the centre", 0, 0, 0, 80, 1, 1, true},
        {"end beyond the start radius", 0, 0, 0, 80, 90, 3, true},
        {"end inside the start radius", 100, 100, 100, 180, 130, 110, true},
        {"start right of the centre", 0, 0, 80, 0, 0, -80, false},
        {"start below the centre", 0, 0, 0, -80, 80, 0, false},
        {"start at the centre", 5, 5, 5, 5, 6, 5, true},
        {"wrapped radius", 0, 0, 0, 150, -400, -400, false},
        {"wrapped radius that still meets", 0, 0, 0, 300, 300, 1, true},
        {"coordinates near the 16-bit edge", 32000, -32000, 32000, -31000, -32000, 32000, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Trace t = run_arc(row.cx, row.cy, row.sx, row.sy, row.ex, row.ey);
        EXPECT_EQ(row.meets, arc_at_end(t.last));
        EXPECT_LE(t.last.passes, t.last.passLimit);
        EXPECT_EQ(t.rows.size(), static_cast<std::size_t>(t.last.passes));
        if (!row.meets) {
            EXPECT_TRUE(t.last.repeated || t.last.passes == t.last.passLimit);
        }
        PlotPoint p{};
        ArcState after = t.last;
        EXPECT_FALSE(arc_next(after, p));
    }
}

TEST(arc, a_trace_going_round_stops_after_one_round) {
    // From the top of radius 80 towards (0, 2) the trace settles on a small
    // ring that misses the end; it stops once it is back on a pose it had,
    // long before the pass limit.
    const Trace t = run_arc(0, 0, 0, 80, 0, 2);
    ASSERT_TRUE(t.last.repeated);
    EXPECT_LT(t.last.passes, t.last.passLimit / 2);
    // The last stretch is a closed round: its final point was visited before.
    const PlotPoint lastPoint = t.points.back();
    EXPECT_NE(std::find(t.points.begin(), t.points.end() - 1, lastPoint), t.points.end() - 1);
}

TEST(arc, limit_leaves_room_for_a_full_turn) {
    // The end just before the start is met after nearly a full turn.
    const Trace t = run_arc(0, 0, 0, 80, -1, 80);
    EXPECT_TRUE(arc_at_end(t.last));
    EXPECT_GT(t.rows.size(), 400u);
}
