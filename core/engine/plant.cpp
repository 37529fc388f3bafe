#include "core/engine/plant.h"

#include "core/engine/int16.h"

Plant plant{0.0, 0.0, 0.1, 5.6, 1.0};

void plant_reset() {
    plant.speed = 0.0;
    plant.integral = 0.0;
}

double plant_advance(Plant& p, double u) {
    // Both increments come from the state before the step.
    const double integralIncrement = p.dt * p.speed;
    const double speedIncrement = p.dt * ((p.inputGain * u - p.integral) - p.damping * p.speed);
    p.integral = p.integral + integralIncrement;
    p.speed = p.speed + speedIncrement;
    return p.speed;
}

std::int16_t plant_step(std::int16_t u) {
    // The conversion truncates toward zero: -25.5 gives -25.
    return wrap16(static_cast<std::int64_t>(plant_advance(plant, static_cast<double>(u))));
}
