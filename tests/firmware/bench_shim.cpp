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
    cascade_state_load(*s);
    regulate_speed();
#ifdef SHIM_FAULT_DIRECTION
    if (pwmDuty == 0) pwmDirection = 1;
#endif
    *s = cascade_state_now();
}

void regulate_position(CascadeState* s, std::int16_t setpoint) {
    cascade_state_load(*s);
    regulate_position(setpoint);
    *s = cascade_state_now();
}

}  // extern "C"
