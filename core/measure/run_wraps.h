#pragma once
// The run's wrap check: the sweep's wraps column and the search's noWraps
// constraint ask it of a set of gains.
#include "core/engine/regulation.h"
#include "core/measure/headless_run.h"

#include <cstdint>

// Whether a whole headless run (as measure_regulation_run makes it) raises
// speed.e_wrap, speed.sum_wrap, speed.out_wrap, position.e_wrap,
// position.sum_wrap or position.out_wrap in any pass. Not for two threads.
// A run that `stop` ended early answers false.
bool regulation_run_wraps(bool speedMode, const RegulationGains& gains, std::int64_t passLimit,
                          RunStop stop = nullptr);
