#include "core/frequency/loop_margins.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;
constexpr double kBandwidthDropDb = 3.0;
constexpr int kNarrowingSteps = 60;  // bounds the regula falsi; it stands still long before
constexpr int kPeakSteps = 30;       // golden sections: the bracket shrinks to 5e-7 of itself

// To (-180, 180].
double wrap_half_turn(double degrees) {
    double w = std::fmod(degrees, 360.0);
    if (w <= -180.0) w += 360.0;
    if (w > 180.0) w -= 360.0;
    return w;
}

double closed_loop_db(std::complex<double> l) { return loop_gain_db(l / (1.0 + l)); }
double sensitivity(std::complex<double> l) { return 1.0 / std::abs(1.0 + l); }

// Where `value` (of log f) goes through zero between x0 and x1, where it is
// v0 and v1 of opposite signs: linear in between, or, with a closed form to
// ask, narrowed by regula falsi (the Illinois way, so neither end sticks).
template <class Value>
double zero_between(double x0, double x1, double v0, double v1, const Value* value) {
    if (v1 == 0.0) return x1;  // a crossing on a grid point, as at the Nyquist frequency
    if (value == nullptr) return v0 == v1 ? x0 : x0 + (x1 - x0) * v0 / (v0 - v1);
    int stuck = 0;  // which end stayed the last time: -1 the left, +1 the right
    for (int step = 0; step < kNarrowingSteps; ++step) {
        const double x = v0 == v1 ? 0.5 * (x0 + x1) : x0 + (x1 - x0) * v0 / (v0 - v1);
        if (!(x > x0 && x < x1)) return x0 + 0.5 * (x1 - x0);
        const double v = (*value)(x);
        if (v == 0.0) return x;
        if ((v < 0.0) == (v0 < 0.0)) {
            x0 = x;
            v0 = v;
            if (stuck == 1) v1 *= 0.5;
            stuck = 1;
        } else {
            x1 = x;
            v1 = v;
            if (stuck == -1) v0 *= 0.5;
            stuck = -1;
        }
    }
    return x0 + (x1 - x0) * v0 / (v0 - v1);
}

struct Crossing {
    double hz;
    double marginValue;  // PM or GM
};

// The frequency at log f = x, exactly the grid's where x is a grid point's.
double frequency_at(double x, const ResponsePoint& p0, const ResponsePoint& p1) {
    return x == std::log(p1.hz) ? p1.hz : x == std::log(p0.hz) ? p0.hz : std::exp(x);
}

void keep_smallest(std::optional<Crossing>& best, const Crossing& c) {
    if (!best || std::fabs(c.marginValue) < std::fabs(best->marginValue)) best = c;
}

