#pragma once
// Draws the chart into its picture: the surroundings (title, frame, axis
// labels), the legend, the plot's background (white, grid and the lines
// that stay) and strips of the plot with the lines that grow and the
// cursors. A series is drawn column by column from its min/max summary, so
// the cost does not grow with its points, and a strip looks exactly as the
// same part of a full drawing.
//
// Overlays are drawn like series, in a colour faded toward the plot's white
// by their alpha; a dashed one is drawn only in every other run of
// kDashColumns pixel columns, so that a strip looks as the same part of a
// full drawing.
#include "toolkit/chart/chart_layout.h"
#include "toolkit/app/colors.h"

#include <QColor>
#include <QPoint>
#include <QImage>
#include <QLine>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class ChartModel;
class QPainter;
class SeriesData;

// A line as drawn: a visible series or overlay.
struct ChartLine {
    const SeriesData* points;
    std::size_t* undrawnFrom;  // the widget's mark: the first point not drawn yet
    int width;
    QColor color;
    bool dashed;
    bool dots;     // each point a dot, none joined
    bool right;    // against the right-hand axis
    bool settled;  // an overlay drawn in the background
    bool hollow;   // dots: each one's outline only
};

QColor to_qcolor(TColor c);
// The colour faded toward white by `alpha` (255 keeps it): what it would be
// drawn over the white plot, without blending overlapping segments twice.
QColor faded(TColor c, int alpha);
// Columns a segment end's pen reaches beyond its own pixel, with one to spare.
int pen_reach(int width);

class ChartPainter {
public:
    // The picture shown; a new size gives a new picture to draw in full.
    const QImage& picture() const { return picture_; }
    void set_size(QSize size);

    // Everything around the plot: the surroundings, the titles, the axis
    // labels and the legend.
    void draw_frame(const ChartLayout& layout, const QFont& font, const ChartModel& model, const std::string& title,
                    const std::string& bottomTitle);
    // White, grid and the settled lines of `lines`.
    void draw_background(const ChartLayout& layout, const std::vector<ChartLine>& lines);
    // The plot within `strip`: the background, the lines that are not
    // settled, in order, and the cursors.
    void draw_plot_strip(const ChartLayout& layout, const QRect& strip, const std::vector<ChartLine>& lines,
                         const std::optional<double> (&cursors)[2], const QFont& font);

private:
    void draw_surroundings(QPainter& painter, const ChartLayout& layout, const QFont& font, const std::string& title,
                           const std::string& bottomTitle);
    void draw_legend(QPainter& painter, const ChartLayout& layout, const QFont& font, const ChartModel& model);
    void draw_cursors(QPainter& painter, const ChartLayout& layout, const QRect& area,
                      const std::optional<double> (&cursors)[2], const QFont& font);
    void draw_clipped_line(QPainter& painter, const ChartLayout& layout, const ChartLine& line, const QRect& area);
    void draw_line(QPainter& painter, const ChartLayout& layout, const ChartLine& line, int firstColumn, int lastColumn);
    void draw_dots(QPainter& painter, const ChartLayout& layout, const ChartLine& line, int firstColumn, int lastColumn);

    QImage picture_;
    QImage background_;  // the plot's white, grid and settled overlays
    std::vector<QLine> segments_;  // reused by draw_line
    std::vector<QPoint> dots_;     // reused by draw_dots
};

// Pixels either side of a cursor's line that grip it.
inline constexpr int kCursorGrip = 4;
