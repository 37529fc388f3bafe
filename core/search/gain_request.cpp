#include "core/search/gain_request.h"

#include "core/formats/csv.h"

#include <algorithm>
#include <cmath>

namespace {

// The table's columns from "passes" on, by the metrics' own names.
std::span<const std::string_view> column_names() { return metric_names().subspan(METRIC_FIRST); }

}  // namespace

std::span<const std::string_view> search_column_names() { return column_names(); }

int search_column_index(std::string_view name) {
    const auto names = column_names();
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

const MetricColumn& search_column(int column) { return metric_table()[METRIC_FIRST + static_cast<std::size_t>(column)]; }

std::optional<double> search_column_value(int column, const RunMetrics& metrics) {
    const MetricColumn& c = search_column(column);
    return metric_counted(c, RegulationGains{}, metrics);
}

double search_limit_excess(const GainLimit& limit, std::optional<double> value) {
    if (!value) return GAIN_SEARCH_MISSING;
    if (*value <= limit.most) return 0;
    return (*value - limit.most) / std::max(1.0, std::abs(limit.most));
}

std::uint64_t search_box_sets(const GainSearchRequest& request) {
    SweepGrid grid;
    for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) grid.ranges[g] = request.ranges[g];
    grid.ranges[SWEEP_W] = {request.w, request.w, 1};
    return sweep_grid_size(grid);
}

std::string search_box_sets_text(const GainSearchRequest& request) {
    SweepGrid grid;
    for (std::size_t g = 0; g < SEARCH_GAIN_COUNT; ++g) grid.ranges[g] = request.ranges[g];
    grid.ranges[SWEEP_W] = {request.w, request.w, 1};
    return sweep_grid_size_text(grid);
}

std::vector<std::string> search_constraint_names(const GainSearchRequest& request) {
    std::vector<std::string> names;
    for (const GainLimit& limit : request.limits) {
        std::string text(column_names()[static_cast<std::size_t>(limit.column)]);
        text += " <= ";
        csv_append_number(text, limit.most);
        names.push_back(text);
    }
    names.emplace_back("no wraps");
    names.push_back("a value of " + std::string(column_names()[static_cast<std::size_t>(request.objective)]));
    return names;
}
