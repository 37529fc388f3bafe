// The "NC Tests" page: plot primitives, the circle test and the NC path plot.
// The integer methods live in core (circle, arc, NC interpreter); these
// routines only set pens, plot, pause and keep the window alive.
#include "core/arc.h"
#include "core/circle.h"
#include "core/nc.h"
#include "core/nc_program.h"
#include "toolkit/sys/sysutils.h"
#include "window/drawing.h"
#include "window/main_form.h"

#include <cstdint>

namespace {

// Where the NC origin lies on the image, in pixels; Y of the NC grows upward.
constexpr std::int16_t kNcOriginX = 50;
constexpr std::int16_t kNcOriginY = 150;

// Pauses of the animations, in ms.
constexpr unsigned kCirclePassPause = 10;
constexpr unsigned kArcMarkerPause = 10;
constexpr unsigned kArcPointPause = 20;
constexpr unsigned kNcMarkerPause = 1;
constexpr unsigned kNcPassPause = 4;
constexpr unsigned kStepWaitPause = 10;  // between pumps while waiting for "Next point"

// "Next point" (or the right arrow key) was asked for since the last wait began.
bool nextPointRequested = false;

TCanvas* canvas() { return Form1->Image1->Canvas(); }

// Test drawing space to pixels; 32-bit with a wrap, never signed overflow.
std::int32_t wrap32(std::int64_t value) { return static_cast<std::int32_t>(value); }

// Steps 2 and 3 of plot_point, with the pen width already read.
void plot_with_width(int width, int x, int y) {
    TCanvas* c = canvas();
    if (width == 1) {
        c->Pixels(x, y, c->Pen.Color);
    } else {
        // A zero-length line: a dot as wide as the pen, and the pen moves here.
        c->MoveTo(x, y);
        c->LineTo(x, y);
    }
}

void set_pen(int width, TColor color) {
    TCanvas* c = canvas();
    c->Pen.Width = width;
    c->Pen.Color = color;
}

void arc_marker(const PlotPoint& p, int width, TColor color, unsigned pauseMs) {
    set_pen(width, color);
    plot_scaled(p.x, p.y, 2);
    Application->ProcessMessages();
    Sleep(pauseMs);
}

int nc_pixel_x(const NcPoint& p) { return std::int32_t{kNcOriginX} + p.X; }
int nc_pixel_y(const NcPoint& p) { return std::int32_t{kNcOriginY} - p.Y; }

// While "Step" is checked, waits for "Next point" with the messages flowing.
// Unchecking "Step" lets the plot run on; so does closing the window, which
// otherwise would wait for this handler to return.
void wait_for_next_point() {
    while (Form1->cbStep->Checked() && !nextPointRequested && !CloseHeldBack()) {
        Application->ProcessMessages();
        if (nextPointRequested) break;
        Sleep(kStepWaitPause);
    }
    nextPointRequested = false;
}

}  // namespace

void plot_point(int x, int y) { plot_with_width(canvas()->Pen.Width, x, y); }

void plot_scaled(int a, int b, int s) {
    const int width = canvas()->Pen.Width;
    const std::int64_t scale = s;
    plot_with_width(width, wrap32(a * scale - 20 * scale), wrap32(193 * scale - b * scale));
}

void draw_circle(int cx, int cy, int r) {
    PlotPoint first{};
    CircleState circle = circle_begin(cx, cy, r, first);
    plot_scaled(first.x, first.y, 2);
    PlotPoint points[8];
    while (circle_next_pass(circle, points)) {
        for (const PlotPoint& p : points) plot_scaled(p.x, p.y, 2);
        Sleep(kCirclePassPause);
        Application->ProcessMessages();
    }
}

void draw_arc(std::int16_t cx, std::int16_t cy, std::int16_t sx, std::int16_t sy, std::int16_t ex,
              std::int16_t ey) {
    ArcState arc = arc_begin(cx, cy, sx, sy, ex, ey);
    const PlotPoint start = arc_point(arc);
    plot_scaled(start.x, start.y, 2);  // with the caller's pen, no pause
    PlotPoint p{};
    while (arc_next(arc, p)) {
        // The pen is set before each marker: a nested handler may have changed it.
        arc_marker(p, 5, clBlue, kArcMarkerPause);
        arc_marker(p, 5, clLime, kArcMarkerPause);
        arc_marker(p, 1, clBlack, kArcPointPause);
    }
}

void TForm1::Button3Click(TObject*) {
    TCanvas* c = canvas();
    c->FillRect(c->ClipRect());
    set_pen(5, clLime);
    draw_circle(100, 100, 80);
    set_pen(1, clBlack);
    draw_arc(100, 100, 100, 180, 180, 100);
}

void TForm1::btDrawNCPathClick(TObject*) {
    NcPoint point{0, 0, 0};
    {
        TCanvas* c = canvas();
        c->FillRect(c->ClipRect());
    }
    nc_load_chosen();
    // The start block's step leaves the point at the origin.
    if (nc_step(point) != NC_STEPPED) return;
    canvas()->MoveTo(nc_pixel_x(point), nc_pixel_y(point));
    nc_tick();
    // A nested click may reload and run the shared program inside the pumps;
    // this loop then ends at its next step.
    while (nc_step(point) == NC_STEPPED) {
        Form1->StatusBar1->Panels(0)->SetText(FormatText("X%0.4d Y%0.4d Z%0.4d", point.X, point.Y, point.Z));
        const int x = nc_pixel_x(point);
        const int y = nc_pixel_y(point);

        set_pen(1, clBlack);
        canvas()->LineTo(x, y);

        set_pen(5, clBlue);
        plot_point(x, y);
        Application->ProcessMessages();
        Sleep(kNcMarkerPause);

        set_pen(5, clLime);
        plot_point(x, y);
        Application->ProcessMessages();
        Sleep(kNcMarkerPause);

        nc_tick();
        Form1->Image1->Repaint();
        Sleep(kNcPassPause);
        Application->ProcessMessages();
        wait_for_next_point();
    }
}

void TForm1::cbStepClick(TObject*) {
    nextPointRequested = false;  // a press from before the stepping counts for nothing
    btNextPoint->SetEnabled(cbStep->Checked());
}

void TForm1::btNextPointClick(TObject*) { nextPointRequested = true; }
