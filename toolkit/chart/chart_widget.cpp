#include "toolkit/chart/chart_widget.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QRegion>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMargin = 6;       // between the widget's edge and everything else
constexpr int kTick = 4;         // axis tick length
constexpr int kSwatch = 24;      // legend line sample length
constexpr int kLabelGap = 12;    // least free space between two bottom labels
constexpr double kZoomStep = 1.25;  // span shown after one wheel notch back; forward is its inverse
constexpr int kDashColumns = 6;    // length of a dash and of the gap after it
constexpr int kCursorGrip = 4;     // pixels either side of a cursor's line that grip it
constexpr int kHandle = 11;        // width of a cursor's handle at the top of the plot
const QColor kCursorColors[2] = {QColor(0, 90, 200), QColor(200, 90, 0)};
const QColor kHiddenText(160, 160, 160);
const QColor kSurround(240, 240, 240);
const QColor kFrame(128, 128, 128);
const QColor kGrid(224, 224, 224);

QColor to_qcolor(TColor c) { return QColor(color_red(c), color_green(c), color_blue(c)); }

// The colour faded toward white by `alpha` (255 keeps it): what it would be
// drawn over the white plot, without blending overlapping segments twice.
QColor faded(TColor c, int alpha) {
    const int a = std::clamp(alpha, 0, 255);
    auto mix = [a](int v) { return (v * a + 255 * (255 - a) + 127) / 255; };
    return QColor(mix(color_red(c)), mix(color_green(c)), mix(color_blue(c)));
}

int pen_width(const TLineSeries& series) { return std::max(1, series.Width()); }

// A segment as a wide pen with square caps draws it: the rectangle around
// it, half a pen wide on each side and beyond each end, so a zero-length
// segment is a dot as wide as the pen and adjacent segments join without
// gaps. It is filled as a polygon rather than drawn as a wide line because
// Qt rasterises a wide line a pixel differently when the clip cuts it, and
// a strip must look exactly as the same part of a full drawing. Integer
// coordinates are pixel corners, as for Qt's own lines.
//
// Upright and level segments (every column span, and dots) are filled as
// rectangles, five times faster for tall spans. Qt fills a pixel of such a
// polygon when its centre lies in (left, right] x (top, bottom]; the
// rectangle takes exactly those pixels.
void fill_segment(QPainter& painter, QPoint from, QPoint to, int width) {
    const double h = width / 2.0;
    if (from.x() == to.x() || from.y() == to.y()) {
        auto first = [h](int lo) { return static_cast<int>(std::floor(lo - h - 0.5)) + 1; };
        auto last = [h](int hi) { return static_cast<int>(std::floor(hi + h - 0.5)); };
        painter.fillRect(QRect(QPoint(first(std::min(from.x(), to.x())), first(std::min(from.y(), to.y()))),
                               QPoint(last(std::max(from.x(), to.x())), last(std::max(from.y(), to.y())))),
                         painter.brush());
        return;
    }
    double dx = to.x() - from.x();
    double dy = to.y() - from.y();
    const double length = std::hypot(dx, dy);
    if (length == 0) {
        dx = 1;
        dy = 0;
    } else {
        dx /= length;
        dy /= length;
    }
    const double ax = (dx + dy) * h;  // back along the segment and to one side
    const double ay = (dy - dx) * h;
    const double bx = (dx - dy) * h;  // back along it and to the other side
    const double by = (dy + dx) * h;
    const QPointF corners[4] = {
        QPointF(from.x() - ax, from.y() - ay),
        QPointF(to.x() + bx, to.y() + by),
        QPointF(to.x() + ax, to.y() + ay),
        QPointF(from.x() - bx, from.y() - by),
    };
    painter.drawConvexPolygon(corners, 4);
}

void use_colour(QPainter& painter, const QColor& colour) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
}

// Columns a segment end's pen reaches beyond its own pixel, with one to spare.
int pen_reach(int width) { return width / 2 + 2; }

// Where dashes are drawn within `area`: every other run of kDashColumns
// columns, counted from the widget's left edge.
QRegion dash_region(const QRect& area) {
    QRegion region;
    const int first = area.left() - area.left() % (2 * kDashColumns);
    for (int x = first; x <= area.right(); x += 2 * kDashColumns) {
        region += QRect(x, area.top(), kDashColumns, area.height()) & area;
    }
    return region;
}

