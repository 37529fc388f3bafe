#include "core/engine/pid.h"

// Kept out of line so the compiler cannot fold the ta = 1 shortcut of the
// step back into an unconditional division.
[[gnu::noinline]] std::int32_t pid_divide_by_ta(std::int32_t value, std::int16_t ta) { return value / ta; }

bool pid_update(PidController& c, std::int16_t actual) {
    return pid_update(c, actual, [](const PidStepDetail&) {});
}
