#include "toolkit/chart/chart_painter.h"

#include "toolkit/chart/chart_data.h"
#include "toolkit/chart/chart_model.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kTick = 4;           // axis tick length
constexpr int kSwatch = 24;        // legend line sample length
constexpr int kDashColumns = 6;    // length of a dash and of the gap after it
constexpr int kHandle = 11;        // width of a cursor's handle at the top of the plot
const QColor kCursorColors[2] = {QColor(0, 90, 200), QColor(200, 90, 0)};
const QColor kHiddenText(160, 160, 160);
const QColor kSurround(240, 240, 240);
const QColor kFrame(128, 128, 128);
const QColor kGrid(224, 224, 224);

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

// The middles of dots `width` wide drawn white again: their outlines stay,
// a pixel wide (two from 7 pixels on).
void hollow_dots(QPainter& painter, const std::vector<QPoint>& dots, int width) {
    const int inner = width - 2 * (width >= 7 ? 2 : 1);
    if (inner < 1) return;
    for (const QPoint& at : dots) painter.fillRect(QRect(at.x() - inner / 2, at.y() - inner / 2, inner, inner), Qt::white);
}

void use_colour(QPainter& painter, const QColor& colour) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
}

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

// A position rounded to its pixel, as AxisMap::pixel rounds.
int round_pixel(double t) { return static_cast<int>(std::floor(t + 0.5)); }

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

QColor to_qcolor(TColor c) { return QColor(color_red(c), color_green(c), color_blue(c)); }

QColor faded(TColor c, int alpha) {
    const int a = std::clamp(alpha, 0, 255);
    auto mix = [a](int v) { return (v * a + 255 * (255 - a) + 127) / 255; };
    return QColor(mix(color_red(c)), mix(color_green(c)), mix(color_blue(c)));
}

int pen_reach(int width) { return width / 2 + 2; }

void ChartPainter::set_size(QSize size) {
    if (picture_.size() != size) picture_ = QImage(size, QImage::Format_RGB32);
}

void ChartPainter::draw_frame(const ChartLayout& layout, const QFont& font, const ChartModel& model,
                              const std::string& title, const std::string& bottomTitle) {
    if (picture_.isNull()) return;
    QPainter painter(&picture_);
    draw_surroundings(painter, layout, font, title, bottomTitle);
    draw_legend(painter, layout, font, model);
}

void ChartPainter::draw_surroundings(QPainter& painter, const ChartLayout& l, const QFont& font, const std::string& title,
                                     const std::string& bottomTitle) {
    painter.fillRect(picture_.rect(), kSurround);
    painter.setFont(font);
    painter.setPen(Qt::black);
    if (!l.title.isNull()) painter.drawText(l.title, Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(title));

    painter.setPen(kFrame);
    painter.drawRect(l.plot.adjusted(-1, -1, 0, 0));

    const int line = l.lineHeight;
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
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(x_label_text(l, v)));
    }
    if (!bottomTitle.empty()) {
        const QRect box(l.plot.left(), tickTop + kTick + 2 + line + 2, l.plot.width(), line);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(bottomTitle));
    }
}

