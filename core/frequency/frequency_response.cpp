#include "core/frequency/frequency_response.h"

#include "core/frequency/single_bin.h"
#include "core/measure/headless_run.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Steers the pass at the loop's break (regulation_control's hooks) and reads
// the signals there; it observes nothing else.
class Injection : public NoPassObserver {
public:
    Injection(const ResponseSetup& setup, const SinePlan& plan, const std::vector<std::complex<double>>& turns)
        : setup_(setup), plan_(plan), loopSignal_(turns, plan.nyquist()), input_(turns, plan.nyquist()) {
        sine_.resize(static_cast<std::size_t>(plan.passes));
        // At the Nyquist frequency the sine is sampled at its peaks (a quarter period on).
        const double shift = plan.nyquist() ? std::numbers::pi / 2.0 : 0.0;
        for (std::int64_t k = 0; k < plan.passes; ++k) {
            const double angle = 2.0 * std::numbers::pi * double((plan.periods * k) % plan.passes) / double(plan.passes);
            sine_[static_cast<std::size_t>(k)] =
                static_cast<std::int16_t>(std::lround(setup.amplitude * std::sin(angle + shift)));
        }
    }

    // Called first in every pass: counts the passes; in speed mode u = c + d.
    std::int16_t drive_input(std::int16_t pwm) {
        ++pass_;
        if (!setup_.speedMode) return pwm;
        const std::int32_t u = std::clamp(std::int32_t{pwm} + injected(), -255, 255);
        record(pwm, u);
        return static_cast<std::int16_t>(u);
    }
    // Position mode: v = p + d (at most 255 + 255: no wrap).
    std::int16_t speed_setpoint_input(std::int16_t p) {
        const std::int32_t v = std::int32_t{p} + injected();
        record(p, v);
        return static_cast<std::int16_t>(v);
    }
    bool command(NcPoint& point) {
        point = {setup_.position, 0, 0};
        return true;
    }

    MeasuredPoint result() const {
        MeasuredPoint point;
        point.hz = plan_.hz();
        const std::complex<double> c = loopSignal_.transform(), u = input_.transform();
        if (std::abs(c) > 0.0 && std::abs(u) > 0.0) point.loop = -c / u;
        point.distortion = loopSignal_.distortion();
        return point;
    }

private:
    std::int32_t injected() const { return sine_[static_cast<std::size_t>(pass_ % plan_.passes)]; }
    void record(std::int32_t loopValue, std::int32_t input) {
        const std::int64_t k = pass_ - plan_.settlePasses - 1;
        if (k < 0) return;
        loopSignal_.add(static_cast<std::size_t>(k), loopValue);
        input_.add(static_cast<std::size_t>(k), input);
    }

    const ResponseSetup& setup_;
    const SinePlan& plan_;
    std::vector<std::int16_t> sine_;  // d of the passes k mod N
    SingleBin loopSignal_;            // c (or p)
    SingleBin input_;                 // u (or v)
    std::int64_t pass_ = 0;
};

}  // namespace

MeasuredPoint measure_point(Engine& engine, const ResponseSetup& setup, const SinePlan& plan) {
    const std::vector<std::complex<double>> turns = single_bin_turns(plan.periods, plan.passes);
    Injection injection(setup, plan, turns);
    const RunSetup run{setup.speedMode, plan.settlePasses + plan.passes, setup.gains};
    run_headless(
        engine, run, [](const RegulationRun&, const RegulationPoints&, std::int64_t) {},
        [&](RegulationRun& r, bool speedMode) { return regulation_control(engine, r, speedMode, injection); });
    return injection.result();
}
