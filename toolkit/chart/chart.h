#pragma once
// Line chart with line series, drawn by the layer itself so that a repaint
// per pass stays cheap however many points the series hold. The chart pairs
// its model (the series and their points) with the widget that draws it (and
// remembers what it has drawn).
#include "toolkit/chart/chart_model.h"
#include "toolkit/paint/canvas.h"
#include "toolkit/app/colors.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

class QWidget;
class ChartWidget;
class TPopupMenu;

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
    // A logarithmic bottom axis: values lie by their decades, labelled at 1,
    // 2 and 5 times the powers of ten (fewer where they would crowd); X of 0
    // or below is not drawn. Set it before adding points. Every X the chart
    // takes or gives (points, views, cursors) stays a value, not a decade.
    void SetBottomAxisLogarithmic(bool on);
    // The left labels take at least this many pixels, so that charts stacked
    // one above the other can share their plot's left edge.
    void SetLeftLabelsWidth(int pixels);
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

    // Overlays: lines that are not series (see TChartOverlay), owned by the
    // chart; RemoveOverlay deletes one.
    TChartOverlay* AddOverlay(const TOverlayStyle& style);
    void RemoveOverlay(TChartOverlay* overlay);
    std::size_t OverlayCount() const;
    TChartOverlay* Overlay(std::size_t index) const;

    // A right-hand axis with its own ticks for the first two series (and
    // the overlays drawn against them).
    void SetRightAxis(bool on);
    bool RightAxis() const;
    // The right-hand axis' range shown now, as View's Y (while it is on).
    ChartView RightView();

    // Cursors A (0) and B (1): vertical lines at a time, or none. A cursor
    // snaps to the nearest point of the visible lines (series and overlays);
    // a double-click on its line takes it away.
    void SetCursor(int which, std::optional<double> x);
    std::optional<double> Cursor(int which) const;
    // The time under a widget column in the view shown now.
    double XAtPixel(int x);
    // Where a legend line lies, in widget pixels (for tests): the series'
    // entries first, then the overlays' heading and entries.
    TRect LegendEntry(std::size_t index);
    // Overlays whose style gives a legend entry are listed under this
    // heading (none without one); a click on it folds or unfolds them.
    void SetOverlayHeading(const std::string& heading);
    void SetOverlaysFolded(bool folded);
    bool OverlaysFolded() const;

    // Told after the shown ranges changed: zoom, pan, fit, growth, Clear.
    std::function<void()> OnViewChange;
    // Told when a cursor was placed, moved or taken away.
    std::function<void()> OnCursorMove;
    // Told of a left click (no drag) on or near a dot of a visible overlay
    // drawn as dots (TOverlayStyle::Dots): the nearest, with its point's index.
    std::function<void(TChartOverlay* overlay, std::size_t index)> OnDotClick;
    // Where a point of an overlay lands, in widget pixels (for tests).
    ChartPixel OverlayPixel(const TChartOverlay& overlay, std::size_t index);

private:
    ChartModel model_;
    ChartWidget* widget_;  // null once Qt has deleted the widget with its parent
};
