#pragma once
// One integer signal's Fourier transform at one frequency, over whole periods, and
// how much of its energy lies elsewhere.
//
// Over N samples x_k holding m whole periods of the frequency,
//   X = sum over k of x_k exp(-j 2 pi m k / N),
// and a sine of amplitude a at that frequency gives |X| = a N / 2. Energy is
// counted about the signal's mean (the operating point is no distortion):
// at the frequency it is 2 |X|^2 / N (|X|^2 / N at half the sampling rate),
// in all sum (x_k - mean)^2.
#include <complex>
#include <cstdint>
#include <optional>
#include <vector>

// exp(j 2 pi steps / perTurn), exact at the quarter turns.
std::complex<double> unit_turn(std::int64_t steps, std::int64_t perTurn);

// exp(-j 2 pi m k / N) for k = 0 ... N - 1, shared by the signals of one plan.
std::vector<std::complex<double>> single_bin_turns(std::int64_t periods, std::int64_t passes);

class SingleBin {
public:
    // `nyquist`: the frequency is half the sampling rate (two samples a period).
    SingleBin(const std::vector<std::complex<double>>& turns, bool nyquist) : turns_(turns), nyquist_(nyquist) {}
    // Sample k (0 ... N - 1) of the measured passes.
    void add(std::size_t k, std::int32_t x) {
        transform_ += double(x) * turns_[k];
        sum_ += x;
        sumSquares_ += std::int64_t{x} * x;
        ++count_;
    }
    std::complex<double> transform() const { return transform_; }
    // The share of the energy about the mean that is not at the frequency,
    // 0 ... 1; empty for a constant signal.
    std::optional<double> distortion() const;

private:
    const std::vector<std::complex<double>>& turns_;
    bool nyquist_;
    std::complex<double> transform_{};
    std::int64_t sum_ = 0;  // exact, so a constant signal is known as one
    std::int64_t sumSquares_ = 0;
    std::int64_t count_ = 0;
};
