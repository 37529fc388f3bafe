#include "toolkit/chart/chart_scale.h"
#include "toolkit/chart/chart_view_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

TEST(ChartScale, NiceNumbers) {
    struct Row {
        double v;
        double base;
        double expected;
    };
    const Row rows[] = {
        {1, 0, 1},       {1.01, 0, 2},     {2, 0, 2},          {2.5, 0, 5},     {7, 0, 10},
        {0.3, 0, 0.5},   {0.03, 0, 0.05},  {1000, 0, 1000},    {1001, 0, 2000}, {0, 0, 1},
        {-5, 0, 1},      {1, 4, 4},        {4, 4, 4},          {5, 4, 8},       {9, 4, 20},
        {21, 4, 40},     {0.5, 4, 4},      {4000000, 4, 4000000}, {4000001, 4, 8000000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("v " + std::to_string(row.v) + " base " + std::to_string(row.base));
        EXPECT_DOUBLE_EQ(row.expected, nice_at_least(row.v, row.base));
    }
}

TEST(ChartScale, LogarithmicAxisLabelsAndRanges) {
    const double l2 = std::log10(2.0), l5 = std::log10(5.0);
    const struct {
        const char* name;
        AxisRange positions;
        int pixels;
        std::vector<double> labels;
    } rows[] = {
        {"1, 2, 5 where they fit", {-1, 0.5}, 300, {-1, -1 + l2, -1 + l5, 0, l2}},
        {"decades where 1 to 2 would crowd", {-1, 3}, 300, {-1, 0, 1, 2, 3}},
        {"every second decade", {-4, 4}, 200, {-4, -2, 0, 2, 4}},
        {"every fifth", {0, 20}, 200, {0, 5, 10, 15, 20}},
        {"no range", {1, 1}, 300, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<double> labels = log_label_values(row.positions, row.pixels, 30);
        ASSERT_EQ(labels.size(), row.labels.size());
        for (std::size_t i = 0; i < labels.size(); ++i) EXPECT_NEAR(labels[i], row.labels[i], 1e-12);
    }
    const struct {
        double position;
        const char* text;
    } texts[] = {{-1, "0.1"}, {std::log10(0.05), "0.05"}, {0, "1"}, {std::log10(200.0), "200"}, {3, "1000"}};
    for (const auto& t : texts) EXPECT_EQ(log_label_text(t.position), t.text);
    // Whole decades around the data, growing only when it leaves them.
    EXPECT_EQ(grow_decades(std::nullopt, -1, std::log10(125.0)), (AxisRange{-1, 3}));
    EXPECT_EQ(grow_decades(AxisRange{-1, 3}, 0, 2.5), (AxisRange{-1, 3}));
    EXPECT_EQ(grow_decades(AxisRange{-1, 3}, -2.5, 2), (AxisRange{-3, 3}));
    EXPECT_EQ(grow_decades(std::nullopt, 1, 1), (AxisRange{1, 2}));
}

TEST(ChartScale, XRangeGrowsInNiceStepsAndOnlyWhenExceeded) {
    struct Row {
        const char* name;
        std::optional<AxisRange> current;
        double lo, hi, base;
        AxisRange expected;
    };
    const Row rows[] = {
        {"first point", std::nullopt, 0, 0, 4, {0, 4}},
        {"kept while it shows all", AxisRange{0, 40}, 0, 40, 4, {0, 40}},
        {"exceeded: next nice span", AxisRange{0, 40}, 0, 44, 4, {0, 80}},
        {"exceeded again", AxisRange{0, 80}, 0, 84, 4, {0, 160}},
        {"a point alone away from zero", std::nullopt, 1000, 1000, 4, {1000, 1004}},
        {"negative start", std::nullopt, -3, 10, 4, {-16, 16}},
        {"earlier point below the range", AxisRange{0, 40}, -4, 40, 4, {-80, 80}},
        {"no increment", std::nullopt, 0, 7, 0, {0, 10}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const AxisRange r = grow_x_range(row.current, row.lo, row.hi, row.base);
        EXPECT_DOUBLE_EQ(row.expected.lo, r.lo);
        EXPECT_DOUBLE_EQ(row.expected.hi, r.hi);
    }
}

TEST(ChartScale, XRangeOfAGrowingSeriesIsRedrawnRarely) {
    // A speed-mode run: +4 ms per pass, a million passes.
    std::optional<AxisRange> range;
    int changes = 0;
    for (int pass = 0; pass < 1000000; ++pass) {
        const AxisRange next = grow_x_range(range, 0, 4.0 * pass, 4);
        if (next != range) ++changes;
        range = next;
        ASSERT_TRUE(range->contains(0, 4.0 * pass));
        ASSERT_GE(4.0 * pass, 0.5 * (range->hi - range->lo) - 4) << pass;
    }
    EXPECT_LE(changes, 25);  // four spans a decade, so the points fill at least half the axis
}

TEST(ChartScale, YRangeHoldsTheDataWithRoomToSpare) {
    struct Row {
        const char* name;
        std::optional<AxisRange> current;
        double lo, hi;
    };
    const Row rows[] = {
        {"first span", std::nullopt, 0, 248},
        {"all equal", std::nullopt, 80, 80},
        {"all zero", std::nullopt, 0, 0},
        {"negative", std::nullopt, -327, -3},
        {"grows at the top", AxisRange{-50, 300}, -20, 350},
        {"grows at the bottom", AxisRange{-50, 300}, -400, 10},
        {"huge values", std::nullopt, 1e14, 1e14 + 1},
        {"tiny values", std::nullopt, 1e-9, 3e-9},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const AxisRange r = grow_y_range(row.current, row.lo, row.hi);
        EXPECT_TRUE(r.contains(row.lo, row.hi)) << r.lo << " .. " << r.hi;
        EXPECT_LT(r.lo, r.hi);
        if (row.current) {
            // The side that did not overflow stays where it was.
            if (row.lo >= row.current->lo) {
                EXPECT_EQ(row.current->lo, r.lo);
            }
            if (row.hi <= row.current->hi) {
                EXPECT_EQ(row.current->hi, r.hi);
            }
            // The side that did gets room for a good part of the span.
            if (row.hi > row.current->hi) {
                EXPECT_GE(r.hi - row.hi, 0.4 * (row.hi - row.lo));
            }
            if (row.lo < row.current->lo) {
                EXPECT_GE(row.lo - r.lo, 0.4 * (row.hi - row.lo));
            }
        }
    }
    const AxisRange kept{-50, 300};
    EXPECT_EQ(kept, grow_y_range(kept, -50, 300));
}

TEST(ChartScale, YRangeOfADriftingSeriesIsRedrawnRarely) {
    std::optional<AxisRange> range;
    int changes = 0;
    for (int pass = 0; pass < 100000; ++pass) {
        const double y = 3.0 * pass;  // a position that keeps rising
        const AxisRange next = grow_y_range(range, 0, y);
        if (next != range) ++changes;
        range = next;
    }
    EXPECT_LE(changes, 40);
}

TEST(ChartScale, LabelsAreMultiplesOfTheStepInsideTheRange) {
    struct Row {
        AxisRange range;
        int pixels;
        int spacing;
        double base;
        double step;
        std::size_t count;
    };
    const Row rows[] = {
        {{0, 80}, 500, 50, 4, 8, 11},
        {{0, 4000000}, 500, 70, 4, 800000, 6},
        {{-50, 300}, 250, 30, 0, 50, 8},
        {{-0.1, 0.1}, 250, 30, 0, 0.05, 5},
        {{0, 4}, 500, 50, 4, 4, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.range.lo) + " .. " + std::to_string(row.range.hi));
        const double step = label_step(row.range, row.pixels, row.spacing, row.base);
        EXPECT_DOUBLE_EQ(row.step, step);
        EXPECT_GE(row.pixels * step / (row.range.hi - row.range.lo), row.spacing);
        const auto values = label_values(row.range, step);
        EXPECT_EQ(row.count, values.size());
        for (double v : values) {
            EXPECT_GE(v, row.range.lo - 1e-12);
            EXPECT_LE(v, row.range.hi + 1e-12);
            EXPECT_NEAR(0, std::remainder(v, step), step * 1e-9);
            if (row.base > 0) {
                EXPECT_NEAR(0, std::remainder(v, row.base), 1e-9);
            }
        }
    }
    EXPECT_TRUE(label_values({0, 1}, 0).empty());
    EXPECT_TRUE(label_values({0, 1e9}, 1).empty());  // far too many: none
}

TEST(ChartScale, LabelTexts) {
    struct Row {
        double value;
        double step;
        const char* text;
    };
    const Row rows[] = {
        {800000, 200000, "800000"}, {-50, 50, "-50"},   {0.06, 0.02, "0.06"},
        {-1e-17, 0.02, "0.00"},     {0, 1, "0"},        {2.5, 0.5, "2.5"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.text, label_text(row.value, row.step));
    }
}

TEST(ChartScale, AxisMapPutsTheEndsOnTheirPixelsAndRounds) {
    const AxisMap x(AxisRange{0, 100}, 10, 110);
    const AxisMap y(AxisRange{-50, 50}, 300, 100);  // upwards
    struct Row {
        const AxisMap* map;
        double value;
        int pixel;
    };
    const Row rows[] = {
        {&x, 0, 10},    {&x, 100, 110}, {&x, 50, 60},   {&x, 50.49, 60}, {&x, 50.5, 61},
        {&x, -10, 0},   {&y, -50, 300}, {&y, 50, 100},  {&y, 0, 200},    {&y, 0.25, 200},
        {&x, std::numeric_limits<double>::quiet_NaN(), AxisMap::kPixelLimit},
        {&x, 1e300, AxisMap::kPixelLimit},
        {&x, -1e300, -AxisMap::kPixelLimit},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.value));
        EXPECT_EQ(row.pixel, row.map->pixel(row.value));
    }
}