// The range `right` moves and scales with its partner as `from` became `to`.
AxisRange follow_range(const AxisRange& from, const AxisRange& to, const AxisRange& right) {
    const double span = from.hi - from.lo;
    if (!(span > 0)) return right;
    const double scale = (right.hi - right.lo) / span;
    return AxisRange{right.lo + (to.lo - from.lo) * scale, right.lo + (to.hi - from.lo) * scale};
}

// A position rounded to its pixel, as AxisMap::pixel rounds.
int round_pixel(double t) { return static_cast<int>(std::floor(t + 0.5)); }

double span_of(const AxisRange& r) { return r.hi - r.lo; }

}  // namespace

ChartWidget::ChartWidget(ChartModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    model_.set_listener(this);
}

ChartWidget::~ChartWidget() {
    if (model_.listener() == this) model_.set_listener(nullptr);
}

void ChartWidget::series_changed() { invalidate(); }

void ChartWidget::point_added(std::size_t series, std::size_t index) {
    std::size_t& from = undrawn_from(series);
    from = std::min(from, index);
}

void ChartWidget::series_cleared(std::size_t series) {
    undrawn_from(series) = 0;
    reset_ranges();
}

// Overlays come and go: any change but an added point draws everything anew.
void ChartWidget::overlays_changed() { invalidate(); }

void ChartWidget::overlay_point_added(std::size_t overlay, std::size_t index) {
    std::size_t& from = overlay_undrawn_from(overlay);
    from = std::min(from, index);
}

std::size_t& ChartWidget::undrawn_from(std::size_t series) {
    // A series added since the last drawing has nothing drawn yet.
    if (series >= undrawnFrom_.size()) undrawnFrom_.resize(series + 1, 0);
    return undrawnFrom_[series];
}

std::size_t& ChartWidget::overlay_undrawn_from(std::size_t overlay) {
    if (overlay >= overlayUndrawnFrom_.size()) overlayUndrawnFrom_.resize(overlay + 1, 0);
    return overlayUndrawnFrom_[overlay];
}

void ChartWidget::set_title(const std::string& title) {
    title_ = title;
    invalidate();
}

void ChartWidget::set_bottom_title(const std::string& title) {
    bottomTitle_ = title;
    invalidate();
}

void ChartWidget::set_bottom_increment(double step) {
    bottomIncrement_ = step > 0 ? step : 0;
    xRange_.reset();
    invalidate();
}

void ChartWidget::invalidate() { stale_ = true; }

// A Clear starts a new run (the regulation clears every series first): the
// view the user chose for the old points would show the new run in axes
// picked for data that is gone, possibly of the other mode with other
// scales, and a view with nothing in it looks like a run that does nothing.
// So a Clear ends the user's view along with the automatic ranges.
void ChartWidget::reset_ranges() {
    xRange_.reset();
    yRange_.reset();
    rightRange_.reset();
    userView_.reset();
    stale_ = true;
}

AxisRange ChartWidget::shown_x() const {
    if (userView_) return userView_->x;
    if (xRange_) return *xRange_;
    return AxisRange{0, 10 * (bottomIncrement_ > 0 ? bottomIncrement_ : 1)};
}

AxisRange ChartWidget::shown_y() const {
    if (userView_) return userView_->y;
    return yRange_.value_or(AxisRange{0, 100});
}

AxisRange ChartWidget::shown_right() const {
    if (userView_) return userView_->right;
    return rightRange_.value_or(AxisRange{0, 100});
}

// The right-hand axis follows the left one: zoomed and panned alike.
bool ChartWidget::set_view(const AxisRange& x, const AxisRange& y) {
    const AxisRange right = follow_range(shown_y(), y, shown_right());
    if (!viewable_range(x) || !viewable_range(y) || (rightAxis_ && !viewable_range(right))) return false;
    if (!userView_ || userView_->x != x || userView_->y != y) stale_ = true;
    userView_ = View{x, y, right};
    update();
    return true;
}

void ChartWidget::show_all() {
    if (!userView_) return;
    userView_.reset();
    stale_ = true;
    update();
}

