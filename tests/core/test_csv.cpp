#include "core/formats/csv.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Csv, NumbersAndEmptyCells) {
    const struct {
        std::vector<std::optional<double>> cells;
        const char* row;
    } cases[] = {
        {{0.0, 0.0, 0.0, 0.0, 0.0}, "0,0,0,0,0\n"},
        {{4.0, 248.0, 0.0, std::nullopt, std::nullopt}, "4,248,0,,\n"},
        {{-327.0, -1.0}, "-327,-1\n"},
        {{65532.0, 0.5}, "65532,0.5\n"},
        {{std::nullopt}, "\n"},
    };
    for (const auto& c : cases) {
        std::string out;
        csv_append_row(out, c.cells);
        EXPECT_EQ(out, c.row);
    }
}

TEST(Csv, MergesSeriesInTimeOrder) {
    // Two series sharing times, one stopping early, one starting late, and a
    // repeated time as a nested run leaves it.
    const std::vector<double> x1{0, 4, 8, 8}, y1{1, 2, 3, 4};
    const std::vector<double> x2{0, 4}, y2{10, 20};
    const std::vector<double> x3{8, 12}, y3{30, 40};
    const auto view = [](const std::vector<double>& x, const std::vector<double>& y) {
        return SeriesPoints{x.size(), [&x](std::size_t i) { return x[i]; }, [&y](std::size_t i) { return y[i]; }};
    };
    const SeriesPoints series[] = {view(x1, y1), view(x2, y2), view(x3, y3)};
    std::string out;
    csv_merge_series(series, [&out](double time, std::span<const std::optional<double>> cells) {
        std::vector<std::optional<double>> row{time};
        row.insert(row.end(), cells.begin(), cells.end());
        csv_append_row(out, row);
    });
    EXPECT_EQ(out, "0,1,10,\n4,2,20,\n8,3,,30\n8,4,,\n12,,,40\n");
}

}  // namespace
