#pragma once
// The run on the chart as the panels know it: its mode and gains and its
// metrics so far. Followed from the window's start, so that a panel opened
// after a run still knows that run.
#include "analysis/run_feed.h"
#include "core/metrics.h"

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

private:
    RunFeed& feed_;
    int subscription_;
    bool known_ = false;
    RunStartInfo start_;
    RunMetricsAccumulator metrics_;
};
