#pragma once
// The simulated drive: a second-order linear model, one explicit Euler step
// per pass, in double precision.
#include <cstdint>

struct Plant {
    double speed;      // speed state; its truncated value is the output
    double integral;   // integral of the speed, a restoring term
    double dt;         // integration step
    double damping;    // damping coefficient of the speed
    double inputGain;  // gain of the PWM input
};

extern Plant plant;

void plant_reset();
// Advances the model under the signed PWM input `u` and returns the new
// speed, truncated toward zero and kept to 16 bits.
std::int16_t plant_step(std::int16_t u);
// The same model step on any state `p` under a real input `u`; returns the
// new speed untruncated. plant_step is this on `plant`.
double plant_advance(Plant& p, double u);
