#include "toolkit/chart/chart_widget.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

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

// Overlays come and go: any change but an added point draws everything
// anew, at the next paint, which is asked for (a line turned on between
// runs shows without waiting for a run's repaint).
void ChartWidget::overlays_changed() {
    overlayLayers_.clear();
    invalidate();
    update();
}

// A settled overlay that grows after all leaves the background: once, the
// picture is drawn anew with it among the growing lines.
void ChartWidget::overlay_point_added(std::size_t overlay, std::size_t index) {
    std::size_t& from = overlay_undrawn_from(overlay);
    from = std::min(from, index);
    if (overlay_layer(overlay) == kSettled) {
        overlayLayers_[overlay] = kGrowing;
        invalidate();
    }
}

ChartWidget::OverlayLayer ChartWidget::overlay_layer(std::size_t overlay) const {
    return overlay < overlayLayers_.size() ? overlayLayers_[overlay] : kNew;
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
    view_.set_bottom_increment(step);
    invalidate();
}

void ChartWidget::set_log_x(bool on) {
    view_.set_log_x(on);
    invalidate();
}

void ChartWidget::set_left_labels_least(int pixels) {
    leftLabelsLeast_ = pixels;
    invalidate();
}

void ChartWidget::invalidate() { stale_ = true; }

void ChartWidget::reset_ranges() {
    view_.reset();
    stale_ = true;
}

bool ChartWidget::set_view(const AxisRange& x, const AxisRange& y) {
    const ChartViewState::Placed placed = view_.set_view(x, y);
    if (placed == ChartViewState::Placed::Refused) return false;
    if (placed == ChartViewState::Placed::Changed) stale_ = true;
    update();
    return true;
}

void ChartWidget::show_all() {
    if (!view_.show_all()) return;
    stale_ = true;
    update();
}

void ChartWidget::fit_to_data() {
    view_.fit(extents());
    drag_.reset();
    stale_ = true;
    update();
}

void ChartWidget::set_right_axis(bool on) {
    if (!view_.set_right_axis(on)) return;
    stale_ = true;
    update();
}

