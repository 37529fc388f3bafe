#include "trace/sweep_workers.h"

#include "core/batch/chunk_runner.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace {

// Gain sets per chunk: small enough for smooth progress and an even share
// among the workers, large enough that handing chunks on stays a small part
// of the work, and a whole number of the engine's groups.
std::uint64_t chunk_size(const SweepRunSettings& run) {
    const long passes = run.passes > 0 ? run.passes : 200;  // a position run of the demo program
    const auto sets = static_cast<std::uint64_t>(std::clamp(200000L / passes, 1L, 512L));
    const std::uint64_t group = batch_group_size(run.engine);
    return (sets + group - 1) / group * group;
}

struct Chunks {
    std::uint64_t total;  // gain sets of the shard
    std::uint64_t size;   // gain sets per chunk
    std::uint64_t count() const { return (total + size - 1) / size; }
};

// One worker's own: its engine, and the room for a chunk's sets and results,
// reused chunk after chunk, so memory stays flat however many sets the sweep has.
struct Worker {
    RunMeter meter;
    std::vector<RegulationGains> sets;
    std::vector<RunMetrics> results;
};

}  // namespace

SweepEnd run_sweep(const SweepPlan& plan, const std::function<void(const std::string& rows)>& write,
                   const std::function<void(std::uint64_t done)>& progress, const StopFlag& stop, std::string& error) {
    const Chunks chunks{sweep_shard_size(sweep_grid_size(plan.grid), plan.shard), chunk_size(plan.run)};
    const GainBatchPlan batch = sweep_batch_plan(plan.run);
    std::vector<Worker> workers(static_cast<std::size_t>(std::max(plan.jobs, 1)));
    for (Worker& w : workers) {
        w.sets.resize(chunks.size);
        w.results.resize(chunks.size);
    }
    const auto make = [&](int worker, std::uint64_t c, std::string& rows) {
        Worker& w = workers[static_cast<std::size_t>(worker)];
        const std::uint64_t first = c * chunks.size;
        const std::uint64_t count = std::min(chunks.total, first + chunks.size) - first;
        for (std::uint64_t m = 0; m < count; ++m) {
            w.sets[m] = sweep_gains_at(plan.grid, sweep_shard_index(plan.shard, first + m));
        }
        rows.clear();
        sweep_append_rows(rows, plan.run, batch, w.meter, std::span(w.sets).first(count), w.results, &stop);
    };
    const auto take = [&](std::uint64_t c, const std::string& rows) {
        write(rows);
        progress(std::min(chunks.total, (c + 1) * chunks.size));
    };
    try {
        const RunnerEnd end = run_in_order<std::string>(chunks.count(), plan.jobs, make, take, stop);
        return end == RunnerEnd::Finished ? SweepEnd::Finished : SweepEnd::Stopped;
    } catch (const std::system_error& e) {  // a thread that could not start
        error = std::string("cannot start a worker: ") + e.what();
        return SweepEnd::Failed;
    }
}
