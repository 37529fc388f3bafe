#include "toolkit/chart/chart_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

ValueSpan brute_span(const SeriesData& d, std::size_t first, std::size_t last) {
    ValueSpan s;
    for (std::size_t i = first; i < last && i < d.size(); ++i) {
        if (d.plottable(i)) s.add(d.y(i));
    }
    return s;
}

void expect_same_span(const ValueSpan& expected, const ValueSpan& actual) {
    EXPECT_EQ(expected.empty(), actual.empty());
    if (!expected.empty()) {
        EXPECT_EQ(expected.lo, actual.lo);
        EXPECT_EQ(expected.hi, actual.hi);
    }
}

}  // namespace

TEST(ChartData, KeepsXAscendingAndReportsWhereEachPointWent) {
    struct Row {
        const char* name;
        std::vector<double> xs;
        std::vector<std::size_t> indices;  // what each add returns
        std::vector<double> order;         // x values afterwards, by index
    };
    const Row rows[] = {
        {"ascending", {0, 4, 8}, {0, 1, 2}, {0, 4, 8}},
        {"equal x goes after its equals", {0, 4, 4, 4}, {0, 1, 2, 3}, {0, 4, 4, 4}},
        {"earlier x goes to its place", {0, 8, 4}, {0, 1, 1}, {0, 4, 8}},
        {"before everything", {10, 20, -5}, {0, 1, 0}, {-5, 10, 20}},
        {"after the equals of an earlier x", {0, 4, 8, 4}, {0, 1, 2, 2}, {0, 4, 4, 8}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SeriesData d;
        for (std::size_t i = 0; i < row.xs.size(); ++i) EXPECT_EQ(row.indices[i], d.add(row.xs[i], double(i)));
        ASSERT_EQ(row.order.size(), d.size());
        for (std::size_t i = 0; i < d.size(); ++i) EXPECT_EQ(row.order[i], d.x(i)) << "index " << i;
    }
}

TEST(ChartData, AnInsertMovesTheYValuesWithTheirX) {
    SeriesData d;
    d.add(0, 10);
    d.add(8, 30);
    d.add(4, 20);
    EXPECT_EQ(10, d.y(0));
    EXPECT_EQ(20, d.y(1));
    EXPECT_EQ(30, d.y(2));
}

TEST(ChartData, NanXSortsLastAndLaterPointsGoBeforeIt) {
    SeriesData d;
    d.add(0, 1);
    d.add(kNaN, 2);
    EXPECT_EQ(1u, d.add(4, 3));
    EXPECT_EQ(4, d.x(1));
    EXPECT_TRUE(std::isnan(d.x(2)));
}

TEST(ChartData, SpanMatchesAWalkOverThePoints) {
    // Sizes around the summary's bucket edges, ranges of every shape.
    const std::size_t f = SeriesData::kFanout;
    const std::size_t sizes[] = {1, f - 1, f, f + 1, f * f + 3, 3 * f * f * f + 17};
    std::mt19937 rng(3);
    for (std::size_t size : sizes) {
        SCOPED_TRACE("size " + std::to_string(size));
        SeriesData d;
        for (std::size_t i = 0; i < size; ++i) {
            const double y = double(rng() % 20001) - 10000.0;
            d.add(double(i), (rng() % 97 == 0) ? kNaN : y);
        }
        std::vector<std::pair<std::size_t, std::size_t>> ranges = {{0, size}, {0, 1}, {size - 1, size}, {0, 0}};
        for (int k = 0; k < 300; ++k) {
            std::size_t a = rng() % size;
            std::size_t b = a + rng() % (size - a + 1);
            ranges.emplace_back(a, b);
        }
        for (auto [a, b] : ranges) {
            SCOPED_TRACE("range " + std::to_string(a) + ".." + std::to_string(b));
            expect_same_span(brute_span(d, a, b), d.y_span(a, b));
        }
    }
}

TEST(ChartData, SummaryStaysRightAfterInsertsBeforeTheEnd) {
    SeriesData d;
    std::mt19937 rng(5);
    for (int i = 0; i < 5000; ++i) d.add(double(i * 2), double(rng() % 1000));
    // Earlier X values: each shifts the later points across bucket edges.
    const double inserted[][2] = {{1, 5000}, {4001, -5000}, {9997, 7777}, {-1, -9999}};
    for (const auto& p : inserted) d.add(p[0], p[1]);
    for (int k = 0; k < 200; ++k) {
        std::size_t a = rng() % d.size();
        std::size_t b = a + rng() % (d.size() - a + 1);
        SCOPED_TRACE("range " + std::to_string(a) + ".." + std::to_string(b));
        expect_same_span(brute_span(d, a, b), d.y_span(a, b));
    }
    EXPECT_EQ(-9999, d.y_span(0, d.size()).lo);
    EXPECT_EQ(7777, d.y_span(0, d.size()).hi);
}

TEST(ChartData, PointsThatCannotBeDrawnStayOutOfExtentsAndSpans) {
    struct Row {
        const char* name;
        double x;
        double y;
    };
    const Row rows[] = {
        {"NaN y", 5, kNaN},         {"infinite y", 5, kInf},      {"minus infinite y", 5, -kInf},
        {"NaN x", kNaN, 100},       {"infinite x", kInf, 100},    {"huge y", 5, 1e300},
        {"huge x", 1e300, 100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SeriesData d;
        d.add(0, 1);
        d.add(row.x, row.y);
        d.add(10, 2);
        EXPECT_EQ(3u, d.size());
        EXPECT_EQ(0, d.x_extent().lo);
        EXPECT_EQ(10, d.x_extent().hi);
        EXPECT_EQ(1, d.y_extent().lo);
        EXPECT_EQ(2, d.y_extent().hi);
        EXPECT_EQ(2, d.y_span(0, 3).hi);
    }
}

TEST(ChartData, ClearEmptiesEverything) {
    SeriesData d;
    for (int i = 0; i < 10000; ++i) d.add(i, i);
    d.clear();
    EXPECT_EQ(0u, d.size());
    EXPECT_TRUE(d.x_extent().empty());
    EXPECT_TRUE(d.y_extent().empty());
    EXPECT_TRUE(d.y_span(0, 10000).empty());
    EXPECT_LT(d.storage_bytes(), 1000u);
    EXPECT_EQ(0u, d.add(3, 4));
    EXPECT_EQ(4, d.y_span(0, 1).hi);
}
