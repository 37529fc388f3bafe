#include "analysis/live/setpoint_line.h"

#include "analysis/live/run_feed.h"
#include "toolkit/chart/chart.h"

namespace {

constexpr TColor kSetpointColor = 0x404040;
constexpr int kSpeedSeries = 1;  // drawn against the speed's axis

}  // namespace

SetpointLine::SetpointLine(RunFeed& feed, TChart& chart) : feed_(feed), chart_(chart) {
    TOverlayStyle style;
    style.Color = kSetpointColor;
    style.Width = 1;
    style.Dashed = true;
    style.AxisOf = kSpeedSeries;
    line_ = chart_.AddOverlay(style);

    RunFeed::Listener listener;
    listener.onStart = [this](const RunStartInfo& start) {
        line_->Clear();
        if (start.speedMode) line_->AddXY(0, start.gains.w);
    };
    // The line follows the passes plotted in speed mode, at the setpoint they used.
    listener.onPass = [this](const RunPassInfo& pass) {
        if (pass.speedMode) line_->AddXY(pass.runTime, pass.command);
    };
    subscription_ = feed_.subscribe(std::move(listener));
}

SetpointLine::~SetpointLine() {
    feed_.unsubscribe(subscription_);
    chart_.RemoveOverlay(line_);
}
