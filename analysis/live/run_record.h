#pragma once
// The run on the chart as the panels know it: its mode and gains and its
// metrics so far. Followed from the window's start, so that a panel opened
// after a run still knows that run.
//
// The check box is read every pass, so a run can change its mode midway.
// The metrics are those of one mode: they cover the passes before the first
// switch, and the switches are kept to say so.
#include "analysis/live/run_feed.h"
#include "core/measure/metrics.h"

#include <cstdint>
#include <string>
#include <vector>

class RunRecord {
public:
    explicit RunRecord(RunFeed& feed);
    ~RunRecord();
    RunRecord(const RunRecord&) = delete;
    RunRecord& operator=(const RunRecord&) = delete;

    // False until the first run starts.
    bool known() const { return known_; }
    const RunStartInfo& start() const { return start_; }
    RunMetrics metrics() const { return metrics_.result(); }
    // The metrics as the command-line front end prints them.
    std::string csv_row() const;

    // A change of mode during the run: the mode from then on and the time
    // of the first pass in it.
    struct ModeSwitch {
        bool speedMode = false;
        std::int32_t runTime = 0;  // ms
    };
    const std::vector<ModeSwitch>& switches() const { return switches_; }
    // "position", "speed", or with its switches "position → speed at 300 ms".
    std::string mode_text() const;

private:
    RunFeed& feed_;
    int subscription_;
    bool known_ = false;
    RunStartInfo start_;
    RunMetricsAccumulator metrics_;
    std::vector<ModeSwitch> switches_;
};