std::vector<ChartWidget::Line> ChartWidget::lines() const {
    std::vector<Line> out;
    auto* self = const_cast<ChartWidget*>(this);  // the undrawn marks are the widget's own bookkeeping
    for (std::size_t i = 0; i < model_.OverlayCount(); ++i) {
        const TChartOverlay& o = *model_.Overlay(i);
        if (!o.Visible()) continue;
        const TOverlayStyle& s = o.Style();
        out.push_back(Line{&o.Points(), &self->overlay_undrawn_from(i), std::max(1, s.Width), faded(s.Color, s.Alpha),
                           s.Dashed, on_right(s.AxisOf)});
    }
    for (std::size_t i = 0; i < model_.SeriesCount(); ++i) {
        const TLineSeries& series = *model_.Series(i);
        if (!series.Visible()) continue;
        out.push_back(Line{&series.Points(), &self->undrawn_from(i), pen_width(series), to_qcolor(series.Color()),
                           false, on_right(static_cast<int>(i))});
    }
    return out;
}

namespace {

struct Extents {
    ValueSpan x;
    ValueSpan left;
    ValueSpan right;
};

// A range that has just grown and would leave the data less than half of
// it starts afresh, fitted to the data as a first range is.
template <class Fresh>
AxisRange keep_half(const AxisRange& grown, const ValueSpan& data, Fresh fresh) {
    const double dataSpan = data.hi - data.lo;
    if (dataSpan > 0 && dataSpan < 0.5 * (grown.hi - grown.lo)) return fresh(data.lo, data.hi);
    return grown;
}

}  // namespace

void ChartWidget::grow_ranges() {
    Extents e;
    for (const Line& line : lines()) {
        e.x.add(line.points->x_extent());
        (line.right ? e.right : e.left).add(line.points->y_extent());
    }
    if (e.x.empty()) return;
    const double base = bottomIncrement_;
    AxisRange x = grow_x_range(xRange_, e.x.lo, e.x.hi, base);
    if (x != xRange_) {
        x = keep_half(x, e.x, [base](double lo, double hi) { return grow_x_range(std::nullopt, lo, hi, base); });
    }
    auto grow_y = [](const std::optional<AxisRange>& current, const ValueSpan& data) -> std::optional<AxisRange> {
        if (data.empty()) return current;
        const AxisRange grown = grow_y_range(current, data.lo, data.hi);
        if (grown == current) return grown;
        return keep_half(grown, data, [](double lo, double hi) { return grow_y_range(std::nullopt, lo, hi); });
    };
    const std::optional<AxisRange> y = grow_y(yRange_, e.left);
    const std::optional<AxisRange> right = grow_y(rightRange_, e.right);
    if (x != xRange_ || y != yRange_ || right != rightRange_) {
        xRange_ = x;
        yRange_ = y;
        rightRange_ = right;
        // The user's view keeps its axes while the automatic ranges grow.
        if (!userView_) stale_ = true;
    }
}

void ChartWidget::fit_to_data() {
    Extents e;
    for (const Line& line : lines()) {
        e.x.add(line.points->x_extent());
        (line.right ? e.right : e.left).add(line.points->y_extent());
    }
    userView_.reset();
    drag_.reset();
    if (e.x.empty()) {
        reset_ranges();
    } else {
        xRange_ = fit_range(e.x.lo, e.x.hi, 0.02);
        yRange_ = e.left.empty() ? std::nullopt : std::optional<AxisRange>(fit_range(e.left.lo, e.left.hi, 0.05));
        rightRange_ = e.right.empty() ? std::nullopt : std::optional<AxisRange>(fit_range(e.right.lo, e.right.hi, 0.05));
    }
    stale_ = true;
    update();
}

void ChartWidget::set_right_axis(bool on) {
    if (on == rightAxis_) return;
    rightAxis_ = on;
    // Each axis now holds other lines: their ranges fit them afresh.
    yRange_.reset();
    rightRange_.reset();
    userView_.reset();
    stale_ = true;
    update();
}

void ChartWidget::set_cursor(int which, std::optional<double> x) {
    if (which < 0 || which > 1) return;
    if (x && !std::isfinite(*x)) return;
    if (cursors_[which] == x) return;
    cursors_[which] = x;
    stale_ = true;
    update();
    if (cursor_moved) cursor_moved();
}

