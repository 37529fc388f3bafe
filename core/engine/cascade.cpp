#include "core/engine/cascade.h"

void regulate_speed(Cascade& c) {
    NoPassObserver none;
    regulate_speed(c, none);
}

void regulate_position(Cascade& c, std::int16_t setpoint) {
    NoPassObserver none;
    regulate_position(c, setpoint, none);
}
