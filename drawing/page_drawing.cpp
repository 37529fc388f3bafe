#include "drawing/page_drawing.h"

#include "core/engine/arc.h"
#include "core/engine/circle.h"
#include "core/engine/module.h"

namespace {

// Pauses of the animations, in ms.
constexpr unsigned kCirclePassPause = 10;
constexpr unsigned kArcMarkerPause = 10;
constexpr unsigned kArcPointPause = 20;
constexpr unsigned kNcMarkerPause = 1;
constexpr unsigned kNcPassPause = 4;

// Test drawing space to pixels; 32-bit with a wrap, never signed overflow.
std::int32_t wrap32(std::int64_t value) { return static_cast<std::int32_t>(value); }

// Plots one point with a pen `width` pixels wide, read by the caller.
void plot_with_width(TCanvas& canvas, int width, int x, int y) {
    if (width == 1) {
        canvas.Pixels(x, y, canvas.Pen.Color);
    } else {
        // A zero-length line: a dot as wide as the pen, and the pen moves here.
        canvas.MoveTo(x, y);
        canvas.LineTo(x, y);
    }
}

void set_pen(TCanvas& canvas, int width, TColor color) {
    canvas.Pen.Width = width;
    canvas.Pen.Color = color;
}

void arc_marker(TCanvas& canvas, DrawingPace& pace, const PlotPoint& p, int width, TColor color, unsigned pauseMs) {
    set_pen(canvas, width, color);
    plot_scaled(canvas, p.x, p.y, 2);
    pace.pump();
    pace.pause(pauseMs);
}

}  // namespace

void plot_point(TCanvas& canvas, int x, int y) { plot_with_width(canvas, canvas.Pen.Width, x, y); }

void plot_scaled(TCanvas& canvas, int a, int b, int s) {
    const int width = canvas.Pen.Width;
    const std::int64_t scale = s;
    plot_with_width(canvas, width, wrap32(a * scale - 20 * scale), wrap32(193 * scale - b * scale));
}

void draw_circle(TCanvas& canvas, DrawingPace& pace, int cx, int cy, int r) {
    PlotPoint first{};
    CircleState circle = circle_begin(cx, cy, r, first);
    plot_scaled(canvas, first.x, first.y, 2);
    PlotPoint points[8];
    while (!pace.stopped() && circle_next_pass(circle, points)) {
        for (const PlotPoint& p : points) plot_scaled(canvas, p.x, p.y, 2);
        pace.pause(kCirclePassPause);
        pace.pump();
    }
}

void draw_arc(TCanvas& canvas, DrawingPace& pace, std::int16_t cx, std::int16_t cy, std::int16_t sx,
              std::int16_t sy, std::int16_t ex, std::int16_t ey) {
    ArcState arc = arc_begin(cx, cy, sx, sy, ex, ey);
    const PlotPoint start = arc_point(arc);
    plot_scaled(canvas, start.x, start.y, 2);  // with the caller's pen, no pause
    PlotPoint p{};
    while (!pace.stopped() && arc_next(arc, p)) {
        // The pen is set before each marker: a nested handler may have changed it.
        arc_marker(canvas, pace, p, 5, clBlue, kArcMarkerPause);
        arc_marker(canvas, pace, p, 5, clLime, kArcMarkerPause);
        arc_marker(canvas, pace, p, 1, clBlack, kArcPointPause);
    }
}

void draw_circle_test(TCanvas& canvas, DrawingPace& pace) {
    canvas.FillRect(canvas.ClipRect());
    set_pen(canvas, 5, clLime);
    draw_circle(canvas, pace, 100, 100, 80);
    set_pen(canvas, 1, clBlack);
    draw_arc(canvas, pace, 100, 100, 100, 180, 180, 100);
}

void start_nc_path(TCanvas& canvas) {
    canvas.FillRect(canvas.ClipRect());
    nc_load_chosen();
}

void draw_nc_path(TCanvas& canvas, DrawingPace& pace) {
    NcPoint point{0, 0, 0};
    // The start block's step leaves the point at the origin.
    if (nc_step(point) != NC_STEPPED) return;
    canvas.MoveTo(nc_pixel_x(point), nc_pixel_y(point));
    nc_tick();
    // A nested click may reload and run the shared program inside the pumps;
    // this loop then ends at its next step.
    while (!pace.stopped() && nc_step(point) == NC_STEPPED) {
        pace.point_reached(point);
        const int x = nc_pixel_x(point);
        const int y = nc_pixel_y(point);

        set_pen(canvas, 1, clBlack);
        canvas.LineTo(x, y);

        set_pen(canvas, 5, clBlue);
        plot_point(canvas, x, y);
        pace.pump();
        pace.pause(kNcMarkerPause);

        set_pen(canvas, 5, clLime);
        plot_point(canvas, x, y);
        pace.pump();
        pace.pause(kNcMarkerPause);

        nc_tick();
        pace.repaint();
        pace.pause(kNcPassPause);
        pace.pump();
        pace.pass_done();
    }
}