std::optional<double> ChartWidget::cursor(int which) const {
    return which >= 0 && which <= 1 ? cursors_[which] : std::nullopt;
}

double ChartWidget::x_at(int x) {
    grow_ranges();
    return layout_now().xMap.value(x);
}

void ChartWidget::notify_view_change() {
    const View now{shown_x(), shown_y(), shown_right()};
    if (lastView_ && lastView_->x == now.x && lastView_->y == now.y && lastView_->right == now.right) return;
    lastView_ = now;
    if (view_changed) view_changed();
}

QRect ChartWidget::update_picture() {
    grow_ranges();
    if (picture_.size() != size()) stale_ = true;

    QRect changed;
    if (stale_) {
        draw_all();
        changed = rect();
    } else {
        const QRect& plot = layout_.plot;
        for (const Line& line : lines()) {
            const std::size_t count = line.points->size();
            if (*line.undrawnFrom >= count) continue;
            // From the last point already drawn (its segment end changes) to
            // the last one.
            const std::size_t first = *line.undrawnFrom > 0 ? *line.undrawnFrom - 1 : 0;
            *line.undrawnFrom = count;
            const int reach = pen_reach(line.width);
            const int c0 = layout_.xMap.pixel(line.points->x(first));
            const int c1 = layout_.xMap.pixel(line.points->x(count - 1));
            // X ascends, so new points all beyond one side of a zoomed view
            // change nothing on screen.
            if (c1 < plot.left() - reach || c0 > plot.right() + reach) continue;
            changed |= QRect(QPoint(std::max(c0, plot.left()) - reach, plot.top()),
                             QPoint(std::min(c1, plot.right()) + reach, plot.bottom()));
        }
        changed &= plot;
        if (!changed.isEmpty()) draw_plot_strip(changed);
    }
    pending_ |= changed;
    return changed;
}

void ChartWidget::repaint_now() {
    update_picture();
    // Nothing new still paints, so that a repaint always shows the picture.
    QRect area = pending_.isEmpty() ? layout_.plot : pending_;
    pending_ = QRect();
    repaint(area);
}

void ChartWidget::paintEvent(QPaintEvent* event) {
    update_picture();
    if (event->rect().contains(pending_)) pending_ = QRect();
    if (!pending_.isEmpty()) update(pending_);
    QPainter painter(this);
    for (const QRect& r : event->region()) painter.drawImage(r, picture_, r);
}

// A resize needs no mark of its own: the picture's size no longer matches.
// (Qt also resends the pending resize of a hidden widget on every grab.)
void ChartWidget::resizeEvent(QResizeEvent* event) { QWidget::resizeEvent(event); }

QPointF ChartWidget::value_at(QPointF at) const {
    const ChartLayout now = layout_now();
    return QPointF(now.xMap.value(at.x()), now.yMap.value(at.y()));
}

void ChartWidget::zoom_at(QPointF at, double xFactor, double yFactor) {
    grow_ranges();
    place_view(span_of(shown_x()) * xFactor, span_of(shown_y()) * yFactor, value_at(at), at);
}

bool ChartWidget::place_view(double xSpan, double ySpan, QPointF value, QPointF at) {
    // The plot's top and bottom do not depend on the ranges; its left edge
    // follows the width of the Y labels, so X is placed in the layout the
    // new Y range gives.
    const ChartLayout now = layout_now();
    const AxisRange y = anchored_range(ySpan, value.y(), at.y(), now.data.bottom(), now.data.top());
    const ChartLayout then = layout_for(shown_x(), y, follow_range(shown_y(), y, shown_right()));
    const AxisRange x = anchored_range(xSpan, value.x(), at.x(), then.data.left(), then.data.right());
    return set_view(x, y);
}

void ChartWidget::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    // A modifier may turn the wheel into a horizontal one on some platforms.
    const int eighths = delta.y() != 0 ? delta.y() : delta.x();  // 120 a notch
    if (eighths == 0) {
        event->ignore();
        return;
    }
    const double factor = std::pow(kZoomStep, -eighths / 120.0);
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    zoom_at(event->position(), ctrl && !shift ? 1 : factor, shift && !ctrl ? 1 : factor);
    event->accept();
}

