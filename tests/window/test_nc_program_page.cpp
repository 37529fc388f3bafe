// Own NC programs on the NC page: loading a file, drawing it, a file that
// does not load, the examples, and following the plot point by point.
#include "core/engine/module.h"
#include "core/program/nc_program.h"
#include "tests/window/window_fixture.h"
#include "toolkit/sys/dialogs.h"
#include "window/main_form.h"
#include "io/nc_program_file.h"

#include <QDir>
#include <QImage>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

// Where "Draw NC Path" puts the NC origin, in image pixels (Y grows upward).
constexpr int kOriginX = 50;
constexpr int kOriginY = 150;

std::vector<NcPoint> program_points() {
    nc_load_chosen();
    std::vector<NcPoint> points;
    NcPoint point{0, 0, 0};
    nc_step(point);  // the start block leaves the point at the origin
    while (nc_step(point) == NC_STEPPED) points.push_back(point);
    nc_release_program();
    return points;
}

class NcProgramPage : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        ASSERT_TRUE(dir_.isValid());
        previousPrompt_ = SetOpenFilePrompt([this](const std::string&, const std::string&) { return answer_; });
    }
    void TearDown() override {
        SetOpenFilePrompt(previousPrompt_);
        MainWindow::TearDown();
    }
    std::string write_file(const std::string& name, const std::string& text) {
        const std::string path = dir_.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // "Load NC program…" with the dialog answering `path`.
    void load(const std::string& path) {
        answer_ = path;
        click(Form1->btLoadNCProgram);
    }
    static std::string program_name() { return Form1->StatusBar1->Panels(1)->Text(); }

private:
    QTemporaryDir dir_;
    std::string answer_;
    OpenFilePrompt previousPrompt_;
};

TEST_F(NcProgramPage, LoadedProgramIsDrawnPixelForPoint) {
    load(write_file("zigzag.nc", "G91 G1 X40 Y20\nG0 X10\nG1 Y-30 Z4\nF60\nX300 Y-100 (split in two)\nX-2\n"));
    ASSERT_TRUE(errors.shown.empty()) << errors.shown[0].message;
    EXPECT_EQ("zigzag.nc", program_name());
    const std::vector<NcPoint> points = program_points();
    Form1->btDrawNCPathClick(nullptr);

    // The same picture drawn from the interpreter's points: a black line
    // from the origin through every point, each point under a lime dot.
    TCanvas expected(Form1->Image1->Canvas()->Width(), Form1->Image1->Canvas()->Height());
    expected.FillRect(expected.ClipRect());
    expected.MoveTo(kOriginX, kOriginY);
    for (const NcPoint& p : points) {
        expected.Pen.Width = 1;
        expected.Pen.Color = clBlack;
        expected.LineTo(kOriginX + p.X, kOriginY - p.Y);
        expected.Pen.Width = 5;
        expected.Pen.Color = clLime;
        expected.LineTo(kOriginX + p.X, kOriginY - p.Y);
    }
    EXPECT_EQ(expected.Bitmap(), Form1->Image1->Canvas()->Bitmap());
    EXPECT_EQ((NcPoint{348, -110, 4}), points.back());
}

