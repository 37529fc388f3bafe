#include "core/engine/module.h"
#include "tests/window/window_fixture.h"
#include "toolkit/app/application.h"
#include "toolkit/sys/sysutils.h"
#include "window/drawing.h"
#include "window/main_form.h"

#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

TForm1* form() { return Form1; }

TCanvas* canvas() { return form()->Image1->Canvas(); }

// Replaces the pauses and watches the message pumps for one test: every
// Sleep and every ProcessMessages goes into `log` ("S10", "P"), and the
// optional callbacks see the window at that moment.
struct Recorder {
    std::vector<std::string> log;
    std::function<void(unsigned)> onSleep;
    std::function<void()> onPump;
    SleepHandler previousSleep;
    MessagePumpHook previousPump;

    Recorder() {
        previousSleep = SetSleepHandler([this](unsigned ms) {
            std::string entry = "S";  // not "S" + ...: GCC 12 at -O3 warns a false -Wrestrict on that
            entry += std::to_string(ms);
            log.push_back(entry);
            if (onSleep) onSleep(ms);
        });
        previousPump = SetMessagePumpHook([this] {
            log.push_back("P");
            if (onPump) onPump();
        });
    }
    ~Recorder() {
        SetSleepHandler(std::move(previousSleep));
        SetMessagePumpHook(std::move(previousPump));
    }
    long count(const std::string& entry) const { return std::count(log.begin(), log.end(), entry); }
};

void clear_image() {
    TCanvas* c = canvas();
    c->FillRect(c->ClipRect());
}

std::string status_text() { return form()->StatusBar1->Panels(0)->Text(); }

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -(1 << 30), bottom = -(1 << 30);
};

Box bounds_of(TColor color) {
    Box b;
    const TCanvas* c = canvas();
    for (int y = 0; y < c->Height(); ++y)
        for (int x = 0; x < c->Width(); ++x)
            if (c->Pixel(x, y) == color) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

long count_of(TColor color) {
    long n = 0;
    const TCanvas* c = canvas();
    for (int y = 0; y < c->Height(); ++y)
        for (int x = 0; x < c->Width(); ++x) n += c->Pixel(x, y) == color;
    return n;
}

// The main window, made fresh for every test (see MainWindow).
class NcPage : public MainWindow {};

}  // namespace

TEST_F(NcPage, image_canvas_covers_both_drawings) {
    // The circle test reaches pixel (322, 348) with its dots.
    EXPECT_GE(canvas()->Width(), 323);
    EXPECT_GE(canvas()->Height(), 349);
    EXPECT_EQ(form()->Image1->Widget()->width(), canvas()->Width());
    EXPECT_EQ(form()->Image1->Widget()->height(), canvas()->Height());
}

TEST_F(NcPage, plot_primitives_map_and_draw_with_the_current_pen) {
    struct Row {
        const char* name;
        bool scaled;
        int a, b, width;
        int px, py;        // pixel expected to carry the pen colour
        int inked;         // pixels that change
        bool penMoves;
    };
    const Row rows[] = {
        {"scaled top-left", true, 20, 193, 1, 0, 0, 1, false},
        {"scaled circle top", true, 100, 180, 1, 160, 26, 1, false},
        {"scaled off the image", true, 0, 0, 5, -40, 386, 0, true},
        {"scaled wide", true, 100, 180, 5, 160, 26, 25, true},
        {"point thin", false, 30, 40, 1, 30, 40, 1, false},
        {"point wide", false, 30, 40, 5, 30, 40, 25, true},
        {"point width 0 is a line", false, 30, 40, 0, 30, 40, 0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        clear_image();
        TCanvas* c = canvas();
        c->MoveTo(7, 7);
        c->Pen.Width = row.width;
        c->Pen.Color = clBlue;
        Recorder rec;
        if (row.scaled) {
            plot_scaled(row.a, row.b, 2);
        } else {
            plot_point(row.a, row.b);
        }
        EXPECT_TRUE(rec.log.empty());  // no pause, no pump
        EXPECT_EQ(row.inked, count_of(clBlue));
        if (row.inked > 0) {
            EXPECT_EQ(clBlue, c->Pixel(row.px, row.py));
        }
        EXPECT_EQ(row.penMoves ? row.px : 7, c->PenX());
        EXPECT_EQ(row.penMoves ? row.py : 7, c->PenY());
        EXPECT_EQ(row.width, c->Pen.Width);  // the plot never sets the pen
    }
}

TEST_F(NcPage, draw_circle_pauses_then_pumps_each_pass) {
    struct Row {
        int r;
        long passes;
    };
    const Row rows[] = {{10, 7}, {1, 1}, {0, 0}, {-3, 0}, {80, 57}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.r);
        clear_image();
        canvas()->Pen.Width = 1;
        canvas()->Pen.Color = clBlack;
        Recorder rec;
        draw_circle(100, 100, row.r);
        std::vector<std::string> expected;
        for (long i = 0; i < row.passes; ++i) {
            expected.push_back("S10");
            expected.push_back("P");
        }
        EXPECT_EQ(expected, rec.log);
        if (row.r <= 0) {
            EXPECT_EQ(1, count_of(clBlack));
            EXPECT_EQ(clBlack, canvas()->Pixel(160, 386 - 2 * (100 + row.r)));
        }
    }
}

