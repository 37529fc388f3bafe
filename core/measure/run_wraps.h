#pragma once
// The run's wrap check: the sweep's wraps column and the search's noWraps
// constraint ask it of a set of gains.
#include "core/engine/regulation.h"
#include "core/engine/stop_flag.h"

#include <cstdint>

// Whether a whole headless run on `engine` (as measure_regulation_run makes
// it) raises speed.e_wrap, speed.sum_wrap, speed.out_wrap, position.e_wrap,
// position.sum_wrap or position.out_wrap in any pass. A non-zero `stop` cuts
// it short (the answer is then of no use).
bool regulation_run_wraps(Engine& engine, bool speedMode, const RegulationGains& gains, std::int64_t passLimit,
                          const StopFlag* stop = nullptr);
