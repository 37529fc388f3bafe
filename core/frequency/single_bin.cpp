#include "core/frequency/single_bin.h"

#include <algorithm>
#include <cmath>
#include <numbers>

std::complex<double> unit_turn(std::int64_t steps, std::int64_t perTurn) {
    // steps mod perTurn keeps the angle small, so every period gets the same
    // values; the quarter turns are exact, so a signal at the Nyquist
    // frequency has a real transform.
    const std::int64_t j = steps % perTurn;
    if ((4 * j) % perTurn == 0) {
        static constexpr std::complex<double> quarters[] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
        return quarters[4 * j / perTurn];
    }
    return std::polar(1.0, 2.0 * std::numbers::pi * double(j) / double(perTurn));
}

std::vector<std::complex<double>> single_bin_turns(std::int64_t periods, std::int64_t passes) {
    std::vector<std::complex<double>> turns(static_cast<std::size_t>(passes));
    for (std::int64_t k = 0; k < passes; ++k) {
        turns[static_cast<std::size_t>(k)] = std::conj(unit_turn(periods * k, passes));
    }
    return turns;
}

std::optional<double> SingleBin::distortion() const {
    if (count_ == 0) return std::nullopt;
    // n times the energy about the mean, exact: n sum x^2 - (sum x)^2.
    const std::int64_t spread = count_ * sumSquares_ - sum_ * sum_;
    if (spread == 0) return std::nullopt;
    const double total = double(spread) / double(count_);
    // A real signal's energy at f lies at f and -f, except at the Nyquist
    // frequency, where the two are one.
    const double atFrequency = (nyquist_ ? 1.0 : 2.0) * std::norm(transform_) / double(count_);
    return std::clamp(1.0 - atFrequency / total, 0.0, 1.0);
}
