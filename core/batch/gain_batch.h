#pragma once
// Many headless runs that differ only in their gains, measured together. The
// lanes engine steps L gain sets in lockstep (L = 64 on AVX-512 and AVX2, 32
// on SSE2 and elsewhere), each lane bit-identical to the scalar pass; the
// scalar engine is measure_regulation_run, one set at a time, and stays the
// reference the lanes are held to.
//
// A batch is planned once (plan_gain_batch) and the plan is only read
// afterwards; each thread measures with its own RunMeter. So any number of
// threads measure batches of one plan at once, sharing nothing they write.
#include "core/batch/chunk_runner.h"
#include "core/engine/regulation.h"
#include "core/engine/stop_flag.h"
#include "core/measure/headless_run.h"
#include "core/measure/metrics.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

enum class BatchEngine { Auto, Lanes, Scalar };

struct LaneKernel;

// What every run of a batch shares.
struct GainBatchPlan {
    bool speedMode = false;
    std::int64_t passLimit = METRICS_NO_PASS_LIMIT;
    BatchEngine engine = BatchEngine::Auto;
    // Position mode: the program the runs load, null for the demo.
    std::shared_ptr<const NcProgramBlocks> program;
    // Worked out by plan_gain_batch: the lanes' instruction set (the one
    // batch_use_lanes chose last), the passes every run makes, and in
    // position mode the commanded X of each of them, the same for every set.
    const LaneKernel* kernel = nullptr;
    std::int64_t passes = 0;
    std::vector<std::int16_t> setpoints;
};

GainBatchPlan plan_gain_batch(bool speedMode, std::int64_t passLimit, BatchEngine engine,
                              std::shared_ptr<const NcProgramBlocks> program);

// results[i] = measure_regulation_run(meter, plan.speedMode, sets[i],
// plan.passLimit) for every i (results holds at least as many as sets), on
// the plan's engine; given room for them, wraps[i] = regulation_run_wraps of
// the same run as 1 or 0, which the lanes find in the same pass as the
// metrics. meter.engine is set to load the plan's program. A non-zero
// `stop` cuts it short: false, with the results unfinished.
bool measure_gain_batch(const GainBatchPlan& plan, RunMeter& meter, std::span<const RegulationGains> sets,
                        std::span<RunMetrics> results, std::span<std::uint8_t> wraps = {},
                        const StopFlag* stop = nullptr);
// The same with a meter of its own: any number of threads call it with one
// plan at once.
bool measure_gain_batch(const GainBatchPlan& plan, std::span<const RegulationGains> sets,
                        std::span<RunMetrics> results, std::span<std::uint8_t> wraps = {},
                        const StopFlag* stop = nullptr);

// The passes every run of such a batch makes: the limit in speed mode, in
// position mode the passes of `program` (the demo when null) up to it; 0 for
// a limit below 1. A plan holds them as `passes`.
std::int64_t batch_run_passes(bool speedMode, std::int64_t passLimit, const NcProgramBlocks* program);

// Gain sets per chunk of measure_gain_sets: a whole number of any kernel's
// lanes, small enough for an even share and a prompt first result.
inline constexpr std::size_t GAIN_SETS_CHUNK = 512;

// measure_gain_batch of every set on `threads` workers (each with a RunMeter
// of its own), chunk by chunk: take(first, results) gets the metrics of
// sets[first ...] on the calling thread, in order. For a front end that runs
// it off its own thread and forwards the numbers; a non-zero `stop` ends it
// within a block of passes (Stopped).
RunnerEnd measure_gain_sets(const GainBatchPlan& plan, std::span<const RegulationGains> sets, int threads,
                            const std::function<void(std::size_t first, std::span<const RunMetrics> results)>& take,
                            const StopFlag& stop);

// The instruction set `engine` runs on, for messages and benchmarks:
// "avx512", "avx2", "sse2", "portable" for the lanes (Auto is the lanes),
// "scalar" for the scalar pass.
const char* batch_engine_name(BatchEngine engine);

// Gain sets `engine` steps together (1 for the scalar pass): batches of a
// multiple of it leave no lane idle.
std::size_t batch_group_size(BatchEngine engine);

// The lanes' instruction sets this CPU can run, widest first. The widest is
// chosen once per process; batch_use_lanes picks another one of these for
// the plans made after it (tests and benchmarks compare them) and returns
// false, changing nothing, for a name not in the list.
std::vector<std::string_view> batch_lane_sets();
bool batch_use_lanes(std::string_view name);
