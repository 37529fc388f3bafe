#include "core/formats/csv.h"

#include <charconv>
#include <cmath>
#include <vector>

void csv_append_number(std::string& out, double value) {
    char buffer[32];
    std::to_chars_result result{};
    if (std::isfinite(value) && std::trunc(value) == value && std::fabs(value) < 9.0e15) {
        result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value));
    } else {
        result = std::to_chars(buffer, buffer + sizeof buffer, value);  // shortest round-trip form
    }
    out.append(buffer, result.ptr);
}

void csv_append_row(std::string& out, std::span<const std::optional<double>> cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) out += ',';
        if (cells[i]) csv_append_number(out, *cells[i]);
    }
    out += '\n';
}

void csv_append_header(std::string& out, std::span<const std::string_view> names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += ',';
        out += names[i];
    }
    out += '\n';
}

void csv_merge_series(std::span<const SeriesPoints> series,
                      const std::function<void(double, std::span<const std::optional<double>>)>& row) {
    std::vector<std::size_t> next(series.size(), 0);
    std::vector<std::optional<double>> cells(series.size());
    for (;;) {
        std::optional<double> time;
        for (std::size_t s = 0; s < series.size(); ++s) {
            if (next[s] < series[s].count) {
                const double x = series[s].x(next[s]);
                if (!time || x < *time) time = x;
            }
        }
        if (!time) return;
        for (std::size_t s = 0; s < series.size(); ++s) {
            cells[s].reset();
            if (next[s] < series[s].count && series[s].x(next[s]) == *time) cells[s] = series[s].y(next[s]++);
        }
        row(*time, cells);
    }
}