TEST_F(NcProgramPage, FileThatDoesNotLoadShowsItsFirstErrorAndKeepsTheProgram) {
    load(write_file("good.nc", "G1 X7\n"));
    struct Case {
        const char* name;
        std::string text;
        std::string error;  // after the path
    };
    const Case cases[] = {
        {"range.nc", "G1 X1\nG1 X40000 Y99999\n", ":2:4: X value 40000 is beyond the 16-bit range (-32768 to 32767)"},
        {"absolute.nc", "G90\n", ":1:1: G90 (absolute distances) is not supported: every block moves relative to "
                                 "where the last one ended, so programs are incremental (G91)"},
        {"big.nc", std::string(NC_PROGRAM_MAX_BYTES + 1, ';'),
         ": the file is larger than 1 MiB (1048576 bytes), the most a program may have"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        errors.shown.clear();
        const std::string path = write_file(c.name, c.text);
        load(path);
        ASSERT_EQ(1u, errors.shown.size());
        EXPECT_EQ(path + c.error, errors.shown[0].message);
        EXPECT_EQ("good.nc", program_name());
    }
    errors.shown.clear();
    load(write_file("", "") + "missing.nc");
    ASSERT_EQ(1u, errors.shown.size());
    EXPECT_NE(std::string::npos, errors.shown[0].message.find("Cannot read")) << errors.shown[0].message;
    EXPECT_EQ((std::vector<NcPoint>{{2, 0, 0}, {4, 0, 0}, {6, 0, 0}, {7, 0, 0}}),
              program_points());
}

TEST_F(NcProgramPage, BuiltInProgramGoesBackToTheDemo) {
    load(write_file("one.nc", "G1 X1\n"));
    ASSERT_EQ(4u, Form1->ImagePopupMenu.Items().size());
    EXPECT_EQ("Load NC program\u2026", Form1->ImagePopupMenu.Items()[1].caption);
    EXPECT_EQ("Built-in program", Form1->ImagePopupMenu.Items()[2].caption);
    Form1->ImagePopupMenu.Click(2);
    EXPECT_EQ("", program_name());
    EXPECT_EQ(194u, program_points().size());
}

TEST_F(NcProgramPage, ExamplesStayInsideTheImage) {
    const QDir examples(VANTREL_EXAMPLES_DIR);
    const QStringList files = examples.entryList({"*.nc"}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 4);
    const TCanvas* c = Form1->Image1->Canvas();
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        std::string error;
        ASSERT_TRUE(choose_nc_program_file(examples.filePath(file).toStdString(), error)) << error;
        for (const NcPoint& p : program_points()) {
            // The 5-pixel dot around each point fits as well.
            ASSERT_GE(kOriginX + p.X, 2);
            ASSERT_LT(kOriginX + p.X, c->Width() - 2);
            ASSERT_GE(kOriginY - p.Y, 2);
            ASSERT_LT(kOriginY - p.Y, c->Height() - 2);
        }
    }
    QFile demo(examples.filePath("demo.nc"));
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    EXPECT_EQ(nc_demo_program_text(), demo.readAll().toStdString());
}

TEST_F(NcProgramPage, PositionModeRunFollowsTheLoadedProgramAndNestsWithThePlot) {
    load(write_file("jump.nc", "G0 X-5 Y6\nG1 X2\n"));
    show_regulation_page();
    click(Form1->Button1);
    EXPECT_EQ((std::vector<double>{0, 0, -5, -3}), ys(Form1->Series4));  // start point, then one per pass

    // "Draw NC Path" inside pass 2 runs the program to its end under the run,
    // which ends at its next step.
    pauses.clear();
    onPause = [](int pass) {
        if (pass == 2) Form1->btDrawNCPathClick(nullptr);
    };
    click(Form1->Button1);
    EXPECT_EQ((std::vector<double>{0, 0, -5}), ys(Form1->Series4));
    EXPECT_EQ("X-0003 Y0006 Z0000", Form1->StatusBar1->Panels(0)->Text());
}

