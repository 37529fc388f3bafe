#pragma once
// What the chart shows, free of Qt: its line series and their points. The
// model knows nothing of drawing; whoever draws it (the chart's widget)
// listens for the changes it has to redraw.
#include "toolkit/chart/chart_data.h"
#include "toolkit/app/colors.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class ChartModel;

// Told of every change to the model, as it happens. `series` is a series'
// place in the model, `index` a point's index in its series.
class ChartModelListener {
public:
    virtual void series_changed() = 0;  // a series was added, retitled, hidden or shown
    virtual void point_added(std::size_t series, std::size_t index) = 0;
    virtual void series_cleared(std::size_t series) = 0;
    // An overlay was added, removed, cleared, restyled, hidden or shown.
    virtual void overlays_changed() = 0;
    virtual void overlay_point_added(std::size_t overlay, std::size_t index) = 0;

protected:
    ~ChartModelListener() = default;
};

class TLineSeries {
public:
    TLineSeries(const TLineSeries&) = delete;
    TLineSeries& operator=(const TLineSeries&) = delete;

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
    // The points with their per-column summary, for drawing.
    const SeriesData& Points() const { return points_; }
    // A hidden series is neither drawn nor counted in the ranges; its legend
    // entry shows dimmed. A click on the entry switches it.
    void SetVisible(bool visible);
    bool Visible() const { return visible_; }

private:
    friend class ChartModel;
    TLineSeries(ChartModel& model, std::size_t place, std::string title, int width, TColor color);
    ChartModel& model_;
    std::size_t place_;  // in the model
    std::string title_;
    int width_;
    TColor color_;
    SeriesData points_;
    bool visible_ = true;
};

// How an overlay line is drawn.
struct TOverlayStyle {
    TColor Color = 0;
    int Width = 1;       // pixels
    int Alpha = 255;     // 0 (invisible) ... 255 (opaque): fades the colour toward the plot's white
    bool Dashed = false;
    // The Y axis it is drawn against: that of this series (index), so that
    // it follows the series to the right-hand axis; -1 for the left axis.
    int AxisOf = -1;
    bool Raised = false;  // drawn over the other overlays
    // Its entry in the legend, under the overlays' heading; empty for none.
    std::string Legend{};
    // The entry among the series' own instead, with no heading needed (a
    // line that belongs with them, such as a model's counterpart).
    bool LegendWithSeries = false;
    // Its points as dots as wide as its pen, none joined: a scatter.
    bool Dots = false;
    // With Dots, each dot's outline only, its middle white.
    bool Hollow = false;
};

// A line on the chart that is not one of its series: a kept run, a
// reference line, a comparison. It is drawn under the series, joins the
// ranges, zoom and pan, and a series' Clear leaves it. It has a legend entry
// only when its style gives one.
class TChartOverlay {
public:
    TChartOverlay(const TChartOverlay&) = delete;
    TChartOverlay& operator=(const TChartOverlay&) = delete;

    void Clear();
    // As TLineSeries::AddXY: X ascending; appending redraws only its strip.
    void AddXY(double x, double y);
    std::size_t Count() const { return points_.size(); }
    double XValue(std::size_t index) const;
    double YValue(std::size_t index) const;
    void SetVisible(bool visible);
    bool Visible() const { return visible_; }
    const TOverlayStyle& Style() const { return style_; }
    void SetStyle(const TOverlayStyle& style);
    const SeriesData& Points() const { return points_; }

private:
    friend class ChartModel;
    TChartOverlay(ChartModel& model, const TOverlayStyle& style);
    ChartModel& model_;
    TOverlayStyle style_;
    SeriesData points_;
    bool visible_ = true;
};

class ChartModel {
public:
    ChartModel() = default;
    ChartModel(const ChartModel&) = delete;
    ChartModel& operator=(const ChartModel&) = delete;

    // A new series, drawn `width` pixels wide; clDefaultColor picks the next
    // default colour.
    TLineSeries* AddSeries(const std::string& title, int width, TColor color);
    std::size_t SeriesCount() const { return series_.size(); }
    // Throws Exception when there is no such series.
    TLineSeries* Series(std::size_t index) const;

    // Overlays, owned by the model; RemoveOverlay deletes one.
    TChartOverlay* AddOverlay(const TOverlayStyle& style);
    void RemoveOverlay(TChartOverlay* overlay);
    std::size_t OverlayCount() const { return overlays_.size(); }
    // Throws Exception when there is no such overlay.
    TChartOverlay* Overlay(std::size_t index) const;

    // The heading above the overlays' legend entries (shown only with such
    // entries); folded, the legend shows the heading alone.
    void set_overlay_heading(const std::string& heading);
    const std::string& overlay_heading() const { return overlayHeading_; }
    void set_overlays_folded(bool folded);
    bool overlays_folded() const { return overlaysFolded_; }

    // A logarithmic X axis (chart_scale.h): every point keeps the position
    // log10(X) and gives X back; an X of 0 or below is never drawn. Set it
    // before adding points.
    void set_log_x(bool on);
    bool log_x() const { return logX_; }
    double axis_x(double x) const;         // the position of X on the axis
    double data_x(double position) const;  // the X at a position

    // One listener at a time; null for none.
    void set_listener(ChartModelListener* listener) { listener_ = listener; }
    ChartModelListener* listener() const { return listener_; }

private:
    friend class TChartOverlay;
    void overlays_changed();
    void overlay_point_added(const TChartOverlay& overlay, std::size_t index);

    std::vector<std::unique_ptr<TLineSeries>> series_;
    std::vector<std::unique_ptr<TChartOverlay>> overlays_;
    ChartModelListener* listener_ = nullptr;
    std::string overlayHeading_;
    bool overlaysFolded_ = false;
    bool logX_ = false;
};
