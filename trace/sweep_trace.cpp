#include "trace/sweep_trace.h"

#include "core/measure/gain_set.h"
#include "core/batch/sweep_grid.h"
#include "trace/command_frame.h"
#include "trace/regulation_setup.h"
#include "trace/sweep_progress.h"
#include "trace/sweep_workers.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace {

SweepPlan read_plan(const ParsedOptions& options) {
    SweepPlan plan;
    const SetupSources sources = read_setup_sources(options);
    plan.run.speedMode = sources.speedMode;
    plan.run.passes = sources.passes.value_or(0);
    for (std::size_t g = 0; g < SWEEP_GAIN_COUNT; ++g) {
        const std::string text = sources.optionTexts[g].value_or(std::to_string(run_gain(sources.values, g)));
        std::string error;
        if (!parse_gain_range(text, plan.grid.ranges[g], error)) {
            throw UsageError{"--" + std::string(GAIN_SET_KEYS[g]) + " " + echo_quoted(text) + ": " + error};
        }
    }
    if (sweep_grid_size(plan.grid) > SWEEP_MAX_GAIN_SETS) {
        throw UsageError{"the grid has " + sweep_grid_size_text(plan.grid) + " gain sets, more than the " +
                      std::to_string(SWEEP_MAX_GAIN_SETS) + " one sweep takes"};
    }
    if (const auto shard = options.text("shard")) {
        std::string error;
        if (!parse_sweep_shard(*shard, plan.shard, error)) throw UsageError{"--shard " + echo_quoted(*shard) + ": " + error};
    }
    plan.run.engine = engine_option(options);
    plan.run.wraps = options.flag("wraps");
    plan.jobs = jobs_option(options);
    return plan;
}

// Header and rows into `out`; the exit status.
int write_sweep(const SweepPlan& plan, TraceOutput& out) {
    std::string error;
    out.write(sweep_header(plan.run));
    const std::uint64_t total = sweep_shard_size(sweep_grid_size(plan.grid), plan.shard);
    SweepProgress progress(stderr, ::isatty(STDERR_FILENO) == 1, total);
    std::uint64_t done = 0;
    const SweepEnd end = run_sweep(
        plan, [&](const std::string& rows) { out.write(rows); },
        [&](std::uint64_t count) {
            done = count;
            progress.update(count);
        },
        command_stop(), error);
    progress.finish();
    if (end == SweepEnd::Stopped) {
        throw CommandStopped{" after " + std::to_string(done) + " of " + std::to_string(total) + " gain sets"};
    }
    if (end == SweepEnd::Failed) {
        std::cerr << "vantrel-trace: sweep: " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int trace_sweep(const ParsedOptions& options) {
    const SweepPlan plan = read_plan(options);
    load_program_option(options);
    // A full disk, a closed pipe or a stop meets the frame with the workers already ended.
    return run_in_frame("sweep", options.text("out").value_or(""),
                        [&](TraceOutput& out) { return write_sweep(plan, out); });
}
