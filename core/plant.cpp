#include "core/plant.h"

#include "core/int16.h"

Plant plant{0.0, 0.0, 0.1, 5.6, 1.0};

void plant_reset() {
    plant.speed = 0.0;
    plant.integral = 0.0;
}

std::int16_t plant_step(std::int16_t u) {
    // Both increments come from the state before the step.
    const double integralIncrement = plant.dt * plant.speed;
    const double speedIncrement =
        plant.dt * ((plant.inputGain * static_cast<double>(u) - plant.integral) - plant.damping * plant.speed);
    plant.integral = plant.integral + integralIncrement;
    plant.speed = plant.speed + speedIncrement;
    // The conversion truncates toward zero: -25.5 gives -25.
    return wrap16(static_cast<std::int64_t>(plant.speed));
}
