#include "toolkit/chart/chart_widget.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMargin = 6;       // between the widget's edge and everything else
constexpr int kTick = 4;         // axis tick length
constexpr int kSwatch = 24;      // legend line sample length
constexpr int kLabelGap = 12;    // least free space between two bottom labels
constexpr double kZoomStep = 1.25;  // span shown after one wheel notch back; forward is its inverse
const QColor kSurround(240, 240, 240);
const QColor kFrame(128, 128, 128);
const QColor kGrid(224, 224, 224);

QColor to_qcolor(TColor c) { return QColor(color_red(c), color_green(c), color_blue(c)); }

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

void use_series_colour(QPainter& painter, const TLineSeries& series) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(to_qcolor(series.Color()));
}

// Columns a segment end's pen reaches beyond its own pixel, with one to spare.
int pen_reach(const TLineSeries& series) { return pen_width(series) / 2 + 2; }

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

std::size_t& ChartWidget::undrawn_from(std::size_t series) {
    // A series added since the last drawing has nothing drawn yet.
    if (series >= undrawnFrom_.size()) undrawnFrom_.resize(series + 1, 0);
    return undrawnFrom_[series];
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

bool ChartWidget::set_view(const AxisRange& x, const AxisRange& y) {
    if (!viewable_range(x) || !viewable_range(y)) return false;
    if (!userView_ || userView_->x != x || userView_->y != y) stale_ = true;
    userView_ = View{x, y};
    update();
    return true;
}

void ChartWidget::show_all() {
    if (!userView_) return;
    userView_.reset();
    stale_ = true;
    update();
}

void ChartWidget::grow_ranges() {
    ValueSpan xs;
    ValueSpan ys;
    for (std::size_t i = 0; i < model_.SeriesCount(); ++i) {
        xs.add(model_.Series(i)->Points().x_extent());
        ys.add(model_.Series(i)->Points().y_extent());
    }
    if (xs.empty()) return;
    const AxisRange x = grow_x_range(xRange_, xs.lo, xs.hi, bottomIncrement_);
    const AxisRange y = grow_y_range(yRange_, ys.lo, ys.hi);
    if (x != xRange_ || y != yRange_) {
        xRange_ = x;
        yRange_ = y;
        // The user's view keeps its axes while the automatic ranges grow.
        if (!userView_) stale_ = true;
    }
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
        for (std::size_t i = 0; i < model_.SeriesCount(); ++i) {
            const TLineSeries& series = *model_.Series(i);
            const std::size_t count = series.Count();
            std::size_t& undrawnFrom = undrawn_from(i);
            if (undrawnFrom >= count) continue;
            // From the last point already drawn (its segment end changes) to
            // the last one.
            const std::size_t first = undrawnFrom > 0 ? undrawnFrom - 1 : 0;
            undrawnFrom = count;
            const int reach = pen_reach(series);
            const int c0 = layout_.xMap.pixel(series.Points().x(first));
            const int c1 = layout_.xMap.pixel(series.Points().x(count - 1));
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
    const ChartLayout now = layout_for(shown_x(), shown_y());
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
    const ChartLayout now = layout_for(shown_x(), shown_y());
    const AxisRange y = anchored_range(ySpan, value.y(), at.y(), now.data.bottom(), now.data.top());
    const ChartLayout then = layout_for(shown_x(), y);
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

void ChartWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    grow_ranges();
    drag_ = Drag{event->position(), value_at(event->position()), span_of(shown_x()), span_of(shown_y()), false};
    event->accept();
}

void ChartWidget::mouseMoveEvent(QMouseEvent* event) {
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
    if (drag_ && drag_->panning) unsetCursor();
    drag_.reset();
    event->accept();
}

void ChartWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    drag_.reset();
    show_all();
    event->accept();
}

TRect ChartWidget::plot_area() {
    update_picture();
    const QRect& d = layout_.data;
    return TRect{d.left(), d.top(), d.right() + 1, d.bottom() + 1};
}

QPoint ChartWidget::point_pixel(const TLineSeries& series, std::size_t index) {
    update_picture();
    return pixel_of(series.Points(), index);
}

QPoint ChartWidget::pixel_of(const SeriesData& points, std::size_t index) const {
    return QPoint(layout_.xMap.pixel(points.x(index)), layout_.yMap.pixel(points.y(index)));
}

void ChartWidget::draw_all() {
    if (picture_.size() != size()) picture_ = QImage(size(), QImage::Format_RGB32);
    layout_ = layout_for(shown_x(), shown_y());
    if (!picture_.isNull()) {
        QPainter painter(&picture_);
        draw_surroundings(painter);
        draw_legend(painter);
    }
    draw_plot_strip(layout_.plot);
    for (std::size_t i = 0; i < model_.SeriesCount(); ++i) undrawn_from(i) = model_.Series(i)->Count();
    stale_ = false;
    ++fullRedraws_;
}

ChartLayout ChartWidget::layout_for(const AxisRange& xs, const AxisRange& ys) const {
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

    // The left labels' width depends on their step, which depends on the
    // plot's height only.
    const int plotHeight = std::max(1, bottom - top + 1);
    out.yStep = label_step(ys, plotHeight, 2 * line, 0);
    out.yLabels = label_values(ys, out.yStep);
    int labelWidth = 0;
    for (double v : out.yLabels) {
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(QString::fromStdString(label_text(v, out.yStep))));
    }
    const int left = kMargin + labelWidth + 2 + kTick + 1;

    out.plot = QRect(QPoint(left, top + 1), QPoint(std::max(left, right - 1), std::max(top + 1, bottom)));
    int pad = 1;
    for (std::size_t i = 0; i < model_.SeriesCount(); ++i) pad = std::max(pad, (pen_width(*model_.Series(i)) + 1) / 2);
    out.data = out.plot.adjusted(pad, pad, -pad, -pad);
    if (out.data.width() < 1 || out.data.height() < 1) out.data = QRect(out.plot.center(), QSize(1, 1));

    out.xMap = AxisMap(xs, out.data.left(), out.data.right());
    out.yMap = AxisMap(ys, out.data.bottom(), out.data.top());

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
        use_series_colour(painter, series);
        fill_segment(painter, QPoint(legend.left() + 6, mid), QPoint(legend.left() + 6 + kSwatch - 1, mid),
                     pen_width(series));
        painter.setPen(Qt::black);
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
    for (std::size_t i = 0; i < model_.SeriesCount(); ++i) {
        const TLineSeries& series = *model_.Series(i);
        const int reach = pen_reach(series);
        draw_series(painter, series, area.left() - reach, area.right() + reach);
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
void ChartWidget::draw_series(QPainter& painter, const TLineSeries& series, int firstColumn, int lastColumn) {
    const SeriesData& points = series.Points();
    const std::size_t n = points.size();
    if (n == 0) return;
    const AxisMap& xMap = layout_.xMap;
    const AxisMap& yMap = layout_.yMap;
    auto column_of = [&](std::size_t i) { return xMap.pixel(points.x(i)); };
    auto joined = [&](std::size_t i) { return i > 0 && points.plottable(i - 1) && points.plottable(i); };
    const int width = pen_width(series);
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
    use_series_colour(painter, series);
    for (const QLine& l : lines_) fill_segment(painter, l.p1(), l.p2(), width);
}
