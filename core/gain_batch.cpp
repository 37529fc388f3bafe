#include "core/gain_batch.h"

#include <cstddef>

void measure_gain_batch(bool speedMode, std::int64_t passLimit, std::span<const RegulationGains> sets,
                        std::span<RunMetrics> results, BatchEngine /*engine*/) {
    for (std::size_t i = 0; i < sets.size(); ++i) results[i] = measure_regulation_run(speedMode, sets[i], passLimit);
}

const char* batch_engine_name(BatchEngine /*engine*/) { return "scalar"; }
