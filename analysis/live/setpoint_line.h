#pragma once
// The speed setpoint w as a thin dashed line on the chart during and after
// a speed-mode run, beside the speed it regulates.
class RunFeed;
class TChart;
class TChartOverlay;

class SetpointLine {
public:
    SetpointLine(RunFeed& feed, TChart& chart);
    ~SetpointLine();
    SetpointLine(const SetpointLine&) = delete;
    SetpointLine& operator=(const SetpointLine&) = delete;

    const TChartOverlay* line() const { return line_; }

private:
    RunFeed& feed_;
    TChart& chart_;
    TChartOverlay* line_;
    int subscription_;
};
