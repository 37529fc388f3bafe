// The "NC Tests" page: plot primitives, the circle test and the NC path plot.
// The integer methods live in core (circle, arc, NC interpreter); these
// routines only set pens, plot, pause and keep the window alive.
#include "core/engine/arc.h"
#include "core/engine/circle.h"
#include "core/engine/nc.h"
#include "core/program/nc_program.h"
#include "toolkit/sys/sysutils.h"
#include "window/drawing.h"
#include "window/main_form.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

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

// The drawings running now ("Draw NC Path" and "Circle test", nested ones
// included). "Stop" ends every one of them: each keeps the stop count from
// its start and ends its loop once the count has moved on.
int drawingsRunning = 0;
unsigned stopsAsked = 0;
unsigned drawingStart = 0;  // stopsAsked when the innermost drawing began

// The program the innermost "Draw NC Path" drew (empty for the demo), and
// the file line where its path leaves the picture (0 while it stays inside).
std::string drawnProgram;
std::size_t drawnLeavesAt = 0;
bool drawingNcPath = false;
bool drawnIsChosen = false;  // no other program was chosen since it was drawn
TRect drawnArea;             // image pixels the drawn path covers, its dots included

// One drawing, from its handler's start to its return: "Stop" is open while
// any runs.
class Drawing {
public:
    Drawing() : outer_(drawingStart) {
        drawingStart = stopsAsked;
        if (drawingsRunning++ == 0) Form1->btStop->SetEnabled(true);
    }
    ~Drawing() {
        drawingStart = outer_;
        if (--drawingsRunning == 0 && Form1 != nullptr) Form1->btStop->SetEnabled(false);
    }
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;

private:
    unsigned outer_;
};

// Outside a drawing (the plot routines called on their own) nothing stops.
bool drawing_stopped() { return drawingsRunning > 0 && stopsAsked != drawingStart; }

TCanvas* canvas() { return Form1->Image1->Canvas(); }

// Test drawing space to pixels; 32-bit with a wrap, never signed overflow.
std::int32_t wrap32(std::int64_t value) { return static_cast<std::int32_t>(value); }

// Plots one point with a pen `width` pixels wide, read by the caller: a
// single pixel for width 1, else a dot as wide as the pen.
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

// The NC area the image's bitmap shows.
NcArea picture_area() {
    const int width = Form1->Image1->BitmapWidth();
    const int height = Form1->Image1->BitmapHeight();
    return {-std::int32_t{kNcOriginX}, width - 1 - kNcOriginX, kNcOriginY - (height - 1), kNcOriginY};
}

// The demo as a program, for its extent.
const NcProgram& demo_program() {
    static const NcProgram demo = nc_parse_program(nc_demo_program_text(), "demo").program;
    return demo;
}

// The image pixels a program's path covers, with the 5-pixel dots around its points.
TRect path_pixels(const NcProgram& program) {
    const NcArea a = nc_program_extent(program);
    return {kNcOriginX + a.minX - 2, kNcOriginY - a.maxY - 2, kNcOriginX + a.maxX + 3, kNcOriginY - a.minY + 3};
}

// An overview of the path and the picture together, for "Fit path".
void keep_overview(const TRect& path) {
    const TCanvas* c = canvas();
    Form1->Image1->KeepOverview({std::min(path.Left, 0), std::min(path.Top, 0), std::max(path.Right, c->Width()),
                                 std::max(path.Bottom, c->Height())});
}

int nc_pixel_x(const NcPoint& p) { return std::int32_t{kNcOriginX} + p.X; }
int nc_pixel_y(const NcPoint& p) { return std::int32_t{kNcOriginY} - p.Y; }

