#pragma once
// The frequency response and the margins as the command line prints them.
#include "core/frequency/frequency_response.h"
#include "core/frequency/loop_margins.h"

#include <array>
#include <complex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

inline constexpr std::array<std::string_view, 6> FREQUENCY_COLUMNS = {
    "freq_hz", "gain_db", "phase_deg", "distortion", "twin_gain_db", "twin_phase_deg"};
// The measured margins' columns; the twin's are the same with "twin_" before.
inline constexpr std::array<std::string_view, 6> MARGIN_COLUMNS = {
    "gain_margin_db", "phase_margin_deg", "crossover_hz", "phase_crossover_hz", "ms", "bandwidth_hz"};

std::string frequency_csv_header();
// One frequency: measured, and the twin's L at the same frequency.
std::string frequency_csv_row(const MeasuredPoint& measured, std::complex<double> twin);

// MARGIN_COLUMNS in their order.
std::array<std::optional<double>, 6> margin_cells(const LoopMargins& m);
// The header and one row: the measured margins, then the twin's.
std::string margins_csv(const LoopMargins& measured, const LoopMargins& twin);
// One JSON object with the same keys; empty cells are null.
std::string margins_json(const LoopMargins& measured, const LoopMargins& twin);
