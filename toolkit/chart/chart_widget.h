#pragma once
// The chart's widget. The whole picture lives in an image: while the axes
// stay, a repaint redraws only the strip of columns that new points touch and
// shows that strip; when an axis range grows, the size changes or a title
// changes, the picture is drawn anew. Both draw a series column by column
// from its min/max summary, so their cost does not grow with the points.
//
// Zoom and pan, with the mouse:
//   wheel               zooms both axes around the cursor (forward = in),
//   Shift + wheel       zooms the X axis only, Ctrl + wheel the Y axis only,
//   left-button drag    pans: the data under the cursor follows it,
//   left double-click   fits the axes to the data, with a small margin.
// A left click on a legend entry hides or shows its series; a left drag that
// starts on a cursor's line moves the cursor, which snaps to the points; a
// double-click on it takes it away.
// The right button is the popup menu's and does nothing here. A zoom or pan
// puts the chart in the user's view: its axes stay where the user put them
// while points go on arriving (the automatic ranges still grow behind it),
// until the double-click, or a series' Clear, which starts a new run.
//
// The view state lives in chart_view_state (free of Qt), the geometry in
// chart_layout, the drawing in chart_painter; the widget's mouse handlers are
// in chart_mouse.cpp.
#include "toolkit/chart/chart_layout.h"
#include "toolkit/chart/chart_model.h"
#include "toolkit/chart/chart_painter.h"
#include "toolkit/chart/chart_view_state.h"
#include "toolkit/paint/canvas.h"

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QMouseEvent;
class QPainter;
class QWheelEvent;

// Listens to the model it draws for as long as it lives.
class ChartWidget : public QWidget, private ChartModelListener {
public:
    ChartWidget(ChartModel& model, QWidget* parent);
    ~ChartWidget() override;

    // Told after the shown ranges changed, and after a cursor moved.
    std::function<void()> view_changed;
    std::function<void()> cursor_moved;
    // Told of a left click (no drag) within kDotReach pixels of a dot of a
    // visible dotted overlay: the nearest one, by overlay and point index.
    std::function<void(std::size_t overlay, std::size_t index)> dot_clicked;
    static constexpr double kDotReach = 8;
    // The dot nearest to `at` within `reach` pixels, as drawn last.
    std::optional<std::pair<std::size_t, std::size_t>> dot_at(QPointF at, double reach) const;

    void set_title(const std::string& title);
    void set_bottom_title(const std::string& title);
    void set_bottom_increment(double step);
    // The model's X axis turned logarithmic (or back): the X range starts afresh.
    void set_log_x(bool on);
    void set_left_labels_least(int pixels);
    // Titles, series or layout changed: draw everything at the next update.
    void invalidate();
    // Points were removed: the ranges fit what is left afresh, and a user's
    // view ends.
    void reset_ranges();

    // Brings the picture up to date; returns what changed in it.
    QRect update_picture();
    // Updates the picture and shows it, inside the call.
    void repaint_now();

    // The ranges the axes show: the user's view, or the automatic ranges.
    AxisRange shown_x() const { return view_.shown_x(); }
    AxisRange shown_y() const { return view_.shown_y(); }
    bool in_user_view() const { return view_.in_user_view(); }
    // Shows the ranges given as the user's view; false (and nothing changes)
    // when one of them cannot be shown (see viewable_range).
    bool set_view(const AxisRange& x, const AxisRange& y);
    // Back to the automatic ranges.
    void show_all();
    void fit_to_data();

    void set_right_axis(bool on);
    bool right_axis() const { return view_.right_axis(); }
    AxisRange shown_right() const { return view_.shown_right(); }

    void set_cursor(int which, std::optional<double> x);
    std::optional<double> cursor(int which) const { return view_.cursor(which); }
    double x_at(int x);

    TRect plot_area();
    QPoint point_pixel(const TLineSeries& series, std::size_t index);
    QPoint overlay_pixel(const TChartOverlay& overlay, std::size_t index);
    QRect legend_entry(std::size_t index);
    std::size_t full_redraws() const { return fullRedraws_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void series_changed() override;
    void point_added(std::size_t series, std::size_t index) override;
    void series_cleared(std::size_t series) override;
    void overlays_changed() override;
    void overlay_point_added(std::size_t overlay, std::size_t index) override;
    // First point of each series (by its place) not drawn yet; the series'
    // count when all are drawn. The same for the overlays.
    std::size_t& undrawn_from(std::size_t series);
    std::size_t& overlay_undrawn_from(std::size_t overlay);
    // Where an overlay is drawn: not yet (new), in the background with the
    // grid (settled: it had all its points at a full drawing), or with the
    // series in every strip (growing: points came after it settled).
    enum OverlayLayer : char { kNew, kSettled, kGrowing };
    OverlayLayer overlay_layer(std::size_t overlay) const;
    // The visible overlays (settled ones first) and series, in drawing order.
    std::vector<ChartLine> lines() const;
    ChartExtents extents() const;
    void grow_ranges();
    ChartFrame frame() const;
    ChartLayout layout_for(const AxisRange& xs, const AxisRange& ys, const AxisRange& rs) const {
        return chart_layout(model_, frame(), xs, ys, rs);
    }
    ChartLayout layout_now() const { return layout_for(shown_x(), shown_y(), shown_right()); }
    void draw_all();
    void draw_plot_strip(const QRect& strip);
    void notify_view_change();
    QPoint pixel_of(const SeriesData& points, std::size_t index, bool right) const;

    // The mouse (chart_mouse.cpp). A left-button drag, from its press on.
    struct Drag {
        QPointF from;    // where the button went down, in widget pixels
        QPointF value;   // the data (x, y) under it then
        double xSpan;    // the spans shown then, kept while panning
        double ySpan;
        bool panning;    // moved far enough to be a pan, not a click
    };
    // The cursor whose line is under `at`, or -1.
    int cursor_at(QPointF at) const;
    // The data under `at` in the view shown now.
    QPointF value_at(QPointF at) const;
    void zoom_at(QPointF at, double xFactor, double yFactor);
    // The user's view with the given spans in which `value` lands on `at`.
    bool place_view(double xSpan, double ySpan, QPointF value, QPointF at);

    ChartModel& model_;
    ChartViewState view_;
    ChartPainter painter_;
    std::vector<std::size_t> undrawnFrom_;
    std::vector<std::size_t> overlayUndrawnFrom_;
    std::vector<OverlayLayer> overlayLayers_;  // by the overlay's place
    std::string title_;
    std::string bottomTitle_;
    int leftLabelsLeast_ = 0;

    QRect pending_;  // changed in the picture, not shown yet
    bool stale_ = true;
    std::size_t fullRedraws_ = 0;
    ChartLayout layout_;  // of the last full drawing

    std::optional<Drag> drag_;
    int cursorDrag_ = -1;  // the cursor being dragged
};
