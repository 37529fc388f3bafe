#pragma once
// Many headless runs that differ only in their gains, measured together. The
// lanes engine steps L gain sets in lockstep, each lane bit-identical to the
// scalar pass; the scalar engine is measure_regulation_run, one set at a time,
// and stays the reference the lanes are tested against.
#include "core/metrics.h"
#include "core/regulation.h"

#include <cstdint>
#include <span>

enum class BatchEngine { Auto, Lanes, Scalar };

// results[i] = measure_regulation_run(speedMode, sets[i], passLimit), for
// every i (results holds at least as many as sets). Position mode runs the
// program nc_load_chosen() loads. Uses the engine's one instance of state
// like measure_regulation_run: not for two threads at once.
void measure_gain_batch(bool speedMode, std::int64_t passLimit, std::span<const RegulationGains> sets,
                        std::span<RunMetrics> results, BatchEngine engine = BatchEngine::Auto);

// The instruction set `engine` runs on this CPU, for messages and benchmarks:
// "avx512", "avx2", "sse2", "portable" for the lanes, "scalar" for the scalar pass.
const char* batch_engine_name(BatchEngine engine);
