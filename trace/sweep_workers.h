#pragma once
// Runs a sweep's gain sets on worker threads and hands their rows on in the
// grid's fixed order, whatever the number of workers. Each worker measures
// with an engine of its own; they share only the batch's plan, which they
// read.
#include "core/batch/sweep_grid.h"
#include "core/engine/stop_flag.h"
#include "trace/sweep_row.h"

#include <cstdint>
#include <functional>
#include <string>

struct SweepPlan {
    SweepGrid grid;
    SweepRunSettings run;
    SweepShard shard;
    int jobs = 1;  // worker threads; 1 runs on this thread
};

enum class SweepEnd { Finished, Stopped, Failed };

// Rows go to `write` a chunk at a time, in order; `progress` gets the number
// of gain sets done after each chunk. A non-zero `stop` (set by a signal
// handler) ends the sweep at once: the workers return within a block of
// passes and are waited for. Failed (no worker could start) sets `error`.
SweepEnd run_sweep(const SweepPlan& plan, const std::function<void(const std::string& rows)>& write,
                   const std::function<void(std::uint64_t done)>& progress, const StopFlag& stop, std::string& error);
