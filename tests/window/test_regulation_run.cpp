// "Regelung an" and "Regelung aus" on the window: what a run puts on the
// chart and the status bar, and what clicks during a pass do to it.
#include "core/engine/module.h"
#include "tests/window/window_fixture.h"
#include "window/regulation_run.h"

#include <QTimer>

#include <algorithm>
#include <string>
#include <vector>

namespace {

void start_speed_mode() {
    Form1->cbSpeedRegulation->SetChecked(true);
}

// X of a position text "X0004 Y0000 Z0000".
int x_of(const std::string& text) { return ParseIntDefault(text.substr(1, text.find(' ') - 1), 9999); }

}  // namespace

TEST_F(MainWindow, SpeedModeRunPlotsPwmAndSpeedUntilRegelungAus) {
    show_regulation_page();
    start_speed_mode();
    onPause = [](int pass) {
        if (pass == 5) click_later(Form1->Button2);
    };
    click(Form1->Button1);

    EXPECT_EQ(std::vector<unsigned>(5, 20), pauses);
    EXPECT_EQ((std::vector<double>{0, 4, 8, 12, 16, 20}), xs(Form1->Series1));
    EXPECT_EQ((std::vector<double>{0, 248, 221, 227, 246, 253}), ys(Form1->Series1));
    EXPECT_EQ((std::vector<double>{0, 4, 8, 12, 16, 20}), xs(Form1->Series2));
    EXPECT_EQ((std::vector<double>{0, 0, 24, 33, 36, 40}), ys(Form1->Series2));
    EXPECT_EQ((std::vector<double>{0}), ys(Form1->Series3));
    EXPECT_EQ((std::vector<double>{0}), ys(Form1->Series4));
    EXPECT_EQ("y (PWM)", Form1->Series1->Title());
    EXPECT_EQ("v (IST)", Form1->Series2->Title());
    EXPECT_EQ("x (Pos)", Form1->Series3->Title());
    EXPECT_EQ("", Form1->StatusBar1->Panels(0)->Text());  // speed mode writes no position
    EXPECT_FALSE(regulationRunning);
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(MainWindow, PositionModeRunFollowsTheNcProgramToItsEnd) {
    show_regulation_page();
    std::vector<std::string> statusInPause;
    onPause = [&](int) { statusInPause.push_back(Form1->StatusBar1->Panels(0)->Text()); };
    click(Form1->Button1);

    ASSERT_EQ(195u, pauses.size());
    for (TLineSeries* series : {Form1->Series1, Form1->Series2, Form1->Series3, Form1->Series4}) {
        SCOPED_TRACE(series->Title());
        ASSERT_EQ(196u, series->Count());
        EXPECT_EQ(0, series->XValue(0));
        EXPECT_EQ(4, series->XValue(1));
        EXPECT_EQ(780, series->XValue(195));
    }
    EXPECT_EQ("y (V Soll)", Form1->Series1->Title());
    EXPECT_EQ("v (IST)", Form1->Series2->Title());
    // The first pass runs the start block: everything stays at the origin.
    for (TLineSeries* series : {Form1->Series1, Form1->Series2, Form1->Series3, Form1->Series4}) {
        EXPECT_EQ(0, series->YValue(1));
    }
    // The status text of a pass is written before its pause, and its X is
    // the position setpoint that the pass then plots.
    ASSERT_EQ(195u, statusInPause.size());
    EXPECT_EQ("X0000 Y0000 Z0000", statusInPause.front());
    for (std::size_t pass = 0; pass < statusInPause.size(); ++pass) {
        SCOPED_TRACE(pass + 1);
        EXPECT_EQ(Form1->Series4->YValue(pass + 1), x_of(statusInPause[pass]));
    }
    EXPECT_EQ("X0000 Y-0001 Z0000", Form1->StatusBar1->Panels(0)->Text());
    EXPECT_TRUE(regulationRunning);  // the program's end leaves the flag alone
}

TEST_F(MainWindow, RegelungAusInAPassKeepsThatPassAndRunsNoMore) {
    show_regulation_page();
    onPause = [](int pass) {
        if (pass == 10) click_later(Form1->Button2);
    };
    click(Form1->Button1);
    EXPECT_EQ(10u, pauses.size());
    for (TLineSeries* series : {Form1->Series1, Form1->Series2, Form1->Series3, Form1->Series4}) {
        ASSERT_EQ(11u, series->Count());
        EXPECT_EQ(40, series->XValue(10));
    }
}

TEST_F(MainWindow, RegelungAusWithNoRunOnlyClearsTheFlag) {
    show_regulation_page();
    regulationRunning = true;
    click(Form1->Button2);
    EXPECT_FALSE(regulationRunning);
    EXPECT_EQ(0u, Form1->Series1->Count());
    EXPECT_TRUE(pauses.empty());
}

TEST_F(MainWindow, RegelungAnDuringARunNestsAndOneRegelungAusEndsBoth) {
    show_regulation_page();
    start_speed_mode();
    onPause = [](int pause) {
        if (pause == 3) click_later(Form1->Button1);  // the outer run's third pass
        if (pause == 5) click_later(Form1->Button2);  // the inner run's second pass
    };
    click(Form1->Button1);

    EXPECT_EQ(5u, pauses.size());
    // The inner run cleared the chart and added 0, 4, 8; the outer one then
    // finished its third pass at its own time, 12.
    EXPECT_EQ((std::vector<double>{0, 4, 8, 12}), xs(Form1->Series1));
    const std::vector<double> speed = ys(Form1->Series2);
    EXPECT_EQ((std::vector<double>{0, 0, 24}), std::vector<double>(speed.begin(), speed.begin() + 3));
    EXPECT_EQ(0, HandlerDepth());
}

TEST_F(MainWindow, NestedPositionRunLeavesTheOuterRunAnEndedProgram) {
    show_regulation_page();
    onPause = [](int pause) {
        if (pause == 2) click_later(Form1->Button1);
    };
    click(Form1->Button1);
    // Inner run: 195 passes. The outer one finishes its second pass, then
    // meets the ended program in its third.
    EXPECT_EQ(2u + 195u, pauses.size());
    // The inner run's 196 points and the outer run's point at its own time, 8.
    const std::vector<double> times = xs(Form1->Series4);
    ASSERT_EQ(197u, times.size());
    EXPECT_EQ(2, std::count(times.begin(), times.end(), 8.0));
    EXPECT_EQ(780, *std::max_element(times.begin(), times.end()));
}

TEST_F(MainWindow, SwitchToSpeedModeDuringARunChangesPointsAndClockAtOnce) {
    show_regulation_page();
    std::string statusAtSwitch;
    onPause = [&](int pass) {
        if (pass == 10) {
            statusAtSwitch = Form1->StatusBar1->Panels(0)->Text();
            click_later(Form1->cbSpeedRegulation);
        }
        if (pass == 15) click_later(Form1->Button2);
    };
    click(Form1->Button1);

    EXPECT_EQ(15u, pauses.size());
    EXPECT_TRUE(Form1->edW->Enabled());  // the enabling changed inside the run
    EXPECT_FALSE(Form1->edKv->Enabled());
    std::vector<double> expectedTimes;
    for (int pass = 0; pass <= 15; ++pass) expectedTimes.push_back(4.0 * pass);
    EXPECT_EQ(expectedTimes, xs(Form1->Series1));
    EXPECT_EQ(expectedTimes, xs(Form1->Series2));
    EXPECT_EQ(10u, Form1->Series3->Count());  // start point and passes 1 to 9
    EXPECT_EQ(10u, Form1->Series4->Count());
    EXPECT_EQ(statusAtSwitch, Form1->StatusBar1->Panels(0)->Text());  // no more position texts
    EXPECT_EQ("y (V Soll)", Form1->Series1->Title());  // titles stay for the run
}

TEST_F(MainWindow, SwitchToPositionModeWithNoProgramEndsTheRunInTheNextPass) {
    show_regulation_page();
    start_speed_mode();
    onPause = [](int pass) {
        if (pass == 3) click_later(Form1->cbSpeedRegulation);
    };
    click(Form1->Button1);
    EXPECT_EQ(3u, pauses.size());
    // Pass 3 already plots in position mode; pass 4 meets no program.
    EXPECT_EQ((std::vector<double>{0, 4, 8, 12}), xs(Form1->Series1));
    EXPECT_EQ(2u, Form1->Series3->Count());
    EXPECT_EQ(12, Form1->Series3->XValue(1));
}

TEST_F(MainWindow, EditTextsBecomeGainsAsNumbersKeptToSixteenBits) {
    struct Case {
        const char* text;
        std::int16_t gain;
    };
    const Case cases[] = {
        {"", 0}, {"abc", 0}, {"12a", 0}, {"70000", 4464}, {"65535", -1}, {"32768", -32768}, {"7", 7},
    };
    show_regulation_page();
    start_speed_mode();
    onPause = [](int) { stop_regulation(); };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("text '") + c.text + "'");
        for (TLabeledEdit* edit : {Form1->edKp, Form1->edKi, Form1->edKd, Form1->edKv, Form1->edW}) {
            edit->SetText(c.text);
        }
        click(Form1->Button1);
        EXPECT_EQ(c.gain, speedController.kp);
        EXPECT_EQ(c.gain, speedController.ki);
        EXPECT_EQ(c.gain, speedController.kd);
        EXPECT_EQ(c.gain, positionController.kp);
        EXPECT_EQ(c.gain, speedController.w);
    }
}

