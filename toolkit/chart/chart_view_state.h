#pragma once
// What the chart's axes show, free of Qt: the automatic ranges, which grow
// with the data in nice steps, the user's view (zoomed or panned), which
// keeps its axes while the automatic ranges go on growing behind it, the
// right-hand axis for the first two series, and the two cursors.
//
// The right-hand axis follows the left one: zoomed and panned alike.
#include "toolkit/chart/chart_data.h"
#include "toolkit/chart/chart_scale.h"

#include <optional>

// Bounds of what is drawn: all lines along X, and along Y those against the
// left and those against the right-hand axis.
struct ChartExtents {
    ValueSpan x;
    ValueSpan left;
    ValueSpan right;
};

struct ChartRanges {
    AxisRange x;
    AxisRange y;
    AxisRange right;
    bool operator==(const ChartRanges&) const = default;
};

class ChartViewState {
public:
    // The step of the bottom axis' labels; the X range starts afresh.
    void set_bottom_increment(double step);
    double bottom_increment() const { return bottomIncrement_; }

    // A logarithmic X axis: its automatic range takes whole decades of
    // positions (grow_decades); the X range starts afresh.
    void set_log_x(bool on);
    bool log_x() const { return logX_; }

    // The ranges the axes show: the user's view, or the automatic ranges.
    AxisRange shown_x() const;
    AxisRange shown_y() const;
    AxisRange shown_right() const;
    ChartRanges shown() const { return {shown_x(), shown_y(), shown_right()}; }
    bool in_user_view() const { return userView_.has_value(); }

    // Grows the automatic ranges to show `e`. True when what is shown
    // changed (never in a user's view, which keeps its axes).
    bool grow(const ChartExtents& e);
    // Ends a user's view and fits the automatic ranges to `e`, with a small
    // margin; empty extents start the ranges afresh.
    void fit(const ChartExtents& e);
    // The data is gone: the ranges start afresh and a user's view ends.
    void reset();

    enum class Placed { Refused, Same, Changed };
    // Shows x and y as the user's view, the right-hand axis following;
    // refused (nothing changes) when a range cannot be shown (viewable_range).
    Placed set_view(const AxisRange& x, const AxisRange& y);
    // The right-hand axis' range once the left one shows y instead.
    AxisRange right_following(const AxisRange& y) const;
    // Back to the automatic ranges; false when there was no user's view.
    bool show_all();

    // On or off; each axis then holds other lines, so the Y ranges start
    // afresh and a user's view ends. False when it already was so.
    bool set_right_axis(bool on);
    bool right_axis() const { return rightAxis_; }
    // Whether the series at this place is drawn against the right-hand axis.
    bool on_right(int seriesIndex) const { return rightAxis_ && (seriesIndex == 0 || seriesIndex == 1); }

    // Cursor 0 (A) or 1 (B) at x, or removed; false when nothing changed
    // (also for another `which` or a non-finite x).
    bool set_cursor(int which, std::optional<double> x);
    std::optional<double> cursor(int which) const;

    // True once for every change of the shown ranges since the last call.
    bool take_view_change();

private:
    std::optional<AxisRange> xRange_;  // empty until the first plottable point
    std::optional<AxisRange> yRange_;
    std::optional<AxisRange> rightRange_;
    std::optional<ChartRanges> userView_;
    std::optional<ChartRanges> lastTold_;
    double bottomIncrement_ = 0;
    bool rightAxis_ = false;
    bool logX_ = false;
    std::optional<double> cursors_[2];
};
