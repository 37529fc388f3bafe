#pragma once
// The "NC Tests" page's pictures on a canvas: the plot primitives, the
// midpoint circle, the circle test with its incremental arc, and the NC path
// plot. The integer methods live in core (circle, arc, NC interpreter); this
// unit sets pens and plots. Whoever shows the picture paces it: the window
// pauses, pumps its messages, shows each point and stops on "Stop"; a
// picture drawn for a file runs straight through.
#include "core/engine/nc.h"
#include "toolkit/paint/canvas.h"

#include <cstdint>

// The picture at the window's designed size, in pixels, and its designed
// resolution.
inline constexpr int PAGE_PICTURE_WIDTH = 660;
inline constexpr int PAGE_PICTURE_HEIGHT = 380;
inline constexpr int PAGE_PICTURE_DPI = 96;

// Where the NC origin lies on the picture; Y of the NC grows upward.
inline constexpr std::int16_t NC_ORIGIN_X = 50;
inline constexpr std::int16_t NC_ORIGIN_Y = 150;

// What a drawing asks of the one who shows it, at the moments the page's
// animation names. Every call does nothing here: a drawing for a file.
class DrawingPace {
public:
    virtual ~DrawingPace() = default;
    // Checked before each pass: true ends the drawing there.
    virtual bool stopped() { return false; }
    // A pause of `ms` milliseconds.
    virtual void pause(unsigned ms) { (void)ms; }
    // Pending messages, paints included, are dealt with.
    virtual void pump() {}
    // The NC path plot reached `point` (before drawing it).
    virtual void point_reached(const NcPoint& point) { (void)point; }
    // The picture should show what it holds at once.
    virtual void repaint() {}
    // One pass of the NC path plot is done.
    virtual void pass_done() {}
};

// One point in picture pixels with the canvas' pen: a single pixel for
// width 1, else a dot as wide as the pen, which moves the pen there.
void plot_point(TCanvas& canvas, int x, int y);
// A point of the test drawing space: one unit is s pixels, b grows upward.
void plot_scaled(TCanvas& canvas, int a, int b, int s);
// Midpoint circle through plot_scaled(..., 2) with the canvas' pen, paced
// after every pass.
void draw_circle(TCanvas& canvas, DrawingPace& pace, int cx, int cy, int r);
// Incremental clockwise arc from the start point (straight above the
// centre) to the end point: the start with the canvas' pen, then each point
// with blue and lime markers and a black pixel, paced after each.
void draw_arc(TCanvas& canvas, DrawingPace& pace, std::int16_t cx, std::int16_t cy, std::int16_t sx,
              std::int16_t sy, std::int16_t ex, std::int16_t ey);

// "Circle test": clears the picture, draws the circle as a ring of lime
// dots and traces its upper right quarter with the arc.
void draw_circle_test(TCanvas& canvas, DrawingPace& pace);

// "Draw NC Path" starts: clears the picture and loads the chosen program
// afresh.
void start_nc_path(TCanvas& canvas);
// Then steps the loaded program to its end, drawing its path as a black
// polyline with a blue, then lime dot on every point after the first.
void draw_nc_path(TCanvas& canvas, DrawingPace& pace);

// The picture pixel of an NC point, formed in 32 bits.
inline int nc_pixel_x(const NcPoint& p) { return std::int32_t{NC_ORIGIN_X} + p.X; }
inline int nc_pixel_y(const NcPoint& p) { return std::int32_t{NC_ORIGIN_Y} - p.Y; }