TEST_F(NcPage, draw_arc_from_start_to_end_draws_only_the_start) {
    clear_image();
    canvas()->Pen.Width = 1;
    canvas()->Pen.Color = clBlack;
    Recorder rec;
    draw_arc(100, 100, 100, 180, 100, 180);
    EXPECT_TRUE(rec.log.empty());
    EXPECT_EQ(1, count_of(clBlack));
    EXPECT_EQ(clBlack, canvas()->Pixel(160, 26));
}

TEST_F(NcPage, draw_arc_that_never_meets_its_end_returns) {
    clear_image();
    Recorder rec;
    draw_arc(100, 100, 100, 180, 100, 100);  // end at the centre: off the trace
    EXPECT_GT(rec.count("S20"), 0);
    EXPECT_EQ(1, canvas()->Pen.Width);
    EXPECT_EQ(clBlack, canvas()->Pen.Color);
}

TEST_F(NcPage, nc_path_plot) {
    Recorder rec;
    std::vector<std::string> statusAtPass;
    std::vector<std::pair<int, int>> penAtPass;
    std::vector<TColor> pointColours;  // colour at the point after each marker, first pass
    rec.onSleep = [&](unsigned ms) {
        if (ms == 4) {
            statusAtPass.push_back(status_text());
            penAtPass.push_back({canvas()->PenX(), canvas()->PenY()});
        }
        if (statusAtPass.empty() && ms == 1) pointColours.push_back(canvas()->Pixel(50, 149));
    };
    form()->btDrawNCPathClick(nullptr);

    ASSERT_EQ(194u, statusAtPass.size());
    EXPECT_EQ("X0000 Y0001 Z0000", statusAtPass.front());
    EXPECT_EQ("X0000 Y-0001 Z0000", statusAtPass.back());
    EXPECT_EQ("X0000 Y-0001 Z0000", status_text());
    EXPECT_EQ((std::pair<int, int>{50, 149}), penAtPass.front());
    EXPECT_EQ((std::pair<int, int>{50, 151}), penAtPass.back());
    EXPECT_EQ((std::vector<TColor>{clBlue, clLime}), pointColours);

    // Per pass: blue dot, pump, 1 ms; lime dot, pump, 1 ms; repaint, 4 ms, pump.
    const std::vector<std::string> pass = {"P", "S1", "P", "S1", "S4", "P"};
    ASSERT_EQ(194u * pass.size(), rec.log.size());
    for (std::size_t i = 0; i < rec.log.size(); ++i) ASSERT_EQ(pass[i % pass.size()], rec.log[i]) << i;

    const std::pair<int, int> corners[] = {{100, 40}, {150, 40}, {140, 65}, {170, 65},
                                           {170, 91}, {130, 91}, {100, 151}, {50, 151}};
    for (auto [x, y] : corners) {
        SCOPED_TRACE(testing::Message() << x << "," << y);
        const TColor c = canvas()->Pixel(x, y);
        EXPECT_TRUE(c == clBlack || c == clLime) << std::hex << c;
    }
    EXPECT_EQ(clLime, canvas()->Pixel(50, 151));  // the last point keeps its dot
    const Box black = bounds_of(clBlack);
    EXPECT_GE(black.left, 50);
    EXPECT_LE(black.right, 170);
    EXPECT_GE(black.top, 40);
    EXPECT_LE(black.bottom, 151);
    EXPECT_EQ(170, black.right);
    EXPECT_EQ(40, black.top);
    // Dots reach two pixels beyond the path; no blue dot is left uncovered.
    const Box lime = bounds_of(clLime);
    EXPECT_EQ(48, lime.left);
    EXPECT_EQ(172, lime.right);
    EXPECT_EQ(38, lime.top);
    EXPECT_EQ(153, lime.bottom);
    EXPECT_EQ(0, count_of(clBlue));
    EXPECT_EQ(5, canvas()->Pen.Width);
    EXPECT_EQ(clLime, canvas()->Pen.Color);

    // What the control shows is the bitmap.
    const QImage shot = form()->Image1->Widget()->grab().toImage();
    for (int y = 30; y < 160; y += 3) {
        for (int x = 40; x < 180; x += 3) ASSERT_EQ(canvas()->Bitmap().pixel(x, y), shot.pixel(x, y)) << x << "," << y;
    }
}

