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

// The drive at rest with the model's constants, which never change.
inline constexpr Plant PLANT_AT_REST{0.0, 0.0, 0.1, 5.6, 1.0};

// Speed and integral back to 0.
void plant_reset(Plant& p);
// Advances `p` under the signed PWM input `u` and returns the new speed,
// truncated toward zero and kept to 16 bits.
std::int16_t plant_step(Plant& p, std::int16_t u);
// The same model step under a real input `u`; returns the new speed
// untruncated.
double plant_advance(Plant& p, double u);
