#include "core/frequency/loop_response.h"

#include <algorithm>
#include <cmath>
#include <numbers>

TwinLoop::TwinLoop(bool speedMode, const RegulationGains& gains, const Plant& drive)
    : speedMode_(speedMode),
      kp_(gains.kp / 100.0),
      ki_(gains.ki / 100.0),
      kd_(gains.kd / 100.0),
      kv_(gains.kv / 100.0),
      a_(1.0 - drive.dt * drive.damping),
      dtSquared_(drive.dt * drive.dt),
      dtGain_(drive.dt * drive.inputGain) {}

std::complex<double> unit_z(double hz) {
    const double turn = hz / RESPONSE_PASSES_PER_SECOND;
    return turn == 0.5 ? std::complex<double>(-1.0) : std::polar(1.0, 2.0 * std::numbers::pi * turn);
}

std::complex<double> TwinLoop::open_loop(double hz) const { return open_loop_at(unit_z(hz)); }

std::complex<double> TwinLoop::open_loop_at(std::complex<double> z) const {
    const std::complex<double> zm1 = z - 1.0;
    const std::complex<double> speed =
        dtGain_ * (kp_ * zm1 + ki_ * z + kd_ * zm1 * zm1 / z) / ((z - a_) * zm1 + dtSquared_);
    if (speedMode_) return speed;
    return kv_ * z / zm1 * speed / (1.0 + speed);
}

std::vector<double> log_spaced(double fromHz, double toHz, int points) {
    std::vector<double> out;
    if (points < 1) return out;
    out.reserve(static_cast<std::size_t>(points));
    const double ratio = std::log(toHz / fromHz);
    for (int i = 0; i < points; ++i) {
        out.push_back(i == 0 || points == 1 ? fromHz
                      : i == points - 1     ? toHz
                                            : fromHz * std::exp(ratio * i / (points - 1)));
    }
    return out;
}

SinePlan sine_plan(double hz) {
    const double period = RESPONSE_PASSES_PER_SECOND / hz;  // passes
    SinePlan plan;
    plan.periods = std::max(SINE_MEASURE_PERIODS, static_cast<std::int64_t>(std::ceil(SINE_MEASURE_PASSES / period)));
    plan.passes = std::max<std::int64_t>(std::llround(double(plan.periods) * period), 2 * plan.periods);
    plan.settlePasses = std::max(SINE_SETTLE_PASSES, static_cast<std::int64_t>(std::ceil(SINE_SETTLE_PERIODS * period)));
    return plan;
}
