#include "core/formats/response_format.h"

#include "core/formats/csv.h"

#include <cmath>

namespace {

std::string twin_name(std::string_view name) { return "twin_" + std::string(name); }

}  // namespace

std::string frequency_csv_header() {
    std::string out;
    csv_append_header(out, FREQUENCY_COLUMNS);
    return out;
}

std::string frequency_csv_row(const MeasuredPoint& measured, std::complex<double> twin) {
    const std::optional<std::complex<double>>& l = measured.loop;
    const std::array<std::optional<double>, FREQUENCY_COLUMNS.size()> cells = {
        measured.hz,
        l ? std::optional(loop_gain_db(*l)) : std::nullopt,
        l ? std::optional(loop_phase_deg(*l)) : std::nullopt,
        measured.distortion,
        loop_gain_db(twin),
        loop_phase_deg(twin)};
    std::string out;
    csv_append_row(out, cells);
    return out;
}

std::array<std::optional<double>, 6> margin_cells(const LoopMargins& m) {
    return {m.gainMarginDb, m.phaseMarginDeg, m.crossoverHz, m.phaseCrossoverHz, m.ms, m.bandwidthHz};
}

std::string margins_csv(const LoopMargins& measured, const LoopMargins& twin) {
    std::string out;
    for (const std::string_view name : MARGIN_COLUMNS) out += std::string(name) + ',';
    for (std::size_t i = 0; i < MARGIN_COLUMNS.size(); ++i) {
        out += twin_name(MARGIN_COLUMNS[i]);
        out += i + 1 < MARGIN_COLUMNS.size() ? ',' : '\n';
    }
    std::array<std::optional<double>, 12> cells;
    const auto a = margin_cells(measured), b = margin_cells(twin);
    std::copy(a.begin(), a.end(), cells.begin());
    std::copy(b.begin(), b.end(), cells.begin() + 6);
    csv_append_row(out, cells);
    return out;
}

std::string margins_json(const LoopMargins& measured, const LoopMargins& twin) {
    std::string out = "{";
    const auto add = [&out](const std::string& name, const std::optional<double>& value) {
        if (out.size() > 1) out += ',';
        out += '"' + name + "\":";
        if (value) csv_append_number(out, *value);
        else out += "null";
    };
    const auto a = margin_cells(measured), b = margin_cells(twin);
    for (std::size_t i = 0; i < MARGIN_COLUMNS.size(); ++i) add(std::string(MARGIN_COLUMNS[i]), a[i]);
    for (std::size_t i = 0; i < MARGIN_COLUMNS.size(); ++i) add(twin_name(MARGIN_COLUMNS[i]), b[i]);
    out += "}\n";
    return out;
}