// The second panel names the program being drawn, whatever is loaded
// meanwhile, says where its path leaves the picture, and the newly loaded
// program takes over at the next "Draw NC Path".
TEST_F(NcProgramPage, StatusNamesTheDrawnProgramAndWhereItLeavesThePicture) {
    const std::string a = write_file("a.nc", "G1 X10\nG0 Y-300\nG1 X5\n");  // leaves below, at line 2
    const std::string b = write_file("b.nc", "G1 X20\n");
    struct Case {
        std::string drawn;   // empty: the demo
        std::string loaded;  // during the drawing; empty: "Built-in program"
        std::string during;
        std::string after;
        std::string next;    // after a second "Draw NC Path"
    };
    const Case cases[] = {
        {a, b, "a.nc: the path leaves the picture at line 2; next: b.nc", "b.nc", "b.nc"},
        {a, "", "a.nc: the path leaves the picture at line 2; next: built-in program", "", ""},
        {"", b, "built-in program; next: b.nc", "b.nc", "b.nc"},
        {b, a, "b.nc; next: a.nc", "a.nc", "a.nc: the path leaves the picture at line 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.during);
        if (c.drawn.empty()) {
            Form1->BuiltInProgramClick(nullptr);
        } else {
            load(c.drawn);
        }
        std::string during;
        pauses.clear();
        onPause = [&](int pass) {
            if (pass != 4) return;
            if (c.loaded.empty()) {
                Form1->BuiltInProgramClick(nullptr);
            } else {
                load(c.loaded);
            }
            during = program_name();
        };
        Form1->btDrawNCPathClick(nullptr);
        onPause = nullptr;
        EXPECT_EQ(c.during, during);
        EXPECT_EQ(c.after, program_name());
        Form1->btDrawNCPathClick(nullptr);
        EXPECT_EQ(c.next, program_name());
    }
}

// "Fit path" zooms into a small path and shows one beyond the picture in the
// overview kept while it was drawn.
TEST_F(NcProgramPage, FitPathShowsTheWholePath) {
    struct Case {
        std::string text;  // empty: the demo
        int scale;         // 0: the overview
    };
    const Case cases[] = {{"G1 X20 Y10\n", 24}, {"", 3}, {"G1 X10\nG0 Y-300\nG1 X5\n", 0}, {"G0 X-70 Y30\n", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.text.empty()) {
            Form1->BuiltInProgramClick(nullptr);
        } else {
            load(write_file("fit.nc", c.text));
        }
        Form1->btDrawNCPathClick(nullptr);
        Form1->ImagePopupMenu.Click(3);
        EXPECT_EQ(c.scale == 0, Form1->Image1->ShowsOverview());
        EXPECT_EQ(c.scale == 0 ? 1 : c.scale, Form1->Image1->View().scale);
        // One click goes back to the whole picture, zoomed in or overview alike.
        QTest::mouseClick(Form1->Image1->Widget(), Qt::LeftButton, {}, QPoint(100, 100));
        EXPECT_FALSE(Form1->Image1->ShowsOverview());
        EXPECT_EQ(ImageView{}, Form1->Image1->View());
    }
    // The overview kept the lime dot the bitmap clipped away, at (-20, 120)
    // of the picture: the overview starts 22 pixels further left and is
    // halved to fit the control.
    const TCanvas* canvas = Form1->Image1->Canvas();
    ASSERT_NE(nullptr, canvas->Overview());
    EXPECT_EQ((TRect{-22, 0, 660, 380}), canvas->OverviewArea());
    EXPECT_EQ(2, canvas->OverviewReduction());
    EXPECT_EQ(qRgb(0, 255, 0), canvas->Overview()->pixel(1, 60));
    Form1->Button3Click(nullptr);  // a new picture: no overview, Fit path shows it all
    Form1->ImagePopupMenu.Click(3);
    EXPECT_FALSE(Form1->Image1->ShowsOverview());
    EXPECT_EQ(ImageView{}, Form1->Image1->View());
}

TEST_F(NcProgramPage, StepWaitsForNextPointAfterEachPoint) {
    load(write_file("steps.nc", "G1 X20\n"));  // 10 points
    Form1->cbStep->SetChecked(true);
    EXPECT_TRUE(Form1->btNextPoint->Enabled());
    std::vector<std::string> shownWhileWaiting;
    int waits = 0;
    onPause = [&](int) {
        if (pauses.back() != 10) return;  // the step wait's pause
        // Every point is waited on twice before "Next point" comes; at the
        // sixth point "Step" is unchecked and the rest runs on.
        Form1->btDrawNCPath->Widget()->setFocus();
        if (++waits % 2 == 1) return;
        shownWhileWaiting.push_back(Form1->StatusBar1->Panels(0)->Text());
        if (shownWhileWaiting.size() == 6) {
            Form1->cbStep->SetChecked(false);
        } else if (shownWhileWaiting.size() == 3) {
            QTest::keyClick(Form1->btDrawNCPath->Widget(), Qt::Key_Right);  // the arrow key does the same
        } else {
            Form1->btNextPointClick(nullptr);
        }
    };
    Form1->btDrawNCPathClick(nullptr);
    EXPECT_EQ((std::vector<std::string>{"X0002 Y0000 Z0000", "X0004 Y0000 Z0000", "X0006 Y0000 Z0000",
                                        "X0008 Y0000 Z0000", "X0010 Y0000 Z0000", "X0012 Y0000 Z0000"}),
              shownWhileWaiting);
    EXPECT_EQ("X0020 Y0000 Z0000", Form1->StatusBar1->Panels(0)->Text());
    EXPECT_FALSE(Form1->btNextPoint->Enabled());
}

}  // namespace
