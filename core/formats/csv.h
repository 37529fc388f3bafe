#pragma once
// CSV rows as the bench writes them: comma-separated, no spaces, '\n' line
// ends, integral values as plain integers, an empty cell for a missing value.
// The window's export and the command-line traces both write through these.
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

void csv_append_number(std::string& out, double value);

// One row: the cells joined by commas, then '\n'.
void csv_append_row(std::string& out, std::span<const std::optional<double>> cells);
void csv_append_header(std::string& out, std::span<const std::string_view> names);

// A series' points, X ascending.
struct SeriesPoints {
    std::size_t count;
    std::function<double(std::size_t)> x;
    std::function<double(std::size_t)> y;
};

// Merges series into rows in time order: each row is one X value and, per
// series, the Y of its next point at that X or nothing. A series with two
// points at one X gives two rows at that X.
void csv_merge_series(std::span<const SeriesPoints> series,
                      const std::function<void(double time, std::span<const std::optional<double>> cells)>& row);
