#pragma once
// The rows of a sweep: the metrics of whole headless runs, in the columns
// `vantrel-trace metrics` prints.
#include "core/batch/gain_batch.h"
#include "core/engine/regulation.h"

#include <span>
#include <string>

struct SweepRunSettings {
    bool speedMode = false;
    long passes = 0;  // speed mode: the run's length; position mode: a cap, 0 for none
    BatchEngine engine = BatchEngine::Auto;
    bool wraps = false;  // one more column, 'wraps': 1 when the run wraps an error, sum or output
};

std::string sweep_header(const SweepRunSettings& settings);  // the header line, '\n' included
// The plan of the sweep's runs, on the chosen program.
GainBatchPlan sweep_batch_plan(const SweepRunSettings& settings);
// One row per gain set, in order, measured with one thread's `meter`.
// `results` is scratch room of at least sets.size(), kept by the caller so
// that a sweep allocates once. False when `stop` cut it short: the rows are
// then unfinished.
bool sweep_append_rows(std::string& out, const SweepRunSettings& settings, const GainBatchPlan& plan, RunMeter& meter,
                       std::span<const RegulationGains> sets, std::span<RunMetrics> results,
                       const StopFlag* stop = nullptr);
