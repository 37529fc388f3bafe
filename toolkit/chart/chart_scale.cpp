#include "toolkit/chart/chart_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

double nice_at_least(double v, double base) {
    const double unit = base > 0 ? base : 1.0;
    if (!(v > 0) || !std::isfinite(v)) return unit;
    const double r = v / unit;
    if (base > 0 && r <= 1) return unit;
    const double decade = std::pow(10.0, std::floor(std::log10(r)));
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        // The tolerance keeps 3 * 0.1 from asking for the next step up.
        if (m * decade >= r * (1 - 1e-12)) return m * decade * unit;
    }
    return 10 * decade * unit;
}

namespace {

// As nice_at_least, in steps of {1, 2, 4, 5}: none more than twice the one before.
double axis_span_at_least(double v, double base) {
    const double unit = base > 0 ? base : 1.0;
    if (!(v > 0) || !std::isfinite(v)) return unit;
    const double r = v / unit;
    if (base > 0 && r <= 1) return unit;
    const double decade = std::pow(10.0, std::floor(std::log10(r)));
    for (double m : {1.0, 2.0, 4.0, 5.0, 10.0}) {
        if (m * decade >= r * (1 - 1e-12)) return m * decade * unit;
    }
    return 10 * decade * unit;
}

// Rounds [a, b] out to multiples of step, and never cuts into [a, b] when
// the rounding itself is imprecise (huge values, tiny steps).
AxisRange round_out(double a, double b, double step) {
    AxisRange r{std::floor(a / step) * step, std::ceil(b / step) * step};
    if (r.hi <= r.lo) r.hi = r.lo + step;
    r.lo = std::min(r.lo, a);
    r.hi = std::max(r.hi, b);
    return r;
}

}  // namespace

AxisRange grow_x_range(const std::optional<AxisRange>& current, double dataLo, double dataHi, double base) {
    if (current && current->contains(dataLo, dataHi)) return *current;
    const double span = axis_span_at_least(dataHi - dataLo, base);
    return round_out(dataLo, dataHi, span);
}

AxisRange fit_range(double lo, double hi, double margin) {
    if (!(hi > lo)) {
        const double room = std::max(std::fabs(lo) * 0.1, 1.0);
        return AxisRange{lo - room, lo + room};
    }
    const double room = (hi - lo) * margin;
    return AxisRange{lo - room, hi + room};
}

AxisRange grow_y_range(const std::optional<AxisRange>& current, double dataLo, double dataHi) {
    if (current && current->contains(dataLo, dataHi)) return *current;
    double span = dataHi - dataLo;
    if (span <= 0) span = dataLo != 0 ? std::fabs(dataLo) * 0.2 : 1.0;
    double a = dataLo - span * 0.1;
    double b = dataHi + span * 0.1;
    if (current) {
        a = dataLo < current->lo ? dataLo - span * 0.5 : current->lo;
        b = dataHi > current->hi ? dataHi + span * 0.5 : current->hi;
    }
    AxisRange r = round_out(a, b, nice_at_least((b - a) / 10, 0));
    if (current && dataLo >= current->lo) r.lo = current->lo;
    if (current && dataHi <= current->hi) r.hi = current->hi;
    return r;
}

double label_step(const AxisRange& range, int pixels, int minSpacing, double base) {
    const double span = range.hi - range.lo;
    if (pixels <= 0) return nice_at_least(span, base);
    return nice_at_least(span * minSpacing / pixels, base);
}

std::vector<double> label_values(const AxisRange& range, double step) {
    std::vector<double> values;
    if (!(step > 0)) return values;
    const double first = std::ceil(range.lo / step - 1e-9);
    // A label count far beyond any axis length means a step too small for
    // the range: show none rather than loop on.
    constexpr int kMaxLabels = 1000;
    for (int i = 0; i < kMaxLabels; ++i) {
        const double v = (first + i) * step;
        if (v > range.hi + step * 1e-9) return values;
        values.push_back(v);
    }
    return {};
}

