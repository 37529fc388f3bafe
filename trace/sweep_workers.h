#pragma once
// Runs a sweep's gain sets in worker processes and hands their rows on in
// the grid's fixed order, whatever the number of workers. Each worker is a
// fork of this process with its own copy of the engine's state; none shares
// it with a thread.
#include "core/batch/sweep_grid.h"
#include "trace/sweep_row.h"

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>

struct SweepPlan {
    SweepGrid grid;
    SweepRunSettings run;
    SweepShard shard;
    int jobs = 1;  // worker processes; 1 runs in this process
};

enum class SweepEnd { Finished, Stopped, Failed };

// What the workers share out: chunk c's bytes appended to `text` (in a
// worker), then handed to the consumer (in this process), in the order of c.
using ChunkProducer = std::function<void(std::uint64_t c, std::string& text)>;
using ChunkConsumer = std::function<void(std::uint64_t c, const std::string& text)>;

// Chunks 0 ... count - 1 made by `jobs` worker processes (chunk c by worker
// c mod J; 1 makes them here) and consumed in order. A non-zero `stop` ends
// it between chunks, the workers ended and waited for; Failed sets `error`.
SweepEnd run_chunks(std::uint64_t count, int jobs, const ChunkProducer& produce, const ChunkConsumer& consume,
                    const volatile std::sig_atomic_t& stop, std::string& error);

// Rows go to `write` a chunk at a time, in order; `progress` gets the number
// of gain sets done after each chunk. A non-zero `stop` (set by a signal
// handler) ends the sweep between chunks: the workers are ended and waited
// for. Failed sets `error`.
SweepEnd run_sweep(const SweepPlan& plan, const std::function<void(const std::string& rows)>& write,
                   const std::function<void(std::uint64_t done)>& progress, const volatile std::sig_atomic_t& stop,
                   std::string& error);
