#include "window/regulation_run.h"

#include "analysis/run_feed.h"
#include "core/cascade.h"
#include "core/int16.h"
#include "core/regulation.h"
#include "toolkit/sys/sysutils.h"
#include "window/main_form.h"

#include <array>

namespace {

constexpr unsigned kPassPauseMs = 20;

// The check box decides the mode: checked is speed mode. It is read anew
// wherever the mode matters, since a click can change it during a pass.
bool speed_mode() { return Form1->cbSpeedRegulation->Checked(); }

// An edit's value as the controllers take it: not a number gives 0, and the
// low 16 bits are kept (70000 becomes 4464).
std::int16_t edit_value(const TLabeledEdit* edit) { return wrap16(ParseIntDefault(edit->Text(), 0)); }

std::array<TLineSeries*, 4> all_series() { return {Form1->Series1, Form1->Series2, Form1->Series3, Form1->Series4}; }

void add_point(TLineSeries* series, std::int32_t runTime, double y) {
    series->AddXY(static_cast<double>(runTime), y, "", clDefaultColor);
}

RegulationGains read_gains(bool speedMode) {
    RegulationGains gains{};
    gains.kv = edit_value(Form1->edKv);
    gains.kp = edit_value(Form1->edKp);
    gains.ki = edit_value(Form1->edKi);
    gains.kd = edit_value(Form1->edKd);
    gains.w = speedMode ? edit_value(Form1->edW) : std::int16_t{0};
    return gains;
}

void show_position(const NcPoint& point) {
    Form1->StatusBar1->Panels(0)->SetText(FormatText("X%0.4d Y%0.4d Z%0.4d", point.X, point.Y, point.Z));
}

// The pass just plotted, for the panels that follow the run.
RunPassInfo pass_info(const RegulationRun& run, bool speedMode) {
    RunPassInfo pass;
    pass.runTime = run.runTime;
    pass.speedMode = speedMode;
    pass.command = speedMode ? speedController.w : run.commandedPoint.X;
    pass.response = speedMode ? actualSpeed : actualPosition;
    pass.speedY = speedController.y;
    pass.positionY = positionController.y;
    pass.actualSpeed = actualSpeed;
    pass.actualPosition = actualPosition;
    return pass;
}

// A panel's pause holds the run here, between two passes, with the window
// alive: "Regelung aus" still ends the run and "Regelung an" still starts a
// nested one.
void wait_while_held(RunFeed& feed) {
    while (regulationRunning && feed.holding()) {
        Sleep(kPassPauseMs);
        Application->ProcessMessages();
    }
}

// Tells the feed that the run has returned, however it returns.
struct RunEndNotice {
    RunFeed& feed;
    ~RunEndNotice() { feed.publish_end(); }
};

// The window's side of a pass: the check box, the position text, the pause
// with its message pump, and the chart.
class WindowPass final : public RegulationPassHost {
public:
    explicit WindowPass(RunFeed& feed) : feed_(feed) {}
    bool speed_mode() override { return ::speed_mode(); }
    void controlled(const RegulationRun& run, bool speedMode) override {
        if (!speedMode) show_position(run.commandedPoint);
    }
    void pause_and_pump() override {
        Sleep(kPassPauseMs);
        Application->ProcessMessages();  // clicks, nested runs and mode switches happen here
    }
    void chart_points(const RegulationRun& run, const RegulationPoints& points) override {
        const auto series = all_series();
        for (int i = 0; i < points.count; ++i) {
            add_point(series[static_cast<std::size_t>(i)], run.runTime, points.y[i]);
        }
        Form1->Chart1->Repaint();
        feed_.publish_pass(pass_info(run, ::speed_mode()));
    }

private:
    RunFeed& feed_;
};

}  // namespace

void run_regulation() {
    regulationRunning = true;
    RegulationRun run;  // runTime starts at 0

    for (TLineSeries* series : all_series()) series->Clear();
    for (TLineSeries* series : all_series()) add_point(series, run.runTime, 0);

    const bool speedMode = speed_mode();
    Form1->Series1->SetTitle(speedMode ? "y (PWM)" : "y (V Soll)");
    Form1->Series2->SetTitle("v (IST)");
    const RegulationGains gains = read_gains(speedMode);
    regulation_start(run, speedMode, gains);

    RunFeed& feed = Form1->RegulationFeed;
    feed.publish_start(RunStartInfo{speedMode, gains});
    const RunEndNotice endNotice{feed};

    WindowPass host{feed};
    while (regulationRunning) {
        wait_while_held(feed);
        if (!regulationRunning) break;
        feed.pass_begins();
        if (!regulation_pass(run, host)) return;  // the NC program has ended
    }
}
