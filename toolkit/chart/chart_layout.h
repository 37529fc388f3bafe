#pragma once
// Where the chart's parts go for given axis ranges at the widget's size:
// the title on top, the legend at the top right, the labels of the left,
// bottom and (while it is on) right-hand axis around the plot area.
#include "toolkit/chart/chart_scale.h"

#include <QFont>
#include <QPointF>
#include <QRect>
#include <QSize>

#include <cstddef>
#include <string>
#include <vector>

class ChartModel;
class TLineSeries;

// One line of the legend: a series' entry (a click hides or shows the
// series), the overlays' heading (a click folds or unfolds their entries), an
// overlay's entry, or the count of the heading's entries the chart had no
// room for.
struct LegendItem {
    enum Kind : char { kSeries, kHeading, kOverlay, kMore };
    Kind kind = kSeries;
    std::size_t index = 0;  // the series' or overlay's place in the model; kMore: how many
};
// The legend's lines, top to bottom: the series, the overlays whose entry
// goes with them, then (when some other overlay has an entry and the model a
// heading) the heading and, unless folded, those overlays.
std::vector<LegendItem> legend_items(const ChartModel& model);
// The text an item shows: a heading says whether it is folded ("▸ Kept runs (3)").
std::string legend_text(const ChartModel& model, const LegendItem& item);

struct ChartLayout {
    QRect title;
    QRect legend;
    QRect plot;  // white area inside the frame
    QRect data;  // where points land: the plot area less room for half a pen
    AxisMap xMap;
    AxisMap yMap;
    AxisMap rightMap;  // the right-hand axis, while it is on
    bool logX = false;  // xLabels are positions on a logarithmic axis
    double xStep = 1;
    double yStep = 1;
    double rightStep = 1;
    std::vector<double> xLabels;
    std::vector<double> yLabels;
    std::vector<double> rightLabels;
    int lineHeight = 0;  // of the font's text
    std::vector<LegendItem> legendItems;
};

// What the layout depends on besides the ranges and the series.
struct ChartFrame {
    QSize size;
    QFont font;
    bool titled = false;
    bool bottomTitled = false;
    double bottomIncrement = 0;  // the bottom labels' step is a multiple of it (0: any)
    bool rightAxis = false;
    bool logX = false;
    int leftLabelsLeast = 0;  // the left labels' column is at least this wide
};

ChartLayout chart_layout(const ChartModel& model, const ChartFrame& frame, const AxisRange& xs, const AxisRange& ys,
                         const AxisRange& rs);

// A bottom label's text.
std::string x_label_text(const ChartLayout& layout, double value);

// A series' pen: its width, at least one pixel.
int pen_width(const TLineSeries& series);

// The legend's line at `index` of layout.legendItems (empty past the last),
// and the line under a point (-1 for none).
QRect legend_entry_rect(const ChartLayout& layout, std::size_t index);
int legend_entry_at(const ChartLayout& layout, QPointF at);