int ChartWidget::legend_entry_at(QPointF at) const {
    const QRect& legend = layout_.legend;
    if (legend.isNull() || !legend.contains(at.toPoint())) return -1;
    const int line = QFontMetrics(font()).height();
    const int entry = (static_cast<int>(at.y()) - legend.top() - 4) / (line + 2);
    return entry >= 0 && static_cast<std::size_t>(entry) < model_.SeriesCount() ? entry : -1;
}

int ChartWidget::cursor_at(QPointF at) const {
    if (!layout_.plot.adjusted(-kCursorGrip, 0, kCursorGrip, 0).contains(at.toPoint())) return -1;
    for (int which : {1, 0}) {
        if (cursors_[which] && std::abs(layout_.xMap.pixel(*cursors_[which]) - at.x()) <= kCursorGrip) return which;
    }
    return -1;
}

void ChartWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    update_picture();
    if (const int entry = legend_entry_at(event->position()); entry >= 0) {
        TLineSeries& series = *model_.Series(static_cast<std::size_t>(entry));
        series.SetVisible(!series.Visible());
        update();
        event->accept();
        return;
    }
    if (const int which = cursor_at(event->position()); which >= 0) {
        cursorDrag_ = which;
        setCursor(Qt::SizeHorCursor);
        event->accept();
        return;
    }
    drag_ = Drag{event->position(), value_at(event->position()), span_of(shown_x()), span_of(shown_y()), false};
    event->accept();
}

void ChartWidget::mouseMoveEvent(QMouseEvent* event) {
    if (cursorDrag_ >= 0 && event->buttons().testFlag(Qt::LeftButton)) {
        set_cursor(cursorDrag_, value_at(event->position()).x());
        event->accept();
        return;
    }
    if (!drag_ || !event->buttons().testFlag(Qt::LeftButton)) {
        event->ignore();
        return;
    }
    const QPointF at = event->position();
    if (!drag_->panning) {
        // A click that wobbles a pixel or two is no pan.
        if ((at - drag_->from).manhattanLength() < QApplication::startDragDistance()) return;
        drag_->panning = true;
        setCursor(Qt::ClosedHandCursor);
    }
    place_view(drag_->xSpan, drag_->ySpan, drag_->value, at);
    event->accept();
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    if ((drag_ && drag_->panning) || cursorDrag_ >= 0) unsetCursor();
    drag_.reset();
    cursorDrag_ = -1;
    event->accept();
}

void ChartWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    drag_.reset();
    if (legend_entry_at(event->position()) >= 0) {
        // The second click of a quick pair on the legend switches again.
        mousePressEvent(event);
        return;
    }
    fit_to_data();
    event->accept();
}

TRect ChartWidget::plot_area() {
    update_picture();
    const QRect& d = layout_.data;
    return TRect{d.left(), d.top(), d.right() + 1, d.bottom() + 1};
}

QPoint ChartWidget::point_pixel(const TLineSeries& series, std::size_t index) {
    update_picture();
    bool right = false;
    for (std::size_t i = 0; i < model_.SeriesCount(); ++i) {
        if (model_.Series(i) == &series) right = on_right(static_cast<int>(i));
    }
    return pixel_of(series.Points(), index, right);
}

QRect ChartWidget::legend_entry(std::size_t index) {
    update_picture();
    const QRect& legend = layout_.legend;
    const int line = QFontMetrics(font()).height();
    if (legend.isNull() || index >= model_.SeriesCount()) return QRect();
    return QRect(legend.left() + 1, legend.top() + 4 + static_cast<int>(index) * (line + 2), legend.width() - 2, line);
}

QPoint ChartWidget::pixel_of(const SeriesData& points, std::size_t index, bool right) const {
    return QPoint(layout_.xMap.pixel(points.x(index)), y_map(right).pixel(points.y(index)));
}

void ChartWidget::draw_all() {
    if (picture_.size() != size()) picture_ = QImage(size(), QImage::Format_RGB32);
    layout_ = layout_now();
    if (!picture_.isNull()) {
        QPainter painter(&picture_);
        draw_surroundings(painter);
        draw_legend(painter);
    }
    draw_plot_strip(layout_.plot);
    for (std::size_t i = 0; i < model_.SeriesCount(); ++i) undrawn_from(i) = model_.Series(i)->Count();
    overlayUndrawnFrom_.assign(model_.OverlayCount(), 0);
    for (std::size_t i = 0; i < model_.OverlayCount(); ++i) overlayUndrawnFrom_[i] = model_.Overlay(i)->Count();
    stale_ = false;
    ++fullRedraws_;
    notify_view_change();
}