TEST_F(NcPage, nc_path_plot_clears_the_image_first) {
    clear_image();
    canvas()->Pen.Width = 1;
    canvas()->Pixels(600, 300, clBlack);
    Recorder rec;
    form()->btDrawNCPathClick(nullptr);
    EXPECT_EQ(clWhite, canvas()->Pixel(600, 300));
}

TEST_F(NcPage, nested_nc_path_plot_ends_the_interrupted_one) {
    Recorder rec;
    int pumps = 0;
    rec.onPump = [&] {
        if (++pumps == 10) form()->btDrawNCPathClick(nullptr);  // first pump of pass 4
    };
    form()->btDrawNCPathClick(nullptr);
    // The nested run makes all 194 passes; the outer one finishes its fourth.
    EXPECT_EQ(4 + 194, rec.count("S4"));
    EXPECT_EQ("X0000 Y-0001 Z0000", status_text());
    EXPECT_EQ(clLime, canvas()->Pixel(50, 151));
    EXPECT_EQ(1, nc_step(*std::make_unique<NcPoint>()));  // the program has ended
}

// "Stop" ends the drawings at the pass it is clicked in; it is open only
// while one runs.
TEST_F(NcPage, stop_ends_each_drawing_where_it_is_clicked) {
    struct Case {
        const char* name;
        void (TForm1::*handler)(TObject*);
        bool step;       // "Step" checked: the stop comes while waiting for "Next point"
        int stopAtPump;
        long passes;     // S4 of the NC path, S20 of the arc
        const char* passPause;
        long circlePasses;
    };
    const Case cases[] = {
        {"path in pass 4", &TForm1::btDrawNCPathClick, false, 10, 4, "S4", 0},
        {"path waiting in pass 1", &TForm1::btDrawNCPathClick, true, 6, 1, "S4", 0},
        {"circle in pass 5", &TForm1::Button3Click, false, 5, 0, "S20", 5},
        {"arc at its first point", &TForm1::Button3Click, false, 58, 1, "S20", 57},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form()->cbStep->SetChecked(c.step);
        Recorder rec;
        int pumps = 0;
        bool openWhileDrawing = false;
        rec.onPump = [&] {
            if (++pumps != c.stopAtPump) return;
            openWhileDrawing = form()->btStop->Enabled();
            click(form()->btStop);
        };
        (form()->*c.handler)(nullptr);
        EXPECT_TRUE(openWhileDrawing);
        EXPECT_FALSE(form()->btStop->Enabled());
        EXPECT_EQ(c.passes, rec.count(c.passPause));
        if (c.handler == &TForm1::Button3Click) {
            EXPECT_EQ(c.circlePasses + 2 * c.passes, rec.count("S10"));
        }
    }
}

