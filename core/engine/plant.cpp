#include "core/engine/plant.h"

#include "core/engine/int16.h"

void plant_reset(Plant& p) {
    p.speed = 0.0;
    p.integral = 0.0;
}

double plant_advance(Plant& p, double u) {
    // Both increments come from the state before the step.
    const double integralIncrement = p.dt * p.speed;
    const double speedIncrement = p.dt * ((p.inputGain * u - p.integral) - p.damping * p.speed);
    p.integral = p.integral + integralIncrement;
    p.speed = p.speed + speedIncrement;
    return p.speed;
}

std::int16_t plant_step(Plant& p, std::int16_t u) {
    // The conversion truncates toward zero: -25.5 gives -25.
    return wrap16(static_cast<std::int64_t>(plant_advance(p, static_cast<double>(u))));
}
