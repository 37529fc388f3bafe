#pragma once
// Line chart with line series, drawn by the layer itself so that a repaint
// per pass stays cheap however many points the series hold.
#include "toolkit/paint/canvas.h"
#include "toolkit/chart/chart_data.h"
#include "toolkit/paint/colors.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;
class TChart;
class ChartWidget;
class TPopupMenu;

class TLineSeries {
public:
    void Clear();
    // Appends a point; X values arrive in ascending order (one that does not
    // goes to its sorted place). `color` is clDefaultColor for the series'
    // own colour; the line is drawn in the series' colour whatever is passed,
    // since the program passes nothing else. Returns the point's index.
    int AddXY(double x, double y, const std::string& label = "", TColor color = clDefaultColor);
    void SetTitle(const std::string& title);
    const std::string& Title() const;
    int Width() const;
    TColor Color() const;  // the colour the line is drawn in
    std::size_t Count() const;
    double XValue(std::size_t index) const;
    double YValue(std::size_t index) const;
    // Bytes held for the points and their drawing summary.
    std::size_t StorageBytes() const;
    // A hidden series is neither drawn nor counted in the ranges; its legend
    // entry shows dimmed. A click on the entry switches it.
    void SetVisible(bool visible);
    bool Visible() const { return visible_; }

private:
    friend class TChart;
    friend class ChartWidget;
    TLineSeries(TChart& chart, std::string title, int width, TColor color);
    void Changed(std::size_t index);
    TChart& chart_;
    std::string title_;
    int width_;
    TColor color_;
    SeriesData points_;
    // First point the chart has not drawn yet; Count() when all are drawn.
    std::size_t undrawnFrom_ = 0;
    bool visible_ = true;
};

// How an overlay line is drawn.
struct TOverlayStyle {
    TColor Color = 0;
    int Width = 1;       // pixels
    int Alpha = 255;     // 0 (invisible) ... 255 (opaque)
    bool Dashed = false;
    // The Y axis it is drawn against: that of this series (index), so that
    // it follows the series to the right-hand axis; -1 for the left axis.
    int AxisOf = -1;
};

// A line on the chart that is not one of its series: a kept run, a
// reference line, a comparison. It has no legend entry, is drawn under the
// series, joins the ranges, zoom and pan, and a series' Clear leaves it.
class TChartOverlay {
public:
    void Clear();
    // As TLineSeries::AddXY: X ascending; appending redraws only its strip.
    void AddXY(double x, double y);
    std::size_t Count() const { return points_.size(); }
    double XValue(std::size_t index) const;
    double YValue(std::size_t index) const;
    void SetVisible(bool visible);
    bool Visible() const { return visible_; }
    void SetStyle(const TOverlayStyle& style);
    const TOverlayStyle& Style() const { return style_; }

private:
    friend class TChart;
    friend class ChartWidget;
    TChartOverlay(TChart& chart, const TOverlayStyle& style);
    TChart& chart_;
    TOverlayStyle style_;
    SeriesData points_;
    std::size_t undrawnFrom_ = 0;
    bool visible_ = true;
};

// Where a point lands on the chart, in widget pixels.
struct ChartPixel {
    int X = 0;
    int Y = 0;
};

// What the axes show, in data units.
struct ChartView {
    double XMin = 0;
    double XMax = 1;
    double YMin = 0;
    double YMax = 1;
    friend bool operator==(const ChartView&, const ChartView&) = default;
};

// The mouse zooms and pans the chart: the wheel zooms around the cursor
// (both axes; Shift: X only; Ctrl: Y only), a left-button drag pans, a left
// double-click fits the axes to the data. A zoomed or panned view stays
// while points arrive, until the double-click or a series' Clear. A click on
// a legend entry hides or shows its series; cursors A and B are dragged by
// their lines.
class TChart {
public:
    explicit TChart(QWidget* parent);
    ~TChart();
    TChart(const TChart&) = delete;
    TChart& operator=(const TChart&) = delete;

    QWidget* Widget() const;
    // Shows `menu` on a right-click; the menu must outlive the chart.
    void SetPopupMenu(TPopupMenu* menu);

    void SetTitle(const std::string& title);
    void SetBottomAxisTitle(const std::string& title);
    // Labels of the bottom axis fall on multiples of this step.
    void SetBottomAxisIncrement(double step);
    // A new series, drawn `width` pixels wide; clDefaultColor picks the
    // chart's next default colour.
    TLineSeries* AddSeries(const std::string& title, int width, TColor color = clDefaultColor);
    std::size_t SeriesCount() const;
    TLineSeries* Series(std::size_t index) const;

    // Redraws at once, inside the call, with every point added so far.
    void Repaint();

    // Inspection, for tests and the benchmark. Both bring the picture up to
    // date first, as a repaint would.
    TRect PlotArea();  // where the points can land (Right, Bottom exclusive)
    ChartPixel PointPixel(const TLineSeries& series, std::size_t index);
    // How often the whole picture was drawn anew (size, range or title change).
    std::size_t FullRedraws() const;

    // The view from code, as the mouse sets it, for tests and the benchmark.
    // The ranges shown now, brought up to date first as a repaint would.
    ChartView View();
    // True while a zoom or pan of the user holds the axes.
    bool UserView() const;
    // Shows `view` as the user's view; false, and nothing changes, when it
    // cannot be shown (inverted, not finite, beyond +-1e16, or narrower than
    // a millionth or a billionth of its magnitude).
    bool SetView(const ChartView& view);
    // Back to the automatic ranges.
    void ShowAll();
    // The axes fit the visible data with a small margin (the double-click).
    void FitToData();

    // Overlays, owned by the chart; RemoveOverlay deletes one.
    TChartOverlay* AddOverlay(const TOverlayStyle& style);
    void RemoveOverlay(TChartOverlay* overlay);
    std::size_t OverlayCount() const { return overlays_.size(); }
    TChartOverlay* Overlay(std::size_t index) const;

    // A right-hand axis with its own ticks for the first two series (and
    // overlays drawn against them).
    void SetRightAxis(bool on);
    bool RightAxis() const;
    // The right-hand axis' range shown now (meaningful while it is on).
    ChartView RightView();

    // Cursors A (0) and B (1): vertical lines at a time, or none.
    void SetCursor(int which, std::optional<double> x);
    std::optional<double> Cursor(int which) const;
    // The time under a widget column in the view shown now.
    double XAtPixel(int x);

    // Told after the shown ranges changed: zoom, pan, fit, growth, Clear.
    std::function<void()> OnViewChange;
    // Told when a cursor was placed, moved or taken away.
    std::function<void()> OnCursorMove;

private:
    friend class TLineSeries;
    friend class TChartOverlay;
    friend class ChartWidget;
    ChartWidget* widget_;  // null once Qt has deleted the widget with its parent
    std::vector<std::unique_ptr<TLineSeries>> series_;
    std::vector<std::unique_ptr<TChartOverlay>> overlays_;
};
