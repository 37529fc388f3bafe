// The "NC Tests" page: its drawings on Image1, paced as the page animates
// them, "Stop" and stepping, and the status bar's program name. What is
// drawn is the drawing unit's.
#include "core/engine/module.h"
#include "core/engine/nc.h"
#include "core/program/nc_program.h"
#include "drawing/page_drawing.h"
#include "toolkit/sys/sysutils.h"
#include "window/drawing.h"
#include "window/main_form.h"

#include <algorithm>
#include <string>

namespace {

// Between pumps while waiting for "Next point", in ms.
constexpr unsigned kStepWaitPause = 10;

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

// The NC area the image's bitmap shows.
NcArea picture_area() {
    const int width = Form1->Image1->BitmapWidth();
    const int height = Form1->Image1->BitmapHeight();
    return {-std::int32_t{NC_ORIGIN_X}, width - 1 - NC_ORIGIN_X, NC_ORIGIN_Y - (height - 1), NC_ORIGIN_Y};
}

// The demo as a program, for its extent.
const NcProgram& demo_program() {
    static const NcProgram demo = nc_parse_program(nc_demo_program_text(), "demo").program;
    return demo;
}

// The image pixels a program's path covers, with the 5-pixel dots around its points.
TRect path_pixels(const NcProgram& program) {
    const NcArea a = nc_program_extent(program);
    return {NC_ORIGIN_X + a.minX - 2, NC_ORIGIN_Y - a.maxY - 2, NC_ORIGIN_X + a.maxX + 3, NC_ORIGIN_Y - a.minY + 3};
}

// An overview of the path and the picture together, for "Fit path".
void keep_overview(const TRect& path) {
    const TCanvas* c = canvas();
    Form1->Image1->KeepOverview({std::min(path.Left, 0), std::min(path.Top, 0), std::max(path.Right, c->Width()),
                                 std::max(path.Bottom, c->Height())});
}

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

// The page's pace: Sleep and the message pump in the drawing's order,
// "Stop", the status bar naming each point, the image's repaint, and
// "Next point" while "Step" is checked.
class PagePace : public DrawingPace {
public:
    bool stopped() override { return drawing_stopped(); }
    void pause(unsigned ms) override { Sleep(ms); }
    void pump() override { Application->ProcessMessages(); }
    void point_reached(const NcPoint& p) override {
        Form1->StatusBar1->Panels(0)->SetText(FormatText("X%0.4d Y%0.4d Z%0.4d", p.X, p.Y, p.Z));
    }
    void repaint() override { Form1->Image1->Repaint(); }
    void pass_done() override { wait_for_next_point(); }
};

}  // namespace

void plot_point(int x, int y) { plot_point(*canvas(), x, y); }

void plot_scaled(int a, int b, int s) { plot_scaled(*canvas(), a, b, s); }

void draw_circle(int cx, int cy, int r) {
    PagePace pace;
    draw_circle(*canvas(), pace, cx, cy, r);
}

void draw_arc(std::int16_t cx, std::int16_t cy, std::int16_t sx, std::int16_t sy, std::int16_t ex,
              std::int16_t ey) {
    PagePace pace;
    draw_arc(*canvas(), pace, cx, cy, sx, sy, ex, ey);
}

void TForm1::Button3Click(TObject*) {
    const Drawing drawing;
    drawnArea = TRect{};  // "Fit path" shows the whole picture
    PagePace pace;
    draw_circle_test(*canvas(), pace);
}

void TForm1::btDrawNCPathClick(TObject*) {
    const Drawing drawing;
    start_nc_path(*canvas());
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
    PagePace pace;
    draw_nc_path(*canvas(), pace);
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