namespace {

// The X of the point nearest to `x` (the earlier one on a tie); none without points.
std::optional<double> nearest_x(const SeriesData& points, double x) {
    std::size_t lo = 0;
    std::size_t hi = points.size();
    while (lo < hi) {  // X ascends: the first point at or beyond x
        const std::size_t mid = lo + (hi - lo) / 2;
        if (points.x(mid) < x) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    std::optional<double> best;
    if (lo > 0) best = points.x(lo - 1);
    if (lo < points.size() && (!best || points.x(lo) - x < x - *best)) best = points.x(lo);
    return best;
}

}  // namespace

// A cursor lands on a sample: the nearest point of any visible line.
void ChartWidget::set_cursor(int which, std::optional<double> x) {
    if (x) {
        std::optional<double> snapped;
        for (const ChartLine& line : lines()) {
            const std::optional<double> near = nearest_x(*line.points, *x);
            if (near && (!snapped || std::abs(*near - *x) < std::abs(*snapped - *x))) snapped = near;
        }
        if (snapped) x = snapped;
    }
    if (!view_.set_cursor(which, x)) return;
    stale_ = true;
    update();
    if (cursor_moved) cursor_moved();
}

std::vector<ChartLine> ChartWidget::lines() const {
    std::vector<ChartLine> out;
    auto* self = const_cast<ChartWidget*>(this);  // the undrawn marks are the widget's own bookkeeping
    // Settled overlays first: they lie in the background, under the rest;
    // raised ones over the others of their layer.
    for (bool settled : {true, false}) {
        for (std::size_t k = 0; k < 2 * model_.OverlayCount(); ++k) {
            const std::size_t i = k % model_.OverlayCount();
            const TChartOverlay& o = *model_.Overlay(i);
            if (o.Style().Raised != (k >= model_.OverlayCount())) continue;
            if (!o.Visible() || (overlay_layer(i) == kSettled) != settled) continue;
            const TOverlayStyle& s = o.Style();
            out.push_back(ChartLine{&o.Points(), &self->overlay_undrawn_from(i), std::max(1, s.Width),
                                    faded(s.Color, s.Alpha), s.Dashed, s.Dots, view_.on_right(s.AxisOf), settled,
                                    s.Hollow});
        }
    }
    for (std::size_t i = 0; i < model_.SeriesCount(); ++i) {
        const TLineSeries& series = *model_.Series(i);
        if (!series.Visible()) continue;
        out.push_back(ChartLine{&series.Points(), &self->undrawn_from(i), pen_width(series), to_qcolor(series.Color()),
                                false, false, view_.on_right(static_cast<int>(i)), false, false});
    }
    return out;
}

ChartExtents ChartWidget::extents() const {
    ChartExtents e;
    for (const ChartLine& line : lines()) {
        e.x.add(line.points->x_extent());
        (line.right ? e.right : e.left).add(line.points->y_extent());
    }
    return e;
}

void ChartWidget::grow_ranges() {
    if (view_.grow(extents())) stale_ = true;
}

ChartFrame ChartWidget::frame() const {
    return ChartFrame{size(), font(), !title_.empty(), !bottomTitle_.empty(), view_.bottom_increment(),
                      view_.right_axis(), view_.log_x(), leftLabelsLeast_};
}

double ChartWidget::x_at(int x) {
    grow_ranges();
    return layout_now().xMap.value(x);
}

void ChartWidget::notify_view_change() {
    if (view_.take_view_change() && view_changed) view_changed();
}

QRect ChartWidget::update_picture() {
    grow_ranges();
    if (painter_.picture().size() != size()) stale_ = true;

    QRect changed;
    if (stale_) {
        draw_all();
        changed = rect();
    } else {
        const QRect& plot = layout_.plot;
        for (const ChartLine& line : lines()) {
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
    for (const QRect& r : event->region()) painter.drawImage(r, painter_.picture(), r);
}

// A resize needs no mark of its own: the picture's size no longer matches.
// (Qt also resends the pending resize of a hidden widget on every grab.)
void ChartWidget::resizeEvent(QResizeEvent* event) { QWidget::resizeEvent(event); }

TRect ChartWidget::plot_area() {
    update_picture();
    const QRect& d = layout_.data;
    return TRect{d.left(), d.top(), d.right() + 1, d.bottom() + 1};
}

QPoint ChartWidget::point_pixel(const TLineSeries& series, std::size_t index) {
    update_picture();
    bool right = false;
    for (std::size_t i = 0; i < model_.SeriesCount(); ++i) {
        if (model_.Series(i) == &series) right = view_.on_right(static_cast<int>(i));
    }
    return pixel_of(series.Points(), index, right);
}

QPoint ChartWidget::overlay_pixel(const TChartOverlay& overlay, std::size_t index) {
    update_picture();
    return pixel_of(overlay.Points(), index, view_.on_right(overlay.Style().AxisOf));
}

QRect ChartWidget::legend_entry(std::size_t index) {
    update_picture();
    return legend_entry_rect(layout_, index);
}

std::optional<std::pair<std::size_t, std::size_t>> ChartWidget::dot_at(QPointF at, double reach) const {
    std::optional<std::pair<std::size_t, std::size_t>> nearest;
    double best = reach * reach;
    for (std::size_t o = 0; o < model_.OverlayCount(); ++o) {
        const TChartOverlay& overlay = *model_.Overlay(o);
        if (!overlay.Visible() || !overlay.Style().Dots) continue;
        const bool right = view_.on_right(overlay.Style().AxisOf);
        for (std::size_t i = 0; i < overlay.Count(); ++i) {
            if (!overlay.Points().plottable(i)) continue;
            const QPointF d = QPointF(pixel_of(overlay.Points(), i, right)) - at;
            const double d2 = d.x() * d.x() + d.y() * d.y();
            if (d2 <= best) {  // on a tie the later overlay: drawn over the earlier
                best = d2;
                nearest = std::pair{o, i};
            }
        }
    }
    return nearest;
}

QPoint ChartWidget::pixel_of(const SeriesData& points, std::size_t index, bool right) const {
    const AxisMap& yMap = right ? layout_.rightMap : layout_.yMap;
    return QPoint(layout_.xMap.pixel(points.x(index)), yMap.pixel(points.y(index)));
}

void ChartWidget::draw_all() {
    painter_.set_size(size());
    layout_ = layout_now();
    // Overlays drawn for the first time settle into the background.
    overlayLayers_.resize(model_.OverlayCount(), kNew);
    for (OverlayLayer& layer : overlayLayers_) {
        if (layer == kNew) layer = kSettled;
    }
    painter_.draw_frame(layout_, font(), model_, title_, bottomTitle_);
    painter_.draw_background(layout_, lines());
    draw_plot_strip(layout_.plot);
    for (std::size_t i = 0; i < model_.SeriesCount(); ++i) undrawn_from(i) = model_.Series(i)->Count();
    overlayUndrawnFrom_.assign(model_.OverlayCount(), 0);
    for (std::size_t i = 0; i < model_.OverlayCount(); ++i) overlayUndrawnFrom_[i] = model_.Overlay(i)->Count();
    stale_ = false;
    ++fullRedraws_;
    notify_view_change();
}

void ChartWidget::draw_plot_strip(const QRect& strip) {
    const std::optional<double> cursors[2] = {view_.cursor(0), view_.cursor(1)};
    painter_.draw_plot_strip(layout_, strip, lines(), cursors, font());
}
