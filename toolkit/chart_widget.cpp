#include "toolkit/chart_widget.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QPointF>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMargin = 6;       // between the widget's edge and everything else
constexpr int kTick = 4;         // axis tick length
constexpr int kSwatch = 24;      // legend line sample length
constexpr int kLabelGap = 12;    // least free space between two bottom labels
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
void fill_segment(QPainter& painter, QPoint from, QPoint to, int width) {
    const double h = width / 2.0;
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

}  // namespace

ChartWidget::ChartWidget(TChart& chart, QWidget* parent) : QWidget(parent), chart_(chart) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

ChartWidget::~ChartWidget() {
    if (chart_.widget_ == this) chart_.widget_ = nullptr;
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

void ChartWidget::reset_ranges() {
    xRange_.reset();
    yRange_.reset();
    stale_ = true;
}

AxisRange ChartWidget::shown_x() const {
    if (xRange_) return *xRange_;
    return AxisRange{0, 10 * (bottomIncrement_ > 0 ? bottomIncrement_ : 1)};
}

AxisRange ChartWidget::shown_y() const { return yRange_.value_or(AxisRange{0, 100}); }

QRect ChartWidget::update_picture() {
    ValueSpan xs;
    ValueSpan ys;
    for (std::size_t i = 0; i < chart_.SeriesCount(); ++i) {
        xs.add(chart_.Series(i)->points_.x_extent());
        ys.add(chart_.Series(i)->points_.y_extent());
    }
    if (!xs.empty()) {
        const AxisRange x = grow_x_range(xRange_, xs.lo, xs.hi, bottomIncrement_);
        const AxisRange y = grow_y_range(yRange_, ys.lo, ys.hi);
        if (x != xRange_ || y != yRange_) {
            xRange_ = x;
            yRange_ = y;
            stale_ = true;
        }
    }
    if (picture_.size() != size()) stale_ = true;

    QRect changed;
    if (stale_) {
        draw_all();
        changed = rect();
    } else {
        for (std::size_t i = 0; i < chart_.SeriesCount(); ++i) {
            TLineSeries& series = *chart_.Series(i);
            const std::size_t count = series.points_.size();
            if (series.undrawnFrom_ >= count) continue;
            // From the last point already drawn (its segment end changes) to
            // the last one.
            const std::size_t first = series.undrawnFrom_ > 0 ? series.undrawnFrom_ - 1 : 0;
            const int reach = pen_reach(series);
            const int c0 = std::clamp(xMap_.pixel(series.points_.x(first)), plotRect_.left(), plotRect_.right());
            const int c1 = std::clamp(xMap_.pixel(series.points_.x(count - 1)), plotRect_.left(), plotRect_.right());
            changed |= QRect(QPoint(c0 - reach, plotRect_.top()), QPoint(c1 + reach, plotRect_.bottom()));
            series.undrawnFrom_ = count;
        }
        changed &= plotRect_;
        if (!changed.isEmpty()) draw_plot_strip(changed);
    }
    pending_ |= changed;
    return changed;
}

void ChartWidget::repaint_now() {
    update_picture();
    // Nothing new still paints, so that a repaint always shows the picture.
    QRect area = pending_.isEmpty() ? plotRect_ : pending_;
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

TRect ChartWidget::plot_area() {
    update_picture();
    return TRect{dataRect_.left(), dataRect_.top(), dataRect_.right() + 1, dataRect_.bottom() + 1};
}

ChartPixel ChartWidget::point_pixel(const TLineSeries& series, std::size_t index) {
    update_picture();
    const QPoint p = pixel_of(series.points_, index);
    return ChartPixel{p.x(), p.y()};
}

QPoint ChartWidget::pixel_of(const SeriesData& points, std::size_t index) const {
    return QPoint(xMap_.pixel(points.x(index)), yMap_.pixel(points.y(index)));
}

void ChartWidget::draw_all() {
    if (picture_.size() != size()) picture_ = QImage(size(), QImage::Format_RGB32);
    compute_layout();
    if (!picture_.isNull()) {
        QPainter painter(&picture_);
        draw_surroundings(painter);
        draw_legend(painter);
    }
    draw_plot_strip(plotRect_);
    for (std::size_t i = 0; i < chart_.SeriesCount(); ++i) {
        TLineSeries& series = *chart_.Series(i);
        series.undrawnFrom_ = series.points_.size();
    }
    stale_ = false;
    ++fullRedraws_;
}

void ChartWidget::compute_layout() {
    const QFontMetrics fm(font());
    const int line = fm.height();
    int top = kMargin;
    titleRect_ = QRect();
    if (!title_.empty()) {
        titleRect_ = QRect(0, top, width(), line);
        top += line + kMargin;
    }

    legendRect_ = QRect();
    int right = width() - 1 - kMargin;
    if (chart_.SeriesCount() > 0) {
        int textWidth = 0;
        for (std::size_t i = 0; i < chart_.SeriesCount(); ++i) {
            textWidth = std::max(textWidth, fm.horizontalAdvance(QString::fromStdString(chart_.Series(i)->Title())));
        }
        const int w = 6 + kSwatch + 6 + textWidth + 6;
        const int h = 4 + static_cast<int>(chart_.SeriesCount()) * (line + 2) + 4;
        legendRect_ = QRect(right - w + 1, top, w, h);
        right = legendRect_.left() - 1 - kMargin;
    }

    int bottom = height() - 1 - kMargin - line - kTick - 2;
    if (!bottomTitle_.empty()) bottom -= line + 2;

    // The left labels' width depends on their step, which depends on the
    // plot's height only.
    const AxisRange ys = shown_y();
    const int plotHeight = std::max(1, bottom - top + 1);
    yStep_ = label_step(ys, plotHeight, 2 * line, 0);
    yLabels_ = label_values(ys, yStep_);
    int labelWidth = 0;
    for (double v : yLabels_) {
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(QString::fromStdString(label_text(v, yStep_))));
    }
    const int left = kMargin + labelWidth + 2 + kTick + 1;

    plotRect_ = QRect(QPoint(left, top + 1), QPoint(std::max(left, right - 1), std::max(top + 1, bottom)));
    int pad = 1;
    for (std::size_t i = 0; i < chart_.SeriesCount(); ++i) pad = std::max(pad, (pen_width(*chart_.Series(i)) + 1) / 2);
    dataRect_ = plotRect_.adjusted(pad, pad, -pad, -pad);
    if (dataRect_.width() < 1 || dataRect_.height() < 1) dataRect_ = QRect(plotRect_.center(), QSize(1, 1));

    xMap_ = AxisMap(shown_x(), dataRect_.left(), dataRect_.right());
    yMap_ = AxisMap(ys, dataRect_.bottom(), dataRect_.top());

    // The bottom labels' width depends on their step and the step on their
    // width: a guess from the range's ends, then once more with the texts.
    const AxisRange xs = shown_x();
    auto widest_at = [&](double step) {
        return std::max(fm.horizontalAdvance(QString::fromStdString(label_text(xs.lo, step))),
                        fm.horizontalAdvance(QString::fromStdString(label_text(xs.hi, step))));
    };
    xStep_ = label_step(xs, dataRect_.width(), widest_at(1) + kLabelGap, bottomIncrement_);
    xStep_ = std::max(xStep_, label_step(xs, dataRect_.width(), widest_at(xStep_) + kLabelGap, bottomIncrement_));
    xLabels_ = label_values(xs, xStep_);
}

void ChartWidget::draw_surroundings(QPainter& painter) {
    painter.fillRect(picture_.rect(), kSurround);
    const QFontMetrics fm(font());
    painter.setFont(font());
    painter.setPen(Qt::black);
    if (!titleRect_.isNull()) painter.drawText(titleRect_, Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(title_));

    painter.setPen(kFrame);
    painter.drawRect(plotRect_.adjusted(-1, -1, 0, 0));

    const int line = fm.height();
    for (double v : yLabels_) {
        const int y = yMap_.pixel(v);
        painter.setPen(kFrame);
        painter.drawLine(plotRect_.left() - 1 - kTick, y, plotRect_.left() - 2, y);
        painter.setPen(Qt::black);
        const QRect box(0, y - line / 2, plotRect_.left() - 2 - kTick - 2, line);
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(label_text(v, yStep_)));
    }
    const int tickTop = plotRect_.bottom() + 1;
    for (double v : xLabels_) {
        const int x = xMap_.pixel(v);
        painter.setPen(kFrame);
        painter.drawLine(x, tickTop + 1, x, tickTop + kTick);
        painter.setPen(Qt::black);
        const QRect box(x - 100, tickTop + kTick + 2, 200, line);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(label_text(v, xStep_)));
    }
    if (!bottomTitle_.empty()) {
        const QRect box(plotRect_.left(), tickTop + kTick + 2 + line + 2, plotRect_.width(), line);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(bottomTitle_));
    }
}

