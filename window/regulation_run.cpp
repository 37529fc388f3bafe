#include "window/regulation_run.h"

#include "analysis/live/gain_edits.h"
#include "analysis/live/run_feed.h"
#include "core/engine/module.h"
#include "core/measure/gain_set.h"
#include "core/measure/regulation_insight.h"
#include "toolkit/sys/sysutils.h"
#include "window/main_form.h"

#include <array>

namespace {

constexpr unsigned kPassPauseMs = 20;

// The check box decides the mode: checked is speed mode. It is read anew
// wherever the mode matters, since a click can change it during a pass.
bool speed_mode() { return Form1->cbSpeedRegulation->Checked(); }

std::array<TLineSeries*, 4> all_series() { return {Form1->Series1, Form1->Series2, Form1->Series3, Form1->Series4}; }

void add_point(TLineSeries* series, std::int32_t runTime, double y) {
    series->AddXY(static_cast<double>(runTime), y, "", clDefaultColor);
}

// The edits as the controllers take them: not a number gives 0, and the low
// 16 bits are kept (70000 becomes 4464); w only in speed mode.
RegulationGains read_gains(bool speedMode) {
    RegulationGains gains = Form1->Analysis->gains().run_gains();
    if (!speedMode) gains.w = 0;
    return gains;
}

void show_position(const NcPoint& point) {
    Form1->StatusBar1->Panels(0)->SetText(FormatText("X%0.4d Y%0.4d Z%0.4d", point.X, point.Y, point.Z));
}

// The pass just plotted, for the panels that follow the run.
RunPassInfo pass_info(const RegulationRun& run, bool speedMode, const RegulationInsight& insight) {
    RunPassInfo pass;
    pass.runTime = run.runTime;
    pass.speedMode = speedMode;
    pass.command = speedMode ? speedController.w : run.commandedPoint.X;
    pass.response = speedMode ? actualSpeed : actualPosition;
    pass.speedY = speedController.y;
    pass.positionY = positionController.y;
    pass.actualSpeed = actualSpeed;
    pass.actualPosition = actualPosition;
    pass.events = insight.events;
    pass.twinY = twin_chart_y(insight.twin, speedMode);
    pass.twinSpeed = insight.twin.speed;
    pass.twinPosition = insight.twin.position;
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
// with its message pump, the chart, and the feed of the panels.
class WindowPass final : public RegulationPassHost {
public:
    WindowPass(RunFeed& feed, const RegulationInsight& insight) : feed_(feed), insight_(insight) {}
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
        // Before the repaint, so that lines the panels add for this pass show with it.
        RunPassInfo pass = pass_info(run, ::speed_mode(), insight_);
        pass.pass = ++passes_;
        feed_.publish_pass(pass);
        Form1->Chart1->Repaint();
    }

private:
    RunFeed& feed_;
    const RegulationInsight& insight_;
    std::int64_t passes_ = 0;
};

}  // namespace

void run_regulation() {
    Form1->RegulationFeed.publish_starting();
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

    RegulationInsight insight;
    insight_start(insight, speedMode, gains);
    WindowPass host{feed, insight};
    while (regulationRunning) {
        wait_while_held(feed);
        if (!regulationRunning) break;
        feed.pass_begins();
        // The observed pass: the same steps, with the wraps and limits they
        // meet and the real-valued twin beside them, for the panels.
        if (!regulation_pass(moduleEngine, run, host, insight)) return;  // the NC program has ended
    }
}

void TForm1::Button1Click(TObject*) { run_regulation(); }

void TForm1::Button2Click(TObject*) { stop_regulation(); }
