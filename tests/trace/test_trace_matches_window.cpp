// The command-line trace against the window's own run and pictures, and the
// window's exports from its right-click menus.
#include "io/nc_program_file.h"
#include "tests/window/window_fixture.h"
#include "toolkit/sys/dialogs.h"

#include <QImage>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class WindowExports : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        dir_ = std::filesystem::temp_directory_path() / ("vantrel-export-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        previousPrompt_ = SetSaveFilePrompt([this](const std::string&, const std::string&, const std::string&) {
            ++prompts;
            return answer.string();
        });
    }
    void TearDown() override {
        SetSaveFilePrompt(previousPrompt_);
        std::filesystem::remove_all(dir_);
        MainWindow::TearDown();
    }

    std::string trace(const std::string& args, const std::string& what = "regulation") {
        const auto out = dir_ / "trace.csv";
        const std::string command = std::string(VANTREL_TRACE_PATH) + " " + what + " " + args + " --out " +
                                    out.string() + " 2> /dev/null";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
        return read_file(out);
    }

    std::filesystem::path dir_;
    std::filesystem::path answer;  // what the save prompt answers; empty cancels
    int prompts = 0;

private:
    SaveFilePrompt previousPrompt_;
};

TEST_F(WindowExports, TraceRowsAreTheWindowsChartRows) {
    const struct {
        bool speedMode;
        const char *kp, *ki, *kd, *kv, *w;
        int stopAtPass;  // 0: position mode runs to the program's end
        const char* args;
    } cases[] = {
        {true, "250", "60", "0", "30", "80", 40, "--mode speed --passes 40"},
        {true, "abc", "70000", "3", "30", "", 25, "--mode speed --passes 25 --kp abc --ki 70000 --kd 3 --w ''"},
        {false, "250", "60", "0", "30", "80", 0, ""},
        {false, "120", "10", "5", "100", "80", 0, "--kp 120 --ki 10 --kd 5 --kv 100"},
        {false, "250", "60", "0", "30", "80", 60, "--passes 60"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        if (Form1->cbSpeedRegulation->Checked() != c.speedMode) click(Form1->cbSpeedRegulation);
        Form1->edKp->SetText(c.kp);
        Form1->edKi->SetText(c.ki);
        Form1->edKd->SetText(c.kd);
        Form1->edKv->SetText(c.kv);
        Form1->edW->SetText(c.w);
        pauses.clear();
        onPause = [&c](int pass) {
            if (pass == c.stopAtPass) click(Form1->Button2);  // "Regelung aus" handled in this pass
        };
        show_regulation_page();
        click(Form1->Button1);

        answer = dir_ / "window.csv";
        Form1->ChartPopupMenu.Click(0);
        ASSERT_TRUE(std::filesystem::exists(answer));
        // The trace's rows; the header names the series as the legend does.
        const std::string window = read_file(answer), traced = trace(c.args);
        EXPECT_EQ(window.substr(window.find('\n')), traced.substr(traced.find('\n')));
        EXPECT_EQ(std::string("time,") + (c.speedMode ? "y (PWM)" : "y (V Soll)") + ",v (IST),x (Pos),x (SollPos)",
                  window.substr(0, window.find('\n')));
        // The panel's metrics are the trace's row.
        const std::string metrics = trace(c.args, "metrics");
        EXPECT_EQ(metrics.substr(metrics.find('\n') + 1), Form1->Analysis->record().csv_row());
    }
    EXPECT_TRUE(errors.shown.empty());
}

// `image` draws what the page's buttons leave on the window, without the
// window: the user's settings, which would open the panel and grow the
// window, are neither heeded nor touched.
TEST_F(WindowExports, ImagesAreThePagesPicturesAndLeaveTheSettingsAlone) {
    const auto config = dir_ / "config";
    std::filesystem::create_directories(config / "Vantrel");
    const std::string settings = "[panel]\nopen=1\nwidth=5\n\n[window]\nplace=\"10,10,900,800\"\n";
    std::ofstream(config / "Vantrel" / "vantrel.conf") << settings;
    const std::string star = VANTREL_EXAMPLES_DIR "/star.nc";
    const struct {
        std::string args;
        TButton* TForm1::*button;
        bool demo;
    } cases[] = {
        {"nc", &TForm1::btDrawNCPath, true},
        {"circle", &TForm1::Button3, true},
        {"nc --program " + star, &TForm1::btDrawNCPath, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        std::string error;
        if (c.demo) {
            nc_choose_demo();
        } else {
            ASSERT_TRUE(choose_nc_program_file(star, error)) << error;
        }
        click(Form1->*c.button);
        const auto png = dir_ / "page.png";
        const std::string command = "XDG_CONFIG_HOME=" + config.string() + " " + VANTREL_TRACE_PATH + " image " +
                                    c.args + " --out " + png.string();
        ASSERT_EQ(0, std::system(command.c_str())) << command;
        const QImage image(QString::fromStdString(png.string()));
        EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), Form1->Image1->Canvas()->Bitmap());
    }
    EXPECT_EQ(settings, read_file(config / "Vantrel" / "vantrel.conf"));
    EXPECT_EQ(1, std::distance(std::filesystem::recursive_directory_iterator(config / "Vantrel"), {}));
}

TEST_F(WindowExports, MenusCarryTheirCaptions) {
    ASSERT_GE(Form1->ChartPopupMenu.Items().size(), 2u);  // the analysis items follow the exports
    EXPECT_EQ(Form1->ChartPopupMenu.Items()[0].caption, "Export data as CSV...");
    EXPECT_EQ(Form1->ChartPopupMenu.Items()[1].caption, "Save chart as PNG...");
    ASSERT_GE(Form1->ImagePopupMenu.Items().size(), 1u);  // the NC program items follow
    EXPECT_EQ(Form1->ImagePopupMenu.Items()[0].caption, "Save image as PNG...");
}

TEST_F(WindowExports, PngFilesHoldWhatThePagesShow) {
    click(Form1->btDrawNCPath);
    answer = dir_ / "image.png";
    Form1->ImagePopupMenu.Click(0);
    const QImage image(QString::fromStdString(answer.string()));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), Form1->Image1->Canvas()->Bitmap().convertToFormat(QImage::Format_RGB32));

    show_regulation_page();
    click(Form1->Button1);
    answer = dir_ / "chart.png";
    Form1->ChartPopupMenu.Click(1);
    const QImage chart(QString::fromStdString(answer.string()));
    ASSERT_FALSE(chart.isNull());
    EXPECT_EQ(chart.size(), Form1->Chart1->Widget()->size());
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(WindowExports, CancelWritesNothingAndFailuresShowTheReason) {
    answer.clear();
    Form1->ChartPopupMenu.Click(0);
    Form1->ImagePopupMenu.Click(0);
    EXPECT_EQ(prompts, 2);
    EXPECT_TRUE(errors.shown.empty());

    for (std::size_t item : {0u, 1u}) {
        answer = dir_ / "missing" / "out.file";
        Form1->ChartPopupMenu.Click(item);
    }
    Form1->ImagePopupMenu.Click(0);
    ASSERT_EQ(errors.shown.size(), 3u);
    for (const ShownError& e : errors.shown) {
        EXPECT_NE(e.message.find("Cannot save " + answer.string()), std::string::npos) << e.message;
    }
    EXPECT_FALSE(std::filesystem::exists(answer.parent_path()));
    // The window stays usable after the error boxes.
    click(Form1->btDrawNCPath);
    EXPECT_EQ(Form1->StatusBar1->Panels(0)->Text(), "X0000 Y-0001 Z0000");
}

}  // namespace