ChartLayout ChartWidget::layout_for(const AxisRange& xs, const AxisRange& ys, const AxisRange& rs) const {
    ChartLayout out;
    const QFontMetrics fm(font());
    const int line = fm.height();
    int top = kMargin;
    if (!title_.empty()) {
        out.title = QRect(0, top, width(), line);
        top += line + kMargin;
    }

    int right = width() - 1 - kMargin;
    if (model_.SeriesCount() > 0) {
        int textWidth = 0;
        for (std::size_t i = 0; i < model_.SeriesCount(); ++i) {
            textWidth = std::max(textWidth, fm.horizontalAdvance(QString::fromStdString(model_.Series(i)->Title())));
        }
        const int w = 6 + kSwatch + 6 + textWidth + 6;
        const int h = 4 + static_cast<int>(model_.SeriesCount()) * (line + 2) + 4;
        out.legend = QRect(right - w + 1, top, w, h);
        right = out.legend.left() - 1 - kMargin;
    }

    int bottom = height() - 1 - kMargin - line - kTick - 2;
    if (!bottomTitle_.empty()) bottom -= line + 2;

    // The side labels' width depends on their step, which depends on the
    // plot's height only.
    const int plotHeight = std::max(1, bottom - top + 1);
    auto labels_width = [&](const std::vector<double>& values, double step) {
        int widest = 0;
        for (double v : values) widest = std::max(widest, fm.horizontalAdvance(QString::fromStdString(label_text(v, step))));
        return widest;
    };
    out.yStep = label_step(ys, plotHeight, 2 * line, 0);
    out.yLabels = label_values(ys, out.yStep);
    const int left = kMargin + labels_width(out.yLabels, out.yStep) + 2 + kTick + 1;
    if (rightAxis_) {
        out.rightStep = label_step(rs, plotHeight, 2 * line, 0);
        out.rightLabels = label_values(rs, out.rightStep);
        right -= kTick + 2 + labels_width(out.rightLabels, out.rightStep) + 2;
    }

    out.plot = QRect(QPoint(left, top + 1), QPoint(std::max(left, right - 1), std::max(top + 1, bottom)));
    // Room for the series' pens only: an overlay's wider pen is cut at the plot's edge.
    int pad = 1;
    for (std::size_t i = 0; i < model_.SeriesCount(); ++i) pad = std::max(pad, (pen_width(*model_.Series(i)) + 1) / 2);
    out.data = out.plot.adjusted(pad, pad, -pad, -pad);
    if (out.data.width() < 1 || out.data.height() < 1) out.data = QRect(out.plot.center(), QSize(1, 1));

    out.xMap = AxisMap(xs, out.data.left(), out.data.right());
    out.yMap = AxisMap(ys, out.data.bottom(), out.data.top());
    if (rightAxis_) out.rightMap = AxisMap(rs, out.data.bottom(), out.data.top());

    // The bottom labels' width depends on their step and the step on their
    // width: a guess from the range's ends, then once more with the texts.
    auto x_step = [&](double base) {
        auto widest_at = [&](double step) {
            return std::max(fm.horizontalAdvance(QString::fromStdString(label_text(xs.lo, step))),
                            fm.horizontalAdvance(QString::fromStdString(label_text(xs.hi, step))));
        };
        const double guess = label_step(xs, out.data.width(), widest_at(1) + kLabelGap, base);
        return std::max(guess, label_step(xs, out.data.width(), widest_at(guess) + kLabelGap, base));
    };
    out.xStep = x_step(bottomIncrement_);
    out.xLabels = label_values(xs, out.xStep);
    // Zoomed in to less than two increments, the labels take finer steps.
    if (out.xLabels.size() < 2 && bottomIncrement_ > 0) {
        out.xStep = x_step(0);
        out.xLabels = label_values(xs, out.xStep);
    }
    return out;
}

