#include "core/search/gain_request.h"

#include "core/formats/csv.h"
#include "core/formats/response_format.h"

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
    if (it != names.end()) return static_cast<int>(it - names.begin());
    const auto twin = twin_margin_columns();
    for (std::size_t i = 0; i < twin.size(); ++i) {
        if (twin[i].name == name) return static_cast<int>(names.size() + i);
    }
    return -1;
}

bool search_column_of_twin(int column) { return static_cast<std::size_t>(column) >= column_names().size(); }

const MetricColumn& search_column(int column) {
    const auto at = static_cast<std::size_t>(column);
    if (search_column_of_twin(column)) return twin_margin_columns()[at - column_names().size()];
    return metric_table()[METRIC_FIRST + at];
}

std::optional<double> search_column_value(int column, const RunMetrics& metrics, const LoopMargins* twin) {
    const MetricColumn& c = search_column(column);
    if (!search_column_of_twin(column)) return metric_counted(c, RegulationGains{}, metrics);
    if (twin == nullptr) return std::nullopt;
    const auto cells = margin_cells(*twin);
    return cells[static_cast<std::size_t>(c.id) - static_cast<std::size_t>(Metric::kTwinGainMarginDb)];
}

LoopMargins search_twin_margins(bool speedMode, const RegulationGains& gains) {
    return twin_margins(TwinLoop(speedMode, gains, PLANT_AT_REST), RESPONSE_FROM_HZ, RESPONSE_NYQUIST_HZ);
}

bool search_uses_twin(const GainSearchRequest& request) {
    if (search_column_of_twin(request.objective)) return true;
    return std::any_of(request.limits.begin(), request.limits.end(),
                       [](const GainLimit& limit) { return search_column_of_twin(limit.column); });
}

double search_limit_excess(const GainLimit& limit, std::optional<double> value) {
    if (!value) return GAIN_SEARCH_MISSING;
    const double short_of = limit.atLeast ? limit.most - *value : *value - limit.most;
    if (short_of <= 0) return 0;
    return short_of / std::max(1.0, std::abs(limit.most));
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
        std::string text(search_column(limit.column).name);
        text += limit.atLeast ? " >= " : " <= ";
        csv_append_number(text, limit.most);
        names.push_back(text);
    }
    names.emplace_back("no wraps");
    names.push_back("a value of " + std::string(search_column(request.objective).name));
    return names;
}