std::string label_text(double value, double step) {
    int decimals = 0;
    if (step > 0 && step < 1) decimals = std::min(15, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
    // Multiples of the step that should be zero print as 0, not -0.
    if (std::fabs(value) < step * 1e-6) value = 0;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::vector<double> log_label_values(const AxisRange& positions, int pixels, int minSpacing) {
    std::vector<double> values;
    const double decades = positions.hi - positions.lo;
    if (!(decades > 0) || !std::isfinite(decades)) return values;
    const double decadePixels = pixels / decades;
    const int first = static_cast<int>(std::floor(positions.lo + 1e-9));
    const int last = static_cast<int>(std::floor(positions.hi + 1e-9));
    constexpr int kMaxDecades = 1000;
    if (last - first > kMaxDecades) return values;
    const auto inside = [&](double p) { return p >= positions.lo - 1e-9 && p <= positions.hi + 1e-9; };
    // 1 to 2 is the narrowest step of 1, 2, 5: log10(2) of a decade.
    if (std::log10(2.0) * decadePixels >= minSpacing) {
        for (int d = first; d <= last; ++d) {
            for (double m : {1.0, 2.0, 5.0}) {
                const double p = d + std::log10(m);
                if (inside(p)) values.push_back(p);
            }
        }
        return values;
    }
    const double every = nice_at_least(decadePixels > 0 ? minSpacing / decadePixels : decades, 1.0);
    for (int d = first; d <= last; ++d) {
        if (std::fmod(double(d), every) == 0 && inside(d)) values.push_back(d);
    }
    return values;
}

std::string log_label_text(double position) {
    const double decade = std::floor(position + 1e-9);
    const double value = std::round(std::pow(10.0, position - decade) * 1e9) / 1e9 * std::pow(10.0, decade);
    return label_text(value, std::pow(10.0, decade));
}

AxisRange grow_decades(const std::optional<AxisRange>& current, double dataLo, double dataHi) {
    if (current && current->contains(dataLo, dataHi)) return *current;
    AxisRange r{std::floor(dataLo + 1e-9), std::ceil(dataHi - 1e-9)};
    if (r.hi <= r.lo) r.hi = r.lo + 1;
    if (current) r = AxisRange{std::min(r.lo, current->lo), std::max(r.hi, current->hi)};
    return r;
}

AxisMap::AxisMap(const AxisRange& range, int pixelLo, int pixelHi)
    : range_(range), origin_(pixelLo), scale_(range.hi > range.lo ? (pixelHi - pixelLo) / (range.hi - range.lo) : 0) {}

int AxisMap::pixel(double value) const {
    double t = origin_ + (value - range_.lo) * scale_;
    if (std::isnan(t)) return kPixelLimit;
    t = std::clamp(t, -double{kPixelLimit}, double{kPixelLimit});
    return static_cast<int>(std::floor(t + 0.5));
}

AxisRange anchored_range(double span, double value, double pixel, int pixelLo, int pixelHi) {
    if (pixelHi == pixelLo) return AxisRange{value - span / 2, value + span / 2};
    const double lo = value - (pixel - pixelLo) / double(pixelHi - pixelLo) * span;
    return AxisRange{lo, lo + span};
}

bool viewable_range(const AxisRange& range) {
    if (!std::isfinite(range.lo) || !std::isfinite(range.hi)) return false;
    if (std::fabs(range.lo) > kViewLimit || std::fabs(range.hi) > kViewLimit) return false;
    // A millionth keeps the scale of any axis below 1e10 pixels per unit, so
    // a point at kPlotLimit lands at about 1e25 at most; a billionth of the
    // magnitude leaves some 10^6 distinct doubles per pixel.
    const double magnitude = std::max(std::fabs(range.lo), std::fabs(range.hi));
    return range.hi - range.lo >= std::max(1e-6, magnitude * 1e-9);
}

bool clip_segment(PixelSegment& s, double left, double top, double right, double bottom) {
    // Liang-Barsky: the segment is s0 + t * d for t in [0, 1]; every box edge
    // narrows the interval of t. A cut end is put on its edge exactly and
    // only its other coordinate interpolated, so an upright or level line
    // from far away keeps its place however large its ends.
    const double dx = s.x1 - s.x0;
    const double dy = s.y1 - s.y0;
    struct Cut {
        double t;
        bool onX = false;  // false: on a top or bottom edge
        double edge = 0;
        bool cut = false;
    };
    Cut start{0};
    Cut end{1};
    auto narrow = [&](double p, double q, bool onX, double edge) {  // inside where p * t <= q
        if (p == 0) return q >= 0;
        const double t = q / p;
        if (p < 0) {
            if (t > end.t) return false;
            if (t > start.t) start = Cut{t, onX, edge, true};
        } else {
            if (t < start.t) return false;
            if (t < end.t) end = Cut{t, onX, edge, true};
        }
        return true;
    };
    if (!narrow(-dx, s.x0 - left, true, left) || !narrow(dx, right - s.x0, true, right) ||
        !narrow(-dy, s.y0 - top, false, top) || !narrow(dy, bottom - s.y0, false, bottom)) {
        return false;
    }
    const PixelSegment from = s;
    auto place = [&](const Cut& c, double& x, double& y) {
        x = c.onX ? c.edge : std::clamp(from.x0 + c.t * dx, left, right);
        y = c.onX ? std::clamp(from.y0 + c.t * dy, top, bottom) : c.edge;
    };
    if (start.cut) place(start, s.x0, s.y0);
    if (end.cut) place(end, s.x1, s.y1);
    return true;
}
