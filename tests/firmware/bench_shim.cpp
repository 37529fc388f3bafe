// The bench's own controller and cascade behind the C interface that the
// generated checks call: the checks must pass against it. With
// SHIM_FAULT_DIRECTION the cascade forgets its direction at a zero output,
// a fault the cascade check must catch.
#include "core/engine/cascade.h"
#include "core/firmware/run_vectors.h"

#include <type_traits>

static_assert(std::is_standard_layout_v<PidController> && sizeof(PidController) == 20,
              "the C record is ten int16_t in a row");
static_assert(sizeof(CascadeState) == 46, "the C state: two int16_t, two records, two bytes");

extern "C" {

bool pid_update(PidController* c, std::int16_t actual) { return pid_update(*c, actual); }

void regulate_speed(CascadeState* s) {
    regulate_speed(*s);
#ifdef SHIM_FAULT_DIRECTION
    if (s->pwmDuty == 0) s->pwmDirection = 1;
#endif
}

void regulate_position(CascadeState* s, std::int16_t setpoint) { regulate_position(*s, setpoint); }

}  // extern "C"
