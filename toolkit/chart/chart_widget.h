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
//   left double-click   shows everything again, on the automatic ranges.
// The right button is the popup menu's and does nothing here. A zoom or pan
// puts the chart in the user's view: its axes stay where the user put them
// while points go on arriving (the automatic ranges still grow behind it),
// until the double-click, or a series' Clear, which starts a new run.
#include "toolkit/chart/chart_model.h"
#include "toolkit/paint/canvas.h"
#include "toolkit/chart/chart_scale.h"

#include <QImage>
#include <QLine>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QMouseEvent;
class QPainter;
class QWheelEvent;

// Where everything goes for given axis ranges at the widget's size.
struct ChartLayout {
    QRect title;
    QRect legend;
    QRect plot;  // white area inside the frame
    QRect data;  // where points land: the plot area less room for half a pen
    AxisMap xMap;
    AxisMap yMap;
    double xStep = 1;
    double yStep = 1;
    std::vector<double> xLabels;
    std::vector<double> yLabels;
};

// Listens to the model it draws for as long as it lives.
class ChartWidget : public QWidget, private ChartModelListener {
public:
    ChartWidget(ChartModel& model, QWidget* parent);
    ~ChartWidget() override;

    void set_title(const std::string& title);
    void set_bottom_title(const std::string& title);
    void set_bottom_increment(double step);
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
    AxisRange shown_x() const;
    AxisRange shown_y() const;
    bool in_user_view() const { return userView_.has_value(); }
    // Shows the ranges given as the user's view; false (and nothing changes)
    // when one of them cannot be shown (see viewable_range).
    bool set_view(const AxisRange& x, const AxisRange& y);
    // Back to the automatic ranges.
    void show_all();

    TRect plot_area();
    QPoint point_pixel(const TLineSeries& series, std::size_t index);
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
    struct View {
        AxisRange x;
        AxisRange y;
    };
    // A left-button drag, from its press on.
    struct Drag {
        QPointF from;    // where the button went down, in widget pixels
        QPointF value;   // the data (x, y) under it then
        double xSpan;    // the spans shown then, kept while panning
        double ySpan;
        bool panning;    // moved far enough to be a pan, not a click
    };

    void series_changed() override;
    void point_added(std::size_t series, std::size_t index) override;
    void series_cleared(std::size_t series) override;
    // First point of each series (by its place) not drawn yet; the series'
    // count when all are drawn.
    std::size_t& undrawn_from(std::size_t series);

    void grow_ranges();
    ChartLayout layout_for(const AxisRange& xs, const AxisRange& ys) const;
    // The data under `at` in the view shown now.
    QPointF value_at(QPointF at) const;
    void zoom_at(QPointF at, double xFactor, double yFactor);
    // The user's view with the given spans in which `value` lands on `at`.
    bool place_view(double xSpan, double ySpan, QPointF value, QPointF at);

    void draw_all();
    void draw_surroundings(QPainter& painter);
    void draw_legend(QPainter& painter);
    void draw_plot_strip(const QRect& strip);
    void draw_series(QPainter& painter, const TLineSeries& series, int firstColumn, int lastColumn);
    QPoint pixel_of(const SeriesData& points, std::size_t index) const;

    ChartModel& model_;
    std::vector<std::size_t> undrawnFrom_;
    std::string title_;
    std::string bottomTitle_;
    double bottomIncrement_ = 0;

    QImage picture_;
    QRect pending_;  // changed in the picture, not shown yet
    bool stale_ = true;
    std::size_t fullRedraws_ = 0;

    // Automatic axis ranges; empty until the first plottable point, and
    // after Clear. They grow with the data in a user's view too.
    std::optional<AxisRange> xRange_;
    std::optional<AxisRange> yRange_;
    std::optional<View> userView_;
    std::optional<Drag> drag_;

    ChartLayout layout_;  // of the last full drawing

    std::vector<QLine> lines_;  // reused by draw_series
};