void ChartWidget::draw_legend(QPainter& painter) {
    if (legendRect_.isNull()) return;
    painter.fillRect(legendRect_, Qt::white);
    painter.setPen(kFrame);
    painter.drawRect(legendRect_.adjusted(0, 0, -1, -1));
    const QFontMetrics fm(font());
    const int line = fm.height();
    painter.save();
    painter.setClipRect(legendRect_.adjusted(1, 1, -1, -1));
    for (std::size_t i = 0; i < chart_.SeriesCount(); ++i) {
        const TLineSeries& series = *chart_.Series(i);
        const int top = legendRect_.top() + 4 + static_cast<int>(i) * (line + 2);
        const int mid = top + line / 2;
        use_series_colour(painter, series);
        fill_segment(painter, QPoint(legendRect_.left() + 6, mid), QPoint(legendRect_.left() + 6 + kSwatch - 1, mid),
                     pen_width(series));
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        const QRect text(legendRect_.left() + 6 + kSwatch + 6, top, legendRect_.width(), line);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(series.Title()));
    }
    painter.restore();
}

// Draws the plot area within `strip` from scratch: white, grid, then every
// series in order, so a strip looks exactly as that part of a full drawing.
void ChartWidget::draw_plot_strip(const QRect& strip) {
    const QRect area = strip & plotRect_;
    if (area.isEmpty() || picture_.isNull()) return;
    QPainter painter(&picture_);
    painter.setClipRect(area);
    painter.fillRect(area, Qt::white);
    for (double v : xLabels_) {
        const int x = xMap_.pixel(v);
        if (x >= area.left() && x <= area.right()) painter.fillRect(QRect(x, area.top(), 1, area.height()), kGrid);
    }
    for (double v : yLabels_) {
        const int y = yMap_.pixel(v);
        if (y >= area.top() && y <= area.bottom()) painter.fillRect(QRect(area.left(), y, area.width(), 1), kGrid);
    }
    for (std::size_t i = 0; i < chart_.SeriesCount(); ++i) {
        const TLineSeries& series = *chart_.Series(i);
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
void ChartWidget::draw_series(QPainter& painter, const TLineSeries& series, int firstColumn, int lastColumn) {
    const SeriesData& points = series.points_;
    const std::size_t n = points.size();
    if (n == 0) return;
    auto column_of = [&](std::size_t i) { return xMap_.pixel(points.x(i)); };
    auto joined = [&](std::size_t i) { return i > 0 && points.plottable(i - 1) && points.plottable(i); };

    lines_.clear();
    std::size_t i = first_right_of(0, n, firstColumn - 1, column_of);
    while (i < n) {
        const int column = column_of(i);
        if (column > lastColumn) break;
        const std::size_t end = first_right_of(i, n, column, column_of);
        if (joined(i)) lines_.emplace_back(pixel_of(points, i - 1), pixel_of(points, i));
        if (end - i >= 2) {
            const ValueSpan span = points.y_span(i, end);
            if (!span.empty()) lines_.emplace_back(column, yMap_.pixel(span.hi), column, yMap_.pixel(span.lo));
        } else if (points.plottable(i) && !joined(i) && !(i + 1 < n && joined(i + 1))) {
            const QPoint p = pixel_of(points, i);
            lines_.emplace_back(p, p);
        }
        i = end;
    }
    // The segment that leaves the columns to the right, or crosses them all.
    if (i < n && joined(i)) lines_.emplace_back(pixel_of(points, i - 1), pixel_of(points, i));
    if (lines_.empty()) return;
    use_series_colour(painter, series);
    const int width = pen_width(series);
    for (const QLine& l : lines_) fill_segment(painter, l.p1(), l.p2(), width);
}
