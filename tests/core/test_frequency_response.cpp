#include "core/batch/frequency_batch.h"
#include "core/frequency/frequency_response.h"
#include "core/frequency/loop_margins.h"
#include "core/frequency/single_bin.h"
#include "core/measure/headless_run.h"
#include "core/measure/limit_cycle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

namespace {

using Complex = std::complex<double>;
using D = std::optional<double>;
const std::nullopt_t none = std::nullopt;
constexpr RegulationGains kInitial{250, 60, 0, 30, 0};

// The linear loop stepped directly, with exp(j w k) injected at the break:
// the drive's Euler step, the controllers without any clamp, the speed loop's
// output reaching the drive one pass later. Once the transient has died, L is
// -(the loop's signal) / (what the loop got), in every pass.
Complex simulated_open_loop(bool speedMode, const RegulationGains& g, double hz) {
    const double w = 2.0 * std::numbers::pi * hz * RESPONSE_PASS_SECONDS;
    Complex speed, integral, position, eSum, ePrev, c;  // c: the speed loop's output of the pass before
    Complex loopSignal, input;
    for (int k = 1; k <= 4000; ++k) {
        const Complex d = std::polar(1.0, w * k);
        const Complex u = speedMode ? c + d : c;
        const Complex dI = PLANT_AT_REST.dt * speed;
        const Complex dS = PLANT_AT_REST.dt * ((PLANT_AT_REST.inputGain * u - integral) - PLANT_AT_REST.damping * speed);
        integral += dI;
        speed += dS;
        Complex setpoint = 0.0;
        if (!speedMode) {
            position += speed;
            const Complex p = -g.kv / 100.0 * position;
            setpoint = p + d;
            loopSignal = p, input = setpoint;
        } else {
            loopSignal = u - d, input = u;
        }
        const Complex e = setpoint - speed;
        eSum += e;
        c = (double(g.kp) * e + double(g.ki) * eSum + double(g.kd) * (e - ePrev)) / 100.0;
        ePrev = e;
    }
    return -loopSignal / input;
}

TEST(FrequencyResponse, TwinClosedFormMatchesTheLinearLoopStepped) {
    const struct {
        bool speedMode;
        RegulationGains gains;
    } loops[] = {{true, kInitial}, {true, {600, 150, 300, 0, 0}}, {false, kInitial}, {false, {400, 20, 100, 80, 0}}};
    for (const auto& loop : loops) {
        const TwinLoop twin(loop.speedMode, loop.gains, PLANT_AT_REST);
        for (const double hz : {0.3, 2.0, 17.0, 90.0, 124.0}) {
            SCOPED_TRACE(testing::Message() << loop.speedMode << " kp " << loop.gains.kp << " at " << hz << " Hz");
            const Complex expected = simulated_open_loop(loop.speedMode, loop.gains, hz);
            EXPECT_NEAR(std::abs(twin.open_loop(hz) - expected), 0.0, 1e-9 * std::abs(expected));
        }
    }
}

TEST(FrequencyResponse, MeasuredAtALargeAmplitudeFollowsTheTwinWhereItIsLinear) {
    const struct {
        bool speedMode;
        int amplitude;
        double fromHz, toHz;
    } cases[] = {{true, 200, 2.0, 70.0}, {false, 50, 0.4, 20.0}};
    for (const auto& c : cases) {
        Engine engine;
        ResponseSetup setup;
        setup.speedMode = c.speedMode;
        setup.gains = kInitial;
        setup.amplitude = c.amplitude;
        const TwinLoop twin(c.speedMode, kInitial, PLANT_AT_REST);
        for (const double hz : log_spaced(c.fromHz, c.toHz, 6)) {
            const MeasuredPoint point = measure_point(engine, setup, sine_plan(hz));
            SCOPED_TRACE(testing::Message() << c.speedMode << " at " << point.hz << " Hz");
            ASSERT_TRUE(point.loop && point.distortion);
            EXPECT_LT(*point.distortion, 0.05);
            EXPECT_NEAR(loop_gain_db(*point.loop), loop_gain_db(twin.open_loop(point.hz)), 0.8);
            EXPECT_NEAR(loop_phase_deg(*point.loop), loop_phase_deg(twin.open_loop(point.hz)), 2.0);
        }
    }
}

TEST(FrequencyResponse, EveryThreadCountGivesThePointsOfOne) {
    ResponseSetup setup;
    setup.speedMode = false;
    setup.gains = {400, 30, 50, 60, 0};
    const std::vector<double> hz = log_spaced(0.5, 125.0, 7);
    const StopFlag none{0};
    std::vector<std::vector<MeasuredPoint>> by(4);
    for (const int threads : {1, 3}) {
        measure_response(setup, hz, threads, none, [&](std::size_t, const MeasuredPoint& p) { by[threads].push_back(p); });
    }
    ASSERT_EQ(by[1].size(), hz.size());
    ASSERT_EQ(by[3].size(), hz.size());
    for (std::size_t i = 0; i < hz.size(); ++i) {
        EXPECT_EQ(by[3][i].loop, by[1][i].loop);
        EXPECT_EQ(by[3][i].distortion, by[1][i].distortion);
    }
}

TEST(FrequencyResponse, SinePlansHoldWholePeriods) {
    const struct {
        double hz;
        std::int64_t periods, passes, settle;
    } plans[] = {
        {0.1, 4, 10000, 5000},      // four periods of 2500 passes
        {10.0, 80, 2000, 1000},     // the least measured passes, 25 a period
        {124.9, 1000, 2002, 1000},  // the nearest whole number of passes
        {125.0, 1000, 2000, 1000},  // the Nyquist frequency itself
    };
    for (const auto& p : plans) {
        SCOPED_TRACE(p.hz);
        const SinePlan plan = sine_plan(p.hz);
        EXPECT_EQ(plan.periods, p.periods);
        EXPECT_EQ(plan.passes, p.passes);
        EXPECT_EQ(plan.settlePasses, p.settle);
        EXPECT_EQ(plan.nyquist(), p.hz == 125.0);
    }
    // Sampled at its peaks, the sine at 125 Hz is measured like any other: the speed
    // loop's phase is -180 degrees there exactly.
    Engine engine;
    ResponseSetup setup;
    setup.gains = kInitial;
    const MeasuredPoint top = measure_point(engine, setup, sine_plan(125.0));
    ASSERT_TRUE(top.loop);
    EXPECT_EQ(loop_phase_deg(*top.loop), -180.0);
}

TEST(FrequencyResponse, DistortionIsTheEnergyAwayFromTheFrequency) {
    const struct {
        const char* name;
        std::int32_t (*signal)(std::int64_t k);  // over 8 periods of 16 samples
        D distortion;
    } signals[] = {
        {"a sine about an offset", [](std::int64_t k) { return 40 + std::int32_t(std::lround(1e4 * std::sin(k * std::numbers::pi / 8))); }, 0.0},
        {"a square wave, 16 samples a period", [](std::int64_t k) { return k % 16 < 8 ? 5 : -5; },
         1.0 - 1.0 / (32.0 * std::pow(std::sin(std::numbers::pi / 16.0), 2.0))},
        {"twice the frequency", [](std::int64_t k) { return k % 8 < 4 ? 5 : -5; }, 1.0},
        {"a constant", [](std::int64_t) { return 7; }, none},
    };
    const auto turns = single_bin_turns(8, 128);
    for (const auto& s : signals) {
        SCOPED_TRACE(s.name);
        SingleBin bin(turns, false);
        for (std::int64_t k = 0; k < 128; ++k) bin.add(static_cast<std::size_t>(k), s.signal(k));
        ASSERT_EQ(bin.distortion().has_value(), s.distortion.has_value());
        if (s.distortion) {
            EXPECT_NEAR(*bin.distortion(), *s.distortion, 1e-4);
        }
    }
}

// L on a grid from the gain in dB and the phase in degrees.
std::vector<ResponsePoint> grid(std::initializer_list<std::array<double, 3>> rows) {
    std::vector<ResponsePoint> points;
    for (const auto& [hz, db, deg] : rows) points.push_back({hz, std::polar(std::pow(10.0, db / 20.0), deg * std::numbers::pi / 180.0)});
    return points;
}

TEST(FrequencyResponse, MarginsFromAGrid) {
    const struct {
        const char* name;
        std::vector<ResponsePoint> points;
        D gm, pm, crossover, phaseCrossover;
    } cases[] = {
        // |L| 0 dB three quarters of the way from 1 to 10 Hz in log f: at 10^0.75 Hz, where the
        // phase has gone three quarters of the way to -170: PM = 30. -180 halfway from 10 to
        // 100 Hz, where the gain is -20 dB: GM = 20.
        {"one crossing each", grid({{1, 30, -90}, {10, -10, -170}, {100, -30, -190}}), 20.0, 30.0, std::pow(10.0, 0.75),
         std::sqrt(1000.0)},
        {"no gain crossover", grid({{1, -3, -90}, {10, -10, -170}, {100, -30, -190}}), 20.0, none, none, std::sqrt(1000.0)},
        {"the phase crosses -180 the short way round, over the wrap", grid({{1, 6, -170}, {10, 2, 170}}), -4.0, none, none,
         std::sqrt(10.0)},
        {"of three phase crossovers the smallest |GM|", grid({{1, 20, -170}, {10, 10, -190}, {100, 5, -170}, {1000, 1, -190}}),
         -3.0, none, none, std::sqrt(100.0 * 1000.0)},
        {"a point without response is passed over", grid({{1, 30, -90}, {3, -INFINITY, 0}, {10, -10, -170}}), none, 30.0,
         std::pow(10.0, 0.75), none},
    };
    const auto near = [](const D& got, const D& want) {
        ASSERT_EQ(got.has_value(), want.has_value());
        if (want) {
            EXPECT_NEAR(*got, *want, 1e-9 * std::max(1.0, std::fabs(*want)));
        }
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LoopMargins m = margins_of(c.points);
        near(m.gainMarginDb, c.gm);
        near(m.phaseMarginDeg, c.pm);
        near(m.crossoverHz, c.crossover);
        near(m.phaseCrossoverHz, c.phaseCrossover);
    }
}

TEST(FrequencyResponse, TwinMarginsOfHandCheckedLoops) {
    // At 125 Hz (z = -1) the speed loop is real: 0.1 (-2 kp - ki - 4 kd) / (100 (1.44 * 2 + 0.01)).
    const auto nyquistGm = [](double kp, double ki, double kd) {
        return -20.0 * std::log10(0.1 * (2 * kp + ki + 4 * kd) / 289.0);
    };
    const struct {
        const char* name;
        RegulationGains gains;
        D gm;
        bool crossover;
    } loops[] = {
        {"the initial gains", kInitial, nyquistGm(250, 60, 0), true},
        {"unstable: |L| > 1 where the phase is -180", {2000, 60, 0, 0, 0}, nyquistGm(2000, 60, 0), false},
        {"no gain crossover: |L| stays below 1", {50, 5, 0, 0, 0}, nyquistGm(50, 5, 0), false},
    };
    for (const auto& loop : loops) {
        SCOPED_TRACE(loop.name);
        const LoopMargins m = twin_margins(TwinLoop(true, loop.gains, PLANT_AT_REST), 0.1, 125.0);
        ASSERT_TRUE(m.gainMarginDb);
        EXPECT_NEAR(*m.gainMarginDb, *loop.gm, 1e-9);
        EXPECT_EQ(m.phaseCrossoverHz, 125.0);
        EXPECT_EQ(m.crossoverHz.has_value(), loop.crossover);
        EXPECT_EQ(m.phaseMarginDeg.has_value(), loop.crossover);
    }
    // At the crossover |L| is 1 to the last digits, and Ms is no less than on the grid.
    const TwinLoop twin(true, kInitial, PLANT_AT_REST);
    const LoopMargins m = twin_margins(twin, 0.1, 125.0);
    EXPECT_NEAR(std::abs(twin.open_loop(*m.crossoverHz)), 1.0, 1e-12);
    EXPECT_NEAR(*m.phaseMarginDeg, 180.0 + loop_phase_deg(twin.open_loop(*m.crossoverHz)), 1e-9);
    for (const double hz : log_spaced(0.1, 125.0, 500)) EXPECT_GE(*m.ms + 1e-12, 1.0 / std::abs(1.0 + twin.open_loop(hz)));
}

TEST(LimitCycle, FromAStretch) {
    using S = std::vector<std::int16_t>;
    const struct {
        const char* name;
        S stretch;
        std::optional<LimitCycle> cycle;
    } cases[] = {
        {"settled to a constant", S(20, 3), LimitCycle{0, 1}},
        {"period 2", {1, -1, 1, -1, 1, -1}, LimitCycle{2, 2}},
        {"period 3, seen twice", {0, 5, -2, 0, 5, -2}, LimitCycle{7, 3}},
        {"period 3, seen less than twice", {0, 5, -2, 0, 5}, std::nullopt},
        {"a transient before the cycle", {9, 1, -1, 1, -1, 1, -1}, std::nullopt},
        {"too short to tell", {4}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(limit_cycle_of(c.stretch), c.cycle);
    }
}

TEST(LimitCycle, OfRunsThatHuntAndThatSettle) {
    const struct {
        RegulationGains gains;
        std::optional<LimitCycle> cycle;
    } runs[] = {
        {{2000, 60, 0, 0, 10}, LimitCycle{53, 144}},  // a pattern of four passes, which shifts every 144
        {{250, 60, 0, 0, 10}, LimitCycle{0, 1}},      // settles at rest
    };
    for (const auto& r : runs) {
        std::vector<std::int16_t> speeds;
        Engine engine;
        run_headless(engine, {true, 6000, r.gains},
                     [&speeds](const RegulationRun&, const RegulationPoints& points, std::int64_t) {
                         speeds.push_back(static_cast<std::int16_t>(points.y[1]));
                     });
        const std::span<const std::int16_t> all(speeds);
        EXPECT_EQ(limit_cycle_of(all.last(static_cast<std::size_t>(limit_cycle_stretch(6000)))), r.cycle);
    }
}

}  // namespace