void ChartPainter::draw_legend(QPainter& painter, const ChartLayout& layout, const QFont& font,
                               const ChartModel& model) {
    const QRect& legend = layout.legend;
    if (legend.isNull()) return;
    painter.fillRect(legend, Qt::white);
    painter.setPen(kFrame);
    painter.drawRect(legend.adjusted(0, 0, -1, -1));
    painter.setFont(font);
    const int line = layout.lineHeight;
    painter.save();
    painter.setClipRect(legend.adjusted(1, 1, -1, -1));
    for (std::size_t i = 0; i < layout.legendItems.size(); ++i) {
        const LegendItem& item = layout.legendItems[i];
        const int top = legend.top() + 4 + static_cast<int>(i) * (line + 2);
        const int mid = top + line / 2;
        bool shown = true;
        int textLeft = legend.left() + 6 + kSwatch + 6;
        if (item.kind == LegendItem::kHeading || item.kind == LegendItem::kMore) {
            textLeft = legend.left() + 6;
        } else {
            // A hidden line's entry is dimmed.
            int width = 1;
            QColor colour;
            if (item.kind == LegendItem::kSeries) {
                const TLineSeries& series = *model.Series(item.index);
                shown = series.Visible();
                width = pen_width(series);
                colour = shown ? to_qcolor(series.Color()) : faded(series.Color(), 60);
            } else {
                const TChartOverlay& overlay = *model.Overlay(item.index);
                const TOverlayStyle& style = overlay.Style();
                shown = overlay.Visible();
                width = std::max(2, style.Width);
                colour = faded(style.Color, shown ? std::max(style.Alpha, 120) : 40);
                if (style.Dots) {  // a dot in the middle of the swatch
                    use_colour(painter, colour);
                    const QPoint centre(legend.left() + 6 + kSwatch / 2, mid);
                    fill_segment(painter, centre, centre, std::max(3, style.Width));
                    if (style.Hollow) hollow_dots(painter, {centre}, std::max(3, style.Width));
                    width = 0;
                } else if (style.Dashed) {  // dashes as the line has them
                    use_colour(painter, colour);
                    for (int x = 0; x < kSwatch; x += 2 * kDashColumns) {
                        const int left = legend.left() + 6 + x;
                        fill_segment(painter, QPoint(left, mid), QPoint(left + kDashColumns - 1, mid), width);
                    }
                    width = 0;
                }
            }
            use_colour(painter, colour);
            if (width > 0) {
                fill_segment(painter, QPoint(legend.left() + 6, mid), QPoint(legend.left() + 6 + kSwatch - 1, mid), width);
            }
        }
        painter.setPen(shown ? QColor(Qt::black) : kHiddenText);
        painter.setBrush(Qt::NoBrush);
        const QRect text(textLeft, top, legend.right() - textLeft, line);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(legend_text(model, item)));
    }
    painter.restore();
}

void ChartPainter::draw_background(const ChartLayout& l, const std::vector<ChartLine>& lines) {
    const QRect area = l.plot;
    if (area.isEmpty() || picture_.isNull()) return;
    if (background_.size() != picture_.size()) background_ = QImage(picture_.size(), QImage::Format_RGB32);
    QPainter painter(&background_);
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
    for (const ChartLine& line : lines) {
        if (line.settled) draw_clipped_line(painter, l, line, area);
    }
}

void ChartPainter::draw_clipped_line(QPainter& painter, const ChartLayout& layout, const ChartLine& line,
                                     const QRect& area) {
    const int reach = pen_reach(line.width);
    if (line.dots) {
        draw_dots(painter, layout, line, area.left() - reach, area.right() + reach);
        return;
    }
    if (line.dashed) painter.setClipRegion(dash_region(area));
    draw_line(painter, layout, line, area.left() - reach, area.right() + reach);
    if (line.dashed) painter.setClipRect(area);
}

// Draws the plot area within `strip` from the background, then every growing
// line in order, so a strip looks exactly as that part of a full drawing.
void ChartPainter::draw_plot_strip(const ChartLayout& layout, const QRect& strip, const std::vector<ChartLine>& lines,
                                   const std::optional<double> (&cursors)[2], const QFont& font) {
    const QRect area = strip & layout.plot;
    if (area.isEmpty() || picture_.isNull()) return;
    QPainter painter(&picture_);
    painter.setClipRect(area);
    painter.drawImage(area, background_, area);
    for (const ChartLine& line : lines) {
        if (!line.settled) draw_clipped_line(painter, layout, line, area);
    }
    draw_cursors(painter, layout, area, cursors, font);
}

