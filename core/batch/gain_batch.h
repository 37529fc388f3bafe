#pragma once
// Many headless runs that differ only in their gains, measured together. The
// lanes engine steps L gain sets in lockstep (L = 64 on AVX-512 and AVX2, 32
// on SSE2 and elsewhere), each lane bit-identical to the scalar pass; the
// scalar engine is measure_regulation_run, one set at a time, and stays the
// reference the lanes are held to.
#include "core/measure/headless_run.h"
#include "core/measure/metrics.h"
#include "core/engine/regulation.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

enum class BatchEngine { Auto, Lanes, Scalar };

// results[i] = measure_regulation_run(speedMode, sets[i], passLimit), for
// every i (results holds at least as many as sets); given room for them,
// wraps[i] = regulation_run_wraps(speedMode, sets[i], passLimit) as 1 or 0,
// which the lanes find in the same pass as the metrics. Position mode runs
// the program nc_load_chosen() loads; its setpoints are worked out once per
// chosen program and shared by every run. Uses the engine's one instance of
// state like measure_regulation_run: not for two threads at once. A `stop`
// asked meanwhile ends the batch within a block of passes: false, and the
// results mean nothing.
bool measure_gain_batch(bool speedMode, std::int64_t passLimit, std::span<const RegulationGains> sets,
                        std::span<RunMetrics> results, BatchEngine engine = BatchEngine::Auto,
                        std::span<std::uint8_t> wraps = {}, RunStop stop = nullptr);

// The passes every run of such a batch makes: the limit in speed mode, in
// position mode the chosen program's passes up to it; 0 for a limit below 1.
std::int64_t batch_run_passes(bool speedMode, std::int64_t passLimit);

// The instruction set `engine` runs on, for messages and benchmarks:
// "avx512", "avx2", "sse2", "portable" for the lanes (Auto is the lanes),
// "scalar" for the scalar pass.
const char* batch_engine_name(BatchEngine engine);

// Gain sets `engine` steps together (1 for the scalar pass): batches of a
// multiple of it leave no lane idle.
std::size_t batch_group_size(BatchEngine engine);

// The lanes' instruction sets this CPU can run, widest first. The widest is
// chosen once per process; batch_use_lanes picks another one of these for
// what follows (tests and benchmarks compare them) and returns false, changing
// nothing, for a name not in the list.
std::vector<std::string_view> batch_lane_sets();
bool batch_use_lanes(std::string_view name);