void ChartWidget::draw_surroundings(QPainter& painter) {
    const ChartLayout& l = layout_;
    painter.fillRect(picture_.rect(), kSurround);
    const QFontMetrics fm(font());
    painter.setFont(font());
    painter.setPen(Qt::black);
    if (!l.title.isNull()) painter.drawText(l.title, Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(title_));

    painter.setPen(kFrame);
    painter.drawRect(l.plot.adjusted(-1, -1, 0, 0));

    const int line = fm.height();
    for (double v : l.yLabels) {
        const int y = l.yMap.pixel(v);
        painter.setPen(kFrame);
        painter.drawLine(l.plot.left() - 1 - kTick, y, l.plot.left() - 2, y);
        painter.setPen(Qt::black);
        const QRect box(0, y - line / 2, l.plot.left() - 2 - kTick - 2, line);
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(label_text(v, l.yStep)));
    }
    for (double v : l.rightLabels) {
        const int y = l.rightMap.pixel(v);
        painter.setPen(kFrame);
        painter.drawLine(l.plot.right() + 1, y, l.plot.right() + kTick, y);
        painter.setPen(Qt::black);
        const QRect box(l.plot.right() + kTick + 3, y - line / 2, 200, line);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(label_text(v, l.rightStep)));
    }
    const int tickTop = l.plot.bottom() + 1;
    for (double v : l.xLabels) {
        const int x = l.xMap.pixel(v);
        painter.setPen(kFrame);
        painter.drawLine(x, tickTop + 1, x, tickTop + kTick);
        painter.setPen(Qt::black);
        const QRect box(x - 100, tickTop + kTick + 2, 200, line);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(label_text(v, l.xStep)));
    }
    if (!bottomTitle_.empty()) {
        const QRect box(l.plot.left(), tickTop + kTick + 2 + line + 2, l.plot.width(), line);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(bottomTitle_));
    }
}

void ChartWidget::draw_legend(QPainter& painter) {
    const QRect& legend = layout_.legend;
    if (legend.isNull()) return;
    painter.fillRect(legend, Qt::white);
    painter.setPen(kFrame);
    painter.drawRect(legend.adjusted(0, 0, -1, -1));
    const QFontMetrics fm(font());
    const int line = fm.height();
    painter.save();
    painter.setClipRect(legend.adjusted(1, 1, -1, -1));
    for (std::size_t i = 0; i < model_.SeriesCount(); ++i) {
        const TLineSeries& series = *model_.Series(i);
        const int top = legend.top() + 4 + static_cast<int>(i) * (line + 2);
        const int mid = top + line / 2;
        // A hidden series' entry is dimmed.
        use_colour(painter, series.Visible() ? to_qcolor(series.Color()) : faded(series.Color(), 60));
        fill_segment(painter, QPoint(legend.left() + 6, mid), QPoint(legend.left() + 6 + kSwatch - 1, mid),
                     pen_width(series));
        painter.setPen(series.Visible() ? QColor(Qt::black) : kHiddenText);
        painter.setBrush(Qt::NoBrush);
        const QRect text(legend.left() + 6 + kSwatch + 6, top, legend.width(), line);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(series.Title()));
    }
    painter.restore();
}

// Draws the plot area within `strip` from scratch: white, grid, then every
// series in order, so a strip looks exactly as that part of a full drawing.
void ChartWidget::draw_plot_strip(const QRect& strip) {
    const ChartLayout& l = layout_;
    const QRect area = strip & l.plot;
    if (area.isEmpty() || picture_.isNull()) return;
    QPainter painter(&picture_);
    painter.setClipRect(area);
    painter.fillRect(area, Qt::white);
    for (double v : l.xLabels) {
        const int x = l.xMap.pixel(v);
        if (x >= area.left() && x <= area.right()) painter.fillRect(QRect(x, area.top(), 1, area.height()), kGrid);
    }
    for (double v : l.yLabels) {
        const int y = l.yMap.pixel(v);
        if (y >= area.top() && y <= area.bottom()) painter.fillRect(QRect(area.left(), y, area.width(), 1), kGrid);
    }
    for (const Line& line : lines()) {
        const int reach = pen_reach(line.width);
        if (line.dashed) painter.setClipRegion(dash_region(area));
        draw_line(painter, line, area.left() - reach, area.right() + reach);
        if (line.dashed) painter.setClipRect(area);
    }
    draw_cursors(painter, area);
}