TEST_F(MainWindow, EmptySpeedSetpointHoldsTheDriveAtRest) {
    show_regulation_page();
    start_speed_mode();
    Form1->edW->SetText("");
    onPause = [](int pass) {
        if (pass == 20) stop_regulation();
    };
    click(Form1->Button1);
    EXPECT_EQ(std::vector<double>(21, 0.0), ys(Form1->Series2));
}

// A speed-mode run has no end of its own: a close ends a run as "Regelung
// aus" would (the pass of the close is kept), and the window closes after it.
class CloseDuringRun : public MainWindow, public ::testing::WithParamInterface<bool> {};

TEST_P(CloseDuringRun, EndsTheRunAtThatPassThenTheProgram) {
    show_regulation_page();
    Form1->cbSpeedRegulation->SetChecked(GetParam());
    std::vector<bool> visible;
    onPause = [&](int pass) {
        if (pass == 3) Form1->Close();
        visible.push_back(Form1->Visible());
        if (pass == 50) click_later(Form1->Button2);  // only if the close were ignored
    };
    post([] { click(Form1->Button1); });
    QTimer watchdog;
    bool timedOut = false;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        stop_regulation();
        Application->Terminate();
    });
    watchdog.start(10000);
    Application->Run();

    EXPECT_FALSE(timedOut);
    EXPECT_EQ(3u, pauses.size());
    EXPECT_EQ(4u, Form1->Series2->Count());
    EXPECT_EQ(std::vector<bool>(3, true), visible);
    EXPECT_FALSE(Form1->Visible());
    EXPECT_TRUE(Application->Terminated());
    EXPECT_FALSE(regulationRunning);
}

INSTANTIATE_TEST_SUITE_P(SpeedAndPositionMode, CloseDuringRun, ::testing::Bool());
