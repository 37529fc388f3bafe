#pragma once
// Axis ranges, labels and the value-to-pixel mapping of the chart. Ranges
// grow in nice steps with room to spare, so that the picture is redrawn in
// full only now and then while a series grows. No Qt here.
#include <optional>
#include <string>
#include <vector>

struct AxisRange {
    double lo = 0;
    double hi = 1;

    bool contains(double a, double b) const { return lo <= a && b <= hi; }
    bool operator==(const AxisRange&) const = default;
};

// The smallest number unit * {1, 2, 5} * 10^k not below v. With a positive
// `base` the unit is base and k >= 0 (so the result is a multiple of base);
// with base <= 0 the unit is 1 and k is any integer.
double nice_at_least(double v, double base);

// The range of an X axis that must show [dataLo, dataHi]: the current one
// while it does, otherwise one span of base * {1, 2, 4, 5} * 10^k (k >= 0;
// with base <= 0 the unit is 1 and k any integer) wide at least, starting at
// a multiple of that span. A series that grows to the right from 0 sees the
// span at most double, so its points always fill at least half the axis.
AxisRange grow_x_range(const std::optional<AxisRange>& current, double dataLo, double dataHi, double base);

// The range of a Y axis that must show [dataLo, dataHi]: the current one
// while it does. A first range leaves 10% of the data span free on each side;
// a side that overflowed gets half the data span of room, the other side
// stays. Bounds are rounded out to a tenth of the span, in nice numbers.
AxisRange grow_y_range(const std::optional<AxisRange>& current, double dataLo, double dataHi);

// [lo, hi] widened by `margin` of its span on each side; a single value gets
// a tenth of its magnitude (at least 1) on each side.
AxisRange fit_range(double lo, double hi, double margin);

// Distance of labels: the smallest nice number (see nice_at_least) that
// keeps them at least `minSpacing` pixels apart on an axis `pixels` long.
double label_step(const AxisRange& range, int pixels, int minSpacing, double base);
// The multiples of step inside range, ascending.
std::vector<double> label_values(const AxisRange& range, double step);
// A label's text: as many decimals as the step needs.
std::string label_text(double value, double step);

// A logarithmic axis lays its values out by their decades: a value v sits at
// the position log10(v), and the axis' range and map are in positions. Its
// labels are 1, 2 and 5 times the powers of ten in the range while they keep
// `minSpacing` pixels apart on an axis `pixels` long, else the powers of ten
// alone, every one or every 2nd, 5th, 10th ..., as positions, ascending.
std::vector<double> log_label_values(const AxisRange& positions, int pixels, int minSpacing);
// A label's text: the value at the position, in plain decimals ("0.2", "50").
std::string log_label_text(double position);
// The range of a logarithmic axis that must show the positions [dataLo,
// dataHi]: the current one while it does, else whole decades around them.
AxisRange grow_decades(const std::optional<AxisRange>& current, double dataLo, double dataHi);

// Value to pixel, rounded to the nearest pixel; range.lo lands on pixelLo
// and range.hi on pixelHi (which may be smaller, as on a Y axis). NaN maps to
// the far end of the pixel space, beyond everything drawn.
class AxisMap {
public:
    AxisMap() = default;
    AxisMap(const AxisRange& range, int pixelLo, int pixelHi);
    int pixel(double value) const;
    // Where `value` lands before rounding, without the pixel limit.
    double position(double value) const { return origin_ + (value - range_.lo) * scale_; }
    // The value that lands on `pixel`: position's inverse.
    double value(double pixel) const { return scale_ != 0 ? range_.lo + (pixel - origin_) / scale_ : range_.lo; }
    const AxisRange& range() const { return range_; }

    static constexpr int kPixelLimit = 1 << 24;

private:
    AxisRange range_;
    double origin_ = 0;
    double scale_ = 0;
};

// Zoom and pan: the range `span` wide in which `value` lands on `pixel`, on
// an axis that maps its range onto pixelLo ... pixelHi. Used with the value
// under the cursor, it keeps that value under the cursor.
AxisRange anchored_range(double span, double value, double pixel, int pixelLo, int pixelHi);

// Whether a range the user zoomed or panned to can be shown: finite, inside
// +-kViewLimit, and wide enough that positions of the farthest plottable
// points stay finite and neighbouring pixels stay apart in doubles.
inline constexpr double kViewLimit = 1e16;
bool viewable_range(const AxisRange& range);

// A line between two positions in pixels, not yet rounded.
struct PixelSegment {
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;
};
// Cuts `s` to its part inside [left, right] x [top, bottom]; false when no
// part of it is inside. Ends that are inside stay exactly as they are.
bool clip_segment(PixelSegment& s, double left, double top, double right, double bottom);