// The margins of the points, refined on `loop` (L of log f) when it is given.
template <class Loop>
LoopMargins margins_with(std::span<const ResponsePoint> all, const Loop* loop) {
    std::vector<ResponsePoint> points;
    points.reserve(all.size());
    for (const ResponsePoint& p : all) {
        if (std::abs(p.loop) > 0.0 && std::isfinite(std::abs(p.loop))) points.push_back(p);
    }
    LoopMargins m;
    if (points.empty()) return m;

    std::optional<Crossing> gainCrossing, phaseCrossing;
    // Cheap tests on every segment (squared magnitudes, the signs of the
    // imaginary parts); logarithms and angles only where one may cross.
    double leastReturn = std::numeric_limits<double>::infinity();  // |1 + L|^2
    std::size_t bestMsAt = 0;
    std::optional<double> bandwidthHz;
    const double bandwidthLevel = closed_loop_db(points.front().loop) - kBandwidthDropDb;
    const double bandwidthNorm = std::norm(points.front().loop / (1.0 + points.front().loop)) * std::pow(10.0, -kBandwidthDropDb / 10.0);
    const auto closed_norm = [](std::complex<double> l) { return std::norm(l / (1.0 + l)); };

    for (std::size_t i = 0; i < points.size(); ++i) {
        const ResponsePoint& p1 = points[i];
        const double r = std::norm(1.0 + p1.loop);
        if (r < leastReturn) {
            leastReturn = r;
            bestMsAt = i;
        }
        if (i == 0) continue;
        const ResponsePoint& p0 = points[i - 1];
        const bool gainCrosses = (std::norm(p0.loop) >= 1.0) != (std::norm(p1.loop) >= 1.0);
        const double im0 = p0.loop.imag(), im1 = p1.loop.imag();
        // The shorter way between two points of one open half-plane never meets -180 degrees.
        const bool phaseMayCross = !((im0 < 0.0 && im1 < 0.0) || (im0 > 0.0 && im1 > 0.0));
        const bool bandwidthCrosses =
            !bandwidthHz && closed_norm(p0.loop) > bandwidthNorm && closed_norm(p1.loop) <= bandwidthNorm;
        if (!gainCrosses && !phaseMayCross && !bandwidthCrosses) continue;

        const double x0 = std::log(p0.hz), x1 = std::log(p1.hz);
        const double g0 = loop_gain_db(p0.loop), g1 = loop_gain_db(p1.loop);
        const double phase0 = loop_phase_deg(p0.loop);
        const double turn = wrap_half_turn(loop_phase_deg(p1.loop) - phase0);
        // The phase along the segment, continued from phase0 (it may leave (-360, 0]).
        const auto phase_at = [&](std::complex<double> l) { return phase0 + wrap_half_turn(loop_phase_deg(l) - phase0); };
        const auto share = [&](double x) { return x1 == x0 ? 0.0 : (x - x0) / (x1 - x0); };

        if (gainCrosses) {
            const auto gain = [&](double x) { return loop_gain_db((*loop)(x)); };
            const double x = zero_between(x0, x1, g0, g1, loop ? &gain : nullptr);
            const double phase = loop ? phase_at((*loop)(x)) : phase0 + turn * share(x);
            keep_smallest(gainCrossing, {frequency_at(x, p0, p1), 180.0 + loop_phase_deg(std::polar(1.0, phase / kDegrees))});
        }
        if (phaseMayCross && (phase0 > -180.0) != (phase0 + turn > -180.0)) {
            const auto phase = [&](double x) { return phase_at((*loop)(x)) + 180.0; };
            const double x = zero_between(x0, x1, phase0 + 180.0, phase0 + turn + 180.0, loop ? &phase : nullptr);
            const double g = loop ? loop_gain_db((*loop)(x)) : g0 + (g1 - g0) * share(x);
            keep_smallest(phaseCrossing, {frequency_at(x, p0, p1), -g});
        }
        if (bandwidthCrosses) {
            const double t0 = closed_loop_db(p0.loop) - bandwidthLevel, t1 = closed_loop_db(p1.loop) - bandwidthLevel;
            const auto level = [&](double x) { return closed_loop_db((*loop)(x)) - bandwidthLevel; };
            bandwidthHz = frequency_at(zero_between(x0, x1, t0, t1, loop ? &level : nullptr), p0, p1);
        }
    }
    double bestMs = 1.0 / std::sqrt(leastReturn);

    if (loop && points.size() > 1) {
        // Golden sections between the neighbours of the grid's largest |S|.
        double a = std::log(points[bestMsAt == 0 ? 0 : bestMsAt - 1].hz);
        double b = std::log(points[std::min(bestMsAt + 1, points.size() - 1)].hz);
        const double r = (std::sqrt(5.0) - 1.0) / 2.0;
        double c = b - r * (b - a), d = a + r * (b - a);
        double sc = sensitivity((*loop)(c)), sd = sensitivity((*loop)(d));
        for (int step = 0; step < kPeakSteps; ++step) {
            if (sc > sd) {
                b = d;
                d = c;
                sd = sc;
                c = b - r * (b - a);
                sc = sensitivity((*loop)(c));
            } else {
                a = c;
                c = d;
                sc = sd;
                d = a + r * (b - a);
                sd = sensitivity((*loop)(d));
            }
        }
        bestMs = std::max({bestMs, sc, sd});
    }

    if (gainCrossing) {
        m.crossoverHz = gainCrossing->hz;
        m.phaseMarginDeg = gainCrossing->marginValue;
    }
    if (phaseCrossing) {
        m.phaseCrossoverHz = phaseCrossing->hz;
        m.gainMarginDb = phaseCrossing->marginValue;
    }
    if (std::isfinite(bestMs)) m.ms = bestMs;
    m.bandwidthHz = bandwidthHz;
    return m;
}

}  // namespace

double loop_gain_db(std::complex<double> l) { return 20.0 * std::log10(std::abs(l)); }

double loop_phase_deg(std::complex<double> l) {
    const double degrees = std::arg(l) * kDegrees;  // [-180, 180]
    return degrees > 0.0 ? degrees - 360.0 : degrees;
}

LoopMargins margins_of(std::span<const ResponsePoint> points) {
    using Loop = std::complex<double> (*)(double);
    return margins_with<Loop>(points, nullptr);
}

std::vector<ResponsePoint> twin_curve(const TwinLoop& loop, double fromHz, double toHz) {
    // The grid's frequencies and their z, kept for the next gain set over the
    // same range (a search asks for many).
    struct Grid {
        double fromHz = 0.0, toHz = 0.0;
        std::vector<double> hz;
        std::vector<std::complex<double>> z;
    };
    thread_local Grid grid;
    if (grid.hz.empty() || grid.fromHz != fromHz || grid.toHz != toHz) {
        const int points =
            std::max(2, static_cast<int>(std::ceil(TWIN_GRID_PER_DECADE * std::log10(toHz / fromHz))) + 1);
        grid = {fromHz, toHz, log_spaced(fromHz, toHz, points), {}};
        for (const double hz : grid.hz) grid.z.push_back(unit_z(hz));
    }
    std::vector<ResponsePoint> curve(grid.hz.size());
    for (std::size_t i = 0; i < curve.size(); ++i) curve[i] = {grid.hz[i], loop.open_loop_at(grid.z[i])};
    return curve;
}

LoopMargins twin_margins(const TwinLoop& loop, double fromHz, double toHz) {
    const std::vector<ResponsePoint> grid = twin_curve(loop, fromHz, toHz);
    const auto at = [&loop](double x) { return loop.open_loop(std::exp(x)); };
    return margins_with(std::span<const ResponsePoint>(grid), &at);
}
