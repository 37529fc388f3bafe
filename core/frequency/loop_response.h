#pragma once
// The loop's frequency response: where the loop is broken, the frequencies
// a sine can be measured at, and the real-valued twin's open loop in closed
// form.
//
// Time is chart time: one pass is 4 ms, so a sine sampled once a pass can go
// up to the Nyquist frequency of 125 Hz.
//
// Where the loop is broken, and what the open loop L is there:
//   speed mode     at the drive's input. Each pass the drive gets u = c + d,
//                  c the signed PWM value the cascade produced (in the pass
//                  before, after its limit), d the injected signal; u is
//                  limited to -255 ... 255. L = -C / U.
//   position mode  at the speed setpoint. The speed loop gets v = p + d, p the
//                  position loop's limited output. L = -P / V.
// C, U, P, V are the single-bin Fourier transforms of the signals at the
// injected frequency (single_bin.h).
//
// The twin is the same loop with every truncation, wrap, clamp and limit
// taken out. It is linear, so its open loop is exact in z = exp(j 2 pi f T),
// T = 4 ms, with the drive's constants dt, damping and inputGain (g):
//
//   controller   C(z) = (kp + ki z / (z - 1) + kd (z - 1) / z) / 100       (ta = 1)
//   drive        P(z) = dt g z (z - 1) / ((z - a)(z - 1) + dt^2),  a = 1 - dt damping
//                (one Euler step: the speed of a pass already feels that pass's input)
//   speed loop   Ls(z) = C(z) P(z) / z                   (the drive runs on the output
//                      = dt g (kp (z - 1) + ki z + kd (z - 1)^2 / z)    of the pass before)
//                        / (100 ((z - a)(z - 1) + dt^2))
//   position     Lp(z) = kv / 100 * z / (z - 1) * Ls / (1 + Ls)
//                (the position sums the speed of the same pass, and the position loop
//                 steps on it before the speed loop)
//
// The drive's zero at z = 1 cancels the integral's pole, so the speed loop
// has the finite gain ki g / (100 dt) at low frequencies: 6 for ki = 60.
#include "core/engine/plant.h"
#include "core/engine/regulation.h"

#include <complex>
#include <cstdint>
#include <vector>

inline constexpr double RESPONSE_PASS_SECONDS = 0.004;
inline constexpr double RESPONSE_PASSES_PER_SECOND = 250.0;
inline constexpr double RESPONSE_NYQUIST_HZ = 125.0;
// A response's frequencies unless told otherwise: this many from RESPONSE_FROM_HZ
// to the Nyquist frequency, evenly spaced in log f.
inline constexpr double RESPONSE_FROM_HZ = 0.1;
inline constexpr int RESPONSE_POINTS = 60;

// The twin's open loop of one mode and gain set.
class TwinLoop {
public:
    // The drive's constants are those of `drive` (its state is not used).
    TwinLoop(bool speedMode, const RegulationGains& gains, const Plant& drive);
    // L at `hz`.
    std::complex<double> open_loop(double hz) const;
    // L at z = exp(j 2 pi hz T), for a z worked out once (unit_z).
    std::complex<double> open_loop_at(std::complex<double> z) const;

private:
    bool speedMode_;
    double kp_, ki_, kd_, kv_;  // in units, not hundredths
    double a_, dtSquared_, dtGain_;
};

// z = exp(j 2 pi hz T): -1 exactly at the Nyquist frequency, where the loop is real.
std::complex<double> unit_z(double hz);

// `points` frequencies from `fromHz` to `toHz`, evenly spaced in log f (the
// first is fromHz, the last toHz; one point is fromHz).
std::vector<double> log_spaced(double fromHz, double toHz, int points);

// How one frequency is measured: the sine makes `periods` whole periods in
// the `passes` passes that are measured, after `settlePasses` passes in which
// the loop settles into it. Its frequency is 250 * periods / passes Hz, the
// one nearest the asked one for which the measured passes hold whole periods.
// At 125 Hz itself (two passes a period) a sine sampled once a pass would be
// 0 at every pass; there it is sampled at its peaks instead, d = A (-1)^k.
struct SinePlan {
    std::int64_t periods = 1;
    std::int64_t passes = 1;
    std::int64_t settlePasses = 0;
    double hz() const { return RESPONSE_PASSES_PER_SECOND * double(periods) / double(passes); }
    bool nyquist() const { return passes == 2 * periods; }
};

// Settling: at least SINE_SETTLE_PERIODS periods and SINE_SETTLE_PASSES
// passes; measuring: at least SINE_MEASURE_PERIODS periods and
// SINE_MEASURE_PASSES passes.
inline constexpr std::int64_t SINE_SETTLE_PERIODS = 2;
inline constexpr std::int64_t SINE_SETTLE_PASSES = 1000;
inline constexpr std::int64_t SINE_MEASURE_PERIODS = 4;
inline constexpr std::int64_t SINE_MEASURE_PASSES = 2000;

// For 0 < hz <= 125.
SinePlan sine_plan(double hz);