// While "Step" is checked, waits for "Next point" with the messages flowing.
// Unchecking "Step" lets the plot run on; so does closing the window, which
// otherwise would wait for this handler to return.
void wait_for_next_point() {
    while (Form1->cbStep->Checked() && !nextPointRequested && !drawing_stopped() && !CloseHeldBack()) {
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
    while (!drawing_stopped() && circle_next_pass(circle, points)) {
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
    while (!drawing_stopped() && arc_next(arc, p)) {
        // The pen is set before each marker: a nested handler may have changed it.
        arc_marker(p, 5, clBlue, kArcMarkerPause);
        arc_marker(p, 5, clLime, kArcMarkerPause);
        arc_marker(p, 1, clBlack, kArcPointPause);
    }
}

void TForm1::Button3Click(TObject*) {
    const Drawing drawing;
    drawnArea = TRect{};  // "Fit path" shows the whole picture
    TCanvas* c = canvas();
    c->FillRect(c->ClipRect());
    set_pen(5, clLime);
    draw_circle(100, 100, 80);
    set_pen(1, clBlack);
    draw_arc(100, 100, 100, 180, 180, 100);
}

void TForm1::btDrawNCPathClick(TObject*) {
    const Drawing drawing;
    NcPoint point{0, 0, 0};
    {
        TCanvas* c = canvas();
        c->FillRect(c->ClipRect());
    }
    nc_load_chosen();
    // The status bar names what is drawn until the drawing ends, whatever
    // is loaded meanwhile.
    const bool outerNcPath = drawingNcPath;
    drawingNcPath = true;
    drawnProgram = nc_demo_chosen() ? std::string() : nc_chosen_program().name;
    drawnLeavesAt = nc_demo_chosen() ? 0 : nc_program_line_leaving(nc_chosen_program(), picture_area());
    drawnIsChosen = true;
    drawnArea = path_pixels(nc_demo_chosen() ? demo_program() : nc_chosen_program());
    if (drawnLeavesAt > 0) keep_overview(drawnArea);
    show_program_name();
    struct Ended {
        bool outer;
        ~Ended() {
            drawingNcPath = outer;
            if (Form1 != nullptr) Form1->show_program_name();
        }
    } ended{outerNcPath};
    // The start block's step leaves the point at the origin.
    if (nc_step(point) != NC_STEPPED) return;
    canvas()->MoveTo(nc_pixel_x(point), nc_pixel_y(point));
    nc_tick();
    // The status bar names each point as it is drawn; a drawing nobody
    // watches (an image for a file) names only its last, once at the end.
    const auto show_point = [](const NcPoint& p) {
        Form1->StatusBar1->Panels(0)->SetText(FormatText("X%0.4d Y%0.4d Z%0.4d", p.X, p.Y, p.Z));
    };
    std::optional<NcPoint> unshown;
    // A nested click may reload and run the shared program inside the pumps;
    // this loop then ends at its next step.
    while (!drawing_stopped() && nc_step(point) == NC_STEPPED) {
        if (Application->Unwatched()) {
            unshown = point;
        } else {
            show_point(point);
        }
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
    if (unshown) show_point(*unshown);
}

void TForm1::cbStepClick(TObject*) {
    nextPointRequested = false;  // a press from before the stepping counts for nothing
    btNextPoint->SetEnabled(cbStep->Checked());
}

void TForm1::btNextPointClick(TObject*) { nextPointRequested = true; }

void TForm1::btStopClick(TObject*) { ++stopsAsked; }

// Zooms and pans the image to the whole path last drawn; a path beyond the
// picture shows in the overview kept while it was drawn.
void TForm1::ImageFitPathClick(TObject*) {
    if (drawnArea == TRect{} || !Image1->ShowArea(drawnArea)) Image1->ShowAll();
}

void TForm1::stop_drawings() {
    if (drawingsRunning > 0) ++stopsAsked;
}

// The second panel: while "Draw NC Path" runs, the program it draws (and the
// one that takes over at the next, when another was chosen meanwhile); after
// it, that program until another is chosen; and where its path leaves the
// picture. The built-in program is named only beside another.
void TForm1::show_program_name() {
    const auto label = [](const std::string& name) { return name.empty() ? std::string("built-in program") : name; };
    const std::string chosen = nc_demo_chosen() ? std::string() : nc_chosen_program().name;
    if (!drawingNcPath && !drawnIsChosen) {
        StatusBar1->Panels(1)->SetText(chosen);
        return;
    }
    std::string text = drawnProgram;
    if (drawnLeavesAt > 0) text = label(drawnProgram) + ": the path leaves the picture at line " + std::to_string(drawnLeavesAt);
    if (!drawnIsChosen) text = label(text) + "; next: " + label(chosen);
    StatusBar1->Panels(1)->SetText(text);
}

void TForm1::nc_program_chosen() {
    drawnIsChosen = false;
    show_program_name();
}
