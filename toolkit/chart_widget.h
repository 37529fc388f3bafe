#pragma once
// The chart's widget. The whole picture lives in an image: while the axes
// stay, a repaint redraws only the strip of columns that new points touch and
// shows that strip; when an axis range grows, the size changes or a title
// changes, the picture is drawn anew. Both draw a series column by column
// from its min/max summary, so their cost does not grow with the points.
#include "toolkit/chart.h"
#include "toolkit/chart_scale.h"

#include <QImage>
#include <QLine>
#include <QRect>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QPainter;

class ChartWidget : public QWidget {
public:
    ChartWidget(TChart& chart, QWidget* parent);
    ~ChartWidget() override;

    void set_title(const std::string& title);
    void set_bottom_title(const std::string& title);
    void set_bottom_increment(double step);
    // Titles, series or layout changed: draw everything at the next update.
    void invalidate();
    // Points were removed: the ranges fit what is left afresh.
    void reset_ranges();

    // Brings the picture up to date; returns what changed in it.
    QRect update_picture();
    // Updates the picture and shows it, inside the call.
    void repaint_now();

    TRect plot_area();
    ChartPixel point_pixel(const TLineSeries& series, std::size_t index);
    std::size_t full_redraws() const { return fullRedraws_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void draw_all();
    void compute_layout();
    void draw_surroundings(QPainter& painter);
    void draw_legend(QPainter& painter);
    void draw_plot_strip(const QRect& strip);
    void draw_series(QPainter& painter, const TLineSeries& series, int firstColumn, int lastColumn);
    QPoint pixel_of(const SeriesData& points, std::size_t index) const;
    AxisRange shown_x() const;
    AxisRange shown_y() const;

    TChart& chart_;
    std::string title_;
    std::string bottomTitle_;
    double bottomIncrement_ = 0;

    QImage picture_;
    QRect pending_;  // changed in the picture, not shown yet
    bool stale_ = true;
    std::size_t fullRedraws_ = 0;

    // Axis ranges; empty until the first plottable point, and after Clear.
    std::optional<AxisRange> xRange_;
    std::optional<AxisRange> yRange_;

    // Layout of the last full drawing.
    QRect titleRect_;
    QRect legendRect_;
    QRect plotRect_;  // white area inside the frame
    QRect dataRect_;  // where points land: the plot area less room for half a pen
    AxisMap xMap_;
    AxisMap yMap_;
    double xStep_ = 1;
    double yStep_ = 1;
    std::vector<double> xLabels_;
    std::vector<double> yLabels_;

    std::vector<QLine> lines_;  // reused by draw_series
};
