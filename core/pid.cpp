#include "core/pid.h"

bool pid_update(PidController& c, std::int16_t actual) {
    return pid_update(c, actual, [](const PidStepDetail&) {});
}