// A cursor: a line across the plot and a lettered handle at its top.
void ChartWidget::draw_cursors(QPainter& painter, const QRect& area) {
    const QRect& plot = layout_.plot;
    for (int which : {0, 1}) {
        if (!cursors_[which]) continue;
        const int x = layout_.xMap.pixel(*cursors_[which]);
        if (x < plot.left() || x > plot.right()) continue;
        if (x + kHandle / 2 < area.left() || x - kHandle / 2 > area.right()) continue;
        const QColor& colour = kCursorColors[which];
        painter.fillRect(QRect(x, plot.top(), 1, plot.height()), colour);
        const QRect handle(x - kHandle / 2, plot.top(), kHandle, kHandle + 2);
        painter.fillRect(handle, colour);
        painter.setPen(Qt::white);
        painter.setFont(font());
        painter.drawText(handle, Qt::AlignCenter, which == 0 ? "A" : "B");
    }
}

namespace {

// First index in [first, last) whose point lies right of `column`, given
// that the points' columns do not decrease with the index. Gallops from
// `first`, so a column of few points costs few steps.
template <class ColumnOf>
std::size_t first_right_of(std::size_t first, std::size_t last, int column, ColumnOf column_of) {
    std::size_t lo = first;
    std::size_t step = 1;
    std::size_t hi = first;
    while (hi < last && column_of(hi) <= column) {
        lo = hi + 1;
        hi = first + step;
        step *= 2;
    }
    hi = std::min(hi, last);
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (column_of(mid) <= column) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

}  // namespace

// A series as its raw polyline would look, from per-column summaries: in
// every pixel column the segments between its points are vertical, so
// together they cover one vertical span from the column's lowest to its
// highest point; between columns the segment from one column's last point to
// the next one's first is drawn as it is. A point alone in its column and
// without neighbours to join is a dot.
//
// Lines are cut to a box a little beyond the plot before they are rounded:
// zoomed in, a neighbour can lie millions of pixels away, and rounding it to
// the pixel limit would bend the line. Within the box nothing changes, so a
// picture without far points is as it would be without the cut.
void ChartWidget::draw_line(QPainter& painter, const Line& line, int firstColumn, int lastColumn) {
    const SeriesData& points = *line.points;
    const std::size_t n = points.size();
    if (n == 0) return;
    const AxisMap& xMap = layout_.xMap;
    const AxisMap& yMap = y_map(line.right);
    auto column_of = [&](std::size_t i) { return xMap.pixel(points.x(i)); };
    auto joined = [&](std::size_t i) { return i > 0 && points.plottable(i - 1) && points.plottable(i); };
    const int width = line.width;
    const QRect box = layout_.plot.adjusted(-width - 8, -width - 8, width + 8, width + 8);
    auto add = [&](PixelSegment s) {
        if (!clip_segment(s, box.left(), box.top(), box.right(), box.bottom())) return;
        lines_.emplace_back(round_pixel(s.x0), round_pixel(s.y0), round_pixel(s.x1), round_pixel(s.y1));
    };
    auto segment = [&](std::size_t a, std::size_t b) {
        add(PixelSegment{xMap.position(points.x(a)), yMap.position(points.y(a)), xMap.position(points.x(b)),
                         yMap.position(points.y(b))});
    };

    lines_.clear();
    std::size_t i = first_right_of(0, n, firstColumn - 1, column_of);
    while (i < n) {
        const int column = column_of(i);
        if (column > lastColumn) break;
        const std::size_t end = first_right_of(i, n, column, column_of);
        if (joined(i)) segment(i - 1, i);
        if (end - i >= 2) {
            const ValueSpan span = points.y_span(i, end);
            if (!span.empty()) add(PixelSegment{double(column), yMap.position(span.hi), double(column), yMap.position(span.lo)});
        } else if (points.plottable(i) && !joined(i) && !(i + 1 < n && joined(i + 1))) {
            segment(i, i);
        }
        i = end;
    }
    // The segment that leaves the columns to the right, or crosses them all.
    if (i < n && joined(i)) segment(i - 1, i);
    if (lines_.empty()) return;
    use_colour(painter, line.color);
    for (const QLine& l : lines_) fill_segment(painter, l.p1(), l.p2(), width);
}
