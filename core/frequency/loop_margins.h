#pragma once
// Stability margins from an open loop L known on a grid of frequencies.
//
//   gain crossover f_c      |L| = 1
//   phase margin PM         180 deg + angle L(f_c), the angle wrapped to (-360, 0]
//   phase crossover         angle L = -180 deg
//   gain margin GM          -20 log10 |L| there
//   Ms                      the largest |1 / (1 + L)|
//   bandwidth               where |L / (1 + L)| first falls 3 dB below its value
//                           at the lowest frequency
//
// Between two grid points the gain in dB and the phase go linearly in log f,
// the phase along the shorter way round. With several crossings the one of
// the smallest |GM| (and of the smallest |PM|) counts. A crossing that the
// grid does not show is an empty margin, not a number.
#include "core/frequency/loop_response.h"

#include <complex>
#include <optional>
#include <span>
#include <vector>

struct ResponsePoint {
    double hz = 0.0;
    std::complex<double> loop;  // L at hz
};

struct LoopMargins {
    std::optional<double> gainMarginDb;
    std::optional<double> phaseMarginDeg;
    std::optional<double> crossoverHz;
    std::optional<double> phaseCrossoverHz;
    std::optional<double> ms;
    std::optional<double> bandwidthHz;
};

// From `points`, ascending in hz; points whose L is 0 (no response) are passed over.
LoopMargins margins_of(std::span<const ResponsePoint> points);

// The twin's margins between fromHz and toHz: the loop on a grid of
// TWIN_GRID_PER_DECADE points a decade, each crossing and the peak of Ms
// then narrowed on the closed form until it stands still.
inline constexpr int TWIN_GRID_PER_DECADE = 50;
LoopMargins twin_margins(const TwinLoop& loop, double fromHz, double toHz);
// The twin's loop on that grid, for a plot.
std::vector<ResponsePoint> twin_curve(const TwinLoop& loop, double fromHz, double toHz);

// 20 log10 |l|, and the angle of `l` in degrees wrapped to (-360, 0].
double loop_gain_db(std::complex<double> l);
double loop_phase_deg(std::complex<double> l);
