#include "toolkit/chart/chart_view_state.h"

#include <cmath>

namespace {

// The range `right` moves and scales with its partner as `from` became `to`.
AxisRange follow_range(const AxisRange& from, const AxisRange& to, const AxisRange& right) {
    const double span = from.hi - from.lo;
    if (!(span > 0)) return right;
    const double scale = (right.hi - right.lo) / span;
    return AxisRange{right.lo + (to.lo - from.lo) * scale, right.lo + (to.hi - from.lo) * scale};
}

// A range that has just grown and would leave the data less than half of
// it starts afresh, fitted to the data as a first range is.
template <class Fresh>
AxisRange keep_half(const AxisRange& grown, const ValueSpan& data, Fresh fresh) {
    const double dataSpan = data.hi - data.lo;
    if (dataSpan > 0 && dataSpan < 0.5 * (grown.hi - grown.lo)) return fresh(data.lo, data.hi);
    return grown;
}

std::optional<AxisRange> grow_y(const std::optional<AxisRange>& current, const ValueSpan& data) {
    if (data.empty()) return current;
    const AxisRange grown = grow_y_range(current, data.lo, data.hi);
    if (grown == current) return grown;
    return keep_half(grown, data, [](double lo, double hi) { return grow_y_range(std::nullopt, lo, hi); });
}

std::optional<AxisRange> fitted(const ValueSpan& data, double margin) {
    if (data.empty()) return std::nullopt;
    return fit_range(data.lo, data.hi, margin);
}

}  // namespace

void ChartViewState::set_bottom_increment(double step) {
    bottomIncrement_ = step > 0 ? step : 0;
    xRange_.reset();
}

void ChartViewState::set_log_x(bool on) {
    logX_ = on;
    xRange_.reset();
    userView_.reset();
}

AxisRange ChartViewState::shown_x() const {
    if (userView_) return userView_->x;
    if (xRange_) return *xRange_;
    if (logX_) return AxisRange{0, 1};
    return AxisRange{0, 10 * (bottomIncrement_ > 0 ? bottomIncrement_ : 1)};
}

AxisRange ChartViewState::shown_y() const {
    if (userView_) return userView_->y;
    return yRange_.value_or(AxisRange{0, 100});
}

AxisRange ChartViewState::shown_right() const {
    if (userView_) return userView_->right;
    return rightRange_.value_or(AxisRange{0, 100});
}

bool ChartViewState::grow(const ChartExtents& e) {
    if (e.x.empty()) return false;
    const double base = bottomIncrement_;
    AxisRange x = logX_ ? grow_decades(xRange_, e.x.lo, e.x.hi) : grow_x_range(xRange_, e.x.lo, e.x.hi, base);
    if (x != xRange_ && !logX_) {
        x = keep_half(x, e.x, [base](double lo, double hi) { return grow_x_range(std::nullopt, lo, hi, base); });
    }
    const std::optional<AxisRange> y = grow_y(yRange_, e.left);
    const std::optional<AxisRange> right = grow_y(rightRange_, e.right);
    if (x == xRange_ && y == yRange_ && right == rightRange_) return false;
    xRange_ = x;
    yRange_ = y;
    rightRange_ = right;
    return !userView_;
}

void ChartViewState::fit(const ChartExtents& e) {
    userView_.reset();
    if (e.x.empty()) {
        reset();
        return;
    }
    xRange_ = fit_range(e.x.lo, e.x.hi, 0.02);
    yRange_ = fitted(e.left, 0.05);
    rightRange_ = fitted(e.right, 0.05);
}

// A Clear starts a new run (the regulation clears every series first): the
// view the user chose for the old points would show the new run in axes
// picked for data that is gone, possibly of the other mode with other
// scales, and a view with nothing in it looks like a run that does nothing.
// So a Clear ends the user's view along with the automatic ranges.
void ChartViewState::reset() {
    xRange_.reset();
    yRange_.reset();
    rightRange_.reset();
    userView_.reset();
}

AxisRange ChartViewState::right_following(const AxisRange& y) const { return follow_range(shown_y(), y, shown_right()); }

ChartViewState::Placed ChartViewState::set_view(const AxisRange& x, const AxisRange& y) {
    const AxisRange right = right_following(y);
    if (!viewable_range(x) || !viewable_range(y) || (rightAxis_ && !viewable_range(right))) return Placed::Refused;
    const bool changed = !userView_ || userView_->x != x || userView_->y != y;
    userView_ = ChartRanges{x, y, right};
    return changed ? Placed::Changed : Placed::Same;
}

bool ChartViewState::show_all() {
    if (!userView_) return false;
    userView_.reset();
    return true;
}

bool ChartViewState::set_right_axis(bool on) {
    if (on == rightAxis_) return false;
    rightAxis_ = on;
    yRange_.reset();
    rightRange_.reset();
    userView_.reset();
    return true;
}

bool ChartViewState::set_cursor(int which, std::optional<double> x) {
    if (which < 0 || which > 1) return false;
    if (x && !std::isfinite(*x)) return false;
    if (cursors_[which] == x) return false;
    cursors_[which] = x;
    return true;
}

std::optional<double> ChartViewState::cursor(int which) const {
    return which >= 0 && which <= 1 ? cursors_[which] : std::nullopt;
}

bool ChartViewState::take_view_change() {
    const ChartRanges now = shown();
    if (lastTold_ == now) return false;
    lastTold_ = now;
    return true;
}