// A close during a drawing ends it as "Stop" would; then the program ends.
TEST_F(NcPage, close_during_a_drawing_ends_it_then_the_program) {
    Recorder rec;
    int pumps = 0;
    rec.onPump = [&] {
        if (++pumps == 10) form()->Close();
    };
    post([] { click(form()->btDrawNCPath); });
    Application->Run();
    EXPECT_EQ(4, rec.count("S4"));
    EXPECT_FALSE(form()->Visible());
    EXPECT_TRUE(Application->Terminated());
}

TEST_F(NcPage, circle_test) {
    Recorder rec;
    std::vector<TColor> firstPoint;  // (162, 26), the first arc point, at each of its pauses
    rec.onSleep = [&](unsigned) {
        if (rec.count("S10") > 57 && firstPoint.size() < 3) firstPoint.push_back(canvas()->Pixel(162, 26));
    };
    // Every change of the bitmap, with the colour it left at its top-left.
    struct Change {
        TRect rect;
        TColor color;
    };
    std::vector<Change> changes;
    TCanvas* c = canvas();
    auto forward = c->OnChange;
    c->OnChange = [&](const TRect& r) {
        changes.push_back({r, c->Pixel(r.Left, r.Top)});
        if (forward) forward(r);
    };
    form()->Button3Click(nullptr);
    c->OnChange = forward;

    // 57 circle passes of 10 ms, then 113 arc points of 10 + 10 + 20 ms.
    std::vector<std::string> expected;
    for (int i = 0; i < 57; ++i) {
        expected.push_back("S10");
        expected.push_back("P");
    }
    for (int i = 0; i < 113; ++i) {
        for (const char* e : {"P", "S10", "P", "S10", "P", "S20"}) expected.push_back(e);
    }
    EXPECT_EQ(expected, rec.log);
    EXPECT_EQ((std::vector<TColor>{clBlue, clLime, clBlack}), firstPoint);

    // Clearing, 457 ring dots, the black start pixel, then three marks per arc point.
    ASSERT_EQ(1u + 457u + 1u + 3u * 113u, changes.size());
    EXPECT_EQ(c->ClipRect(), changes[0].rect);
    EXPECT_EQ((TRect{158, 24, 163, 29}), changes[1].rect);  // the ring's top point, 5 wide
    EXPECT_EQ(clLime, changes[1].color);
    EXPECT_EQ((TRect{160, 26, 161, 27}), changes[458].rect);
    EXPECT_EQ(clBlack, changes[458].color);
    EXPECT_EQ((TRect{162, 26, 163, 27}), changes[461].rect);  // first arc point, black

    // Each marker covers the black pixel of the point before, so only the
    // end point's black pixel is left on the lime ring and arc.
    struct Pixel {
        const char* name;
        int x, y;
        TColor color;
    };
    const Pixel pixels[] = {
        {"ring top, the arc's start", 160, 26, clLime},  // (100, 180)
        {"ring bottom, between two dots", 160, 346, clLime},  // (100, 20) itself is not drawn
        {"ring left", 0, 184, clLime},                   // (20, 101)
        {"ring lower right", 274, 300, clLime},          // (157, 43)
        {"arc point", 162, 26, clLime},                  // (101, 180)
        {"arc middle", 274, 74, clLime},                 // (157, 156)
        {"arc end", 320, 186, clBlack},                  // (180, 100)
        {"centre", 160, 186, clWhite},
        {"inside the ring", 200, 120, clWhite},
    };
    for (const Pixel& p : pixels) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(p.color, c->Pixel(p.x, p.y)) << std::hex << c->Pixel(p.x, p.y);
    }
    EXPECT_EQ(1, count_of(clBlack));
    EXPECT_EQ(0, count_of(clBlue));
    EXPECT_EQ(1, c->Pen.Width);
    EXPECT_EQ(clBlack, c->Pen.Color);
}