TEST(ChartScale, AnchoredRangePutsTheValueOnThePixel) {
    struct Row {
        const char* name;
        double span, value, pixel;
        int pixelLo, pixelHi;
    };
    const Row rows[] = {
        {"X axis, inside", 40, 1234.5, 200.25, 50, 600},
        {"Y axis, upwards", 0.002, -3.5, 120, 280, 20},
        {"anchor left of the axis", 10, 0, 10, 50, 600},
        {"anchor at the far end", 1e6, 5e6, 600, 50, 600},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const AxisRange r = anchored_range(row.span, row.value, row.pixel, row.pixelLo, row.pixelHi);
        EXPECT_NEAR(row.span, r.hi - r.lo, row.span * 1e-12);
        EXPECT_NEAR(row.pixel, AxisMap(r, row.pixelLo, row.pixelHi).position(row.value), 1e-6);
        EXPECT_NEAR(row.value, AxisMap(r, row.pixelLo, row.pixelHi).value(row.pixel), row.span * 1e-12);
    }
    // An axis one pixel long centres the value.
    const AxisRange r = anchored_range(4, 10, 7, 7, 7);
    EXPECT_DOUBLE_EQ(8, r.lo);
    EXPECT_DOUBLE_EQ(12, r.hi);
}

TEST(ChartScale, ClipSegmentKeepsThePartInsideTheBox) {
    // The box is [0, 100] x [0, 50].
    struct Row {
        const char* name;
        PixelSegment in;
        bool kept;
        PixelSegment out;
    };
    const Row rows[] = {
        {"inside: untouched", {10.25, 5, 90, 45.5}, true, {10.25, 5, 90, 45.5}},
        {"a dot inside", {30, 30, 30, 30}, true, {30, 30, 30, 30}},
        {"a dot outside", {130, 30, 130, 30}, false, {}},
        {"leaves on the right", {50, 10, 150, 30}, true, {50, 10, 100, 20}},
        {"comes in from the left, backwards", {60, 40, -40, 0}, true, {60, 40, 0, 16}},
        {"crosses the box", {-100, 25, 200, 25}, true, {0, 25, 100, 25}},
        {"passes above", {-10, -5, 110, -1}, false, {}},
        {"upright, left of the box", {-1, -100, -1, 100}, false, {}},
        {"upright, through it", {40, -1e25, 40, 1e25}, true, {40, 0, 40, 50}},
        {"far ends, in on the left, out at the bottom", {-1e12, -5e11 + 25, 1e12, 5e11 + 25}, true, {0, 25, 50, 50}},
        {"level, from far away", {1e25, 20, -1e25, 20}, true, {100, 20, 0, 20}},
        {"misses a corner", {90, -20, 120, 10}, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PixelSegment s = row.in;
        ASSERT_EQ(row.kept, clip_segment(s, 0, 0, 100, 50));
        if (!row.kept) continue;
        EXPECT_NEAR(row.out.x0, s.x0, 1e-3);
        EXPECT_NEAR(row.out.y0, s.y0, 1e-3);
        EXPECT_NEAR(row.out.x1, s.x1, 1e-3);
        EXPECT_NEAR(row.out.y1, s.y1, 1e-3);
    }
}

// The view state alone, without a widget: what each step leaves on the axes.
TEST(ChartViewState, UserViewKeepsItsAxesAndTheRightAxisFollowsTheLeft) {
    ChartViewState view;
    view.set_right_axis(true);
    ChartExtents data;
    data.x.add(0), data.x.add(100), data.left.add(0), data.left.add(10), data.right.add(-50), data.right.add(50);
    EXPECT_TRUE(view.grow(data));
    const ChartRanges automatic = view.shown();

    // Zoomed to the lower half of the left axis: the right one shows its lower half too.
    const AxisRange y{automatic.y.lo, (automatic.y.lo + automatic.y.hi) / 2};
    ASSERT_EQ(ChartViewState::Placed::Changed, view.set_view({10, 20}, y));
    EXPECT_DOUBLE_EQ(automatic.right.lo, view.shown_right().lo);
    EXPECT_DOUBLE_EQ((automatic.right.lo + automatic.right.hi) / 2, view.shown_right().hi);
    EXPECT_EQ(ChartViewState::Placed::Same, view.set_view({10, 20}, y));

    const ChartRanges zoomed = view.shown();
    const struct {
        const char* name;
        AxisRange x;
    } refused[] = {{"reversed", {20, 10}}, {"beyond the limit", {0, 2 * kViewLimit}}, {"empty", {5, 5}}};
    for (const auto& r : refused) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(ChartViewState::Placed::Refused, view.set_view(r.x, y));
        EXPECT_EQ(zoomed, view.shown());
    }
    data.x.add(1000);
    EXPECT_FALSE(view.grow(data));  // the automatic ranges grow behind the user's view
    EXPECT_EQ(zoomed, view.shown());
    EXPECT_TRUE(view.show_all());
    EXPECT_GE(view.shown_x().hi, 1000);
    view.reset();
    EXPECT_FALSE(view.in_user_view());
}