// A cursor: a line across the plot and a lettered handle at its top.
void ChartPainter::draw_cursors(QPainter& painter, const ChartLayout& layout, const QRect& area,
                                const std::optional<double> (&cursors)[2], const QFont& font) {
    const QRect& plot = layout.plot;
    for (int which : {0, 1}) {
        if (!cursors[which]) continue;
        const int x = layout.xMap.pixel(*cursors[which]);
        if (x < plot.left() || x > plot.right()) continue;
        if (x + kHandle / 2 < area.left() || x - kHandle / 2 > area.right()) continue;
        const QColor& colour = kCursorColors[which];
        painter.fillRect(QRect(x, plot.top(), 1, plot.height()), colour);
        const QRect handle(x - kHandle / 2, plot.top(), kHandle, kHandle + 2);
        painter.fillRect(handle, colour);
        painter.setPen(Qt::white);
        painter.setFont(font);
        painter.drawText(handle, Qt::AlignCenter, which == 0 ? "A" : "B");
    }
}

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
void ChartPainter::draw_line(QPainter& painter, const ChartLayout& layout, const ChartLine& line, int firstColumn,
                             int lastColumn) {
    const SeriesData& points = *line.points;
    const std::size_t n = points.size();
    if (n == 0) return;
    const AxisMap& xMap = layout.xMap;
    const AxisMap& yMap = line.right ? layout.rightMap : layout.yMap;
    auto column_of = [&](std::size_t i) { return xMap.pixel(points.x(i)); };
    auto joined = [&](std::size_t i) { return i > 0 && points.plottable(i - 1) && points.plottable(i); };
    const int width = line.width;
    const QRect box = layout.plot.adjusted(-width - 8, -width - 8, width + 8, width + 8);
    auto add = [&](PixelSegment s) {
        if (!clip_segment(s, box.left(), box.top(), box.right(), box.bottom())) return;
        segments_.emplace_back(round_pixel(s.x0), round_pixel(s.y0), round_pixel(s.x1), round_pixel(s.y1));
    };
    auto segment = [&](std::size_t a, std::size_t b) {
        add(PixelSegment{xMap.position(points.x(a)), yMap.position(points.y(a)), xMap.position(points.x(b)),
                         yMap.position(points.y(b))});
    };

    segments_.clear();
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
    if (segments_.empty()) return;
    use_colour(painter, line.color);
    for (const QLine& l : segments_) fill_segment(painter, l.p1(), l.p2(), width);
}

// A dot per point in the columns, each pixel once however many points land
// on it: a scatter of a hundred thousand points costs a sort, not a hundred
// thousand fills.
void ChartPainter::draw_dots(QPainter& painter, const ChartLayout& layout, const ChartLine& line, int firstColumn,
                             int lastColumn) {
    const SeriesData& points = *line.points;
    const std::size_t n = points.size();
    if (n == 0) return;
    const AxisMap& xMap = layout.xMap;
    const AxisMap& yMap = line.right ? layout.rightMap : layout.yMap;
    auto column_of = [&](std::size_t i) { return xMap.pixel(points.x(i)); };
    const QRect box = layout.plot.adjusted(-line.width, -line.width, line.width, line.width);
    dots_.clear();
    for (std::size_t i = first_right_of(0, n, firstColumn - 1, column_of); i < n; ++i) {
        const int column = column_of(i);
        if (column > lastColumn) break;
        if (!points.plottable(i)) continue;
        const QPoint at(column, yMap.pixel(points.y(i)));
        if (box.contains(at)) dots_.push_back(at);
    }
    const auto before = [](const QPoint& a, const QPoint& b) { return a.x() != b.x() ? a.x() < b.x() : a.y() < b.y(); };
    std::sort(dots_.begin(), dots_.end(), before);
    dots_.erase(std::unique(dots_.begin(), dots_.end()), dots_.end());
    use_colour(painter, line.color);
    for (const QPoint& at : dots_) fill_segment(painter, at, at, line.width);
    if (line.hollow) hollow_dots(painter, dots_, line.width);
}
