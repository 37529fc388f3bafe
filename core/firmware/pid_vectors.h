#pragma once
// Golden vectors of the controller step, for checking a target's own
// pid_update against the bench: each is a whole record before one step, the
// measured value, and the whole record after it, as core's step leaves it.
// First a fixed table of edge cases, one or more per rule of the step, then
// seeded random vectors drawn so that every rule fires often. The generator
// is written out here (splitmix64, plain modulo ranges), never a library
// distribution, so a seed gives the same vectors on every machine and with
// every standard library.
#include "core/engine/pid.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// The record's fields in its order, with their names.
inline constexpr std::array<std::string_view, 10> PID_FIELD_NAMES{"w",  "x",     "y",  "ta", "e",
                                                                  "eSum", "ePrev", "kp", "ki", "kd"};
inline constexpr std::array<std::int16_t PidController::*, 10> PID_FIELDS{
    &PidController::w,  &PidController::x,     &PidController::y,  &PidController::ta, &PidController::e,
    &PidController::eSum, &PidController::ePrev, &PidController::kp, &PidController::ki, &PidController::kd};

struct PidVector {
    PidController before;
    std::int16_t actual;
    PidController after;
};

struct PidEdgeCase {
    const char* name;  // what it is for; no comma, no quote (a CSV cell, a C string)
    PidController before;  // w, x, y, ta, e, eSum, ePrev, kp, ki, kd
    std::int16_t actual;
};

// The rules of the step a vector exercises, as bits.
enum PidRule : unsigned {
    PID_RULE_ERROR_WRAP = 1u << 0,        // w - x left 16 bits
    PID_RULE_SUM_WRAP = 1u << 1,          // eSum + e left 16 bits (wraps before the clamp)
    PID_RULE_CLAMP_HIGH = 1u << 2,        // the wrapped sum was held at +255
    PID_RULE_CLAMP_LOW = 1u << 3,         // ... at -255
    PID_RULE_WEIGHTED_WRAP = 1u << 4,     // P + I + D left 16 bits before the division by 100
    PID_RULE_TRUNCATION = 1u << 5,        // a negative sum / 100 with a remainder: toward zero
    PID_RULE_DERIVATIVE_TRUNCATION = 1u << 6,  // a negative derivative / ta with a remainder: toward zero
    PID_RULE_TA_SCALES = 1u << 7,         // ta other than 1 meets a derivative or integral term
    PID_RULE_TA_NEGATIVE = 1u << 8,       // ... and is negative
    PID_RULE_FROM_REST = 1u << 9,         // the first step after a reset: the whole error is change
};
inline constexpr int PID_RULE_COUNT = 10;
// The rule's name as the CSV's rules column writes it, by bit index.
const char* pid_rule_name(int bit);

// The rules the step from `before` with `actual` exercises (through core's step).
unsigned pid_rules(const PidController& before, std::int16_t actual);

// The fixed edge cases, in their order.
std::span<const PidEdgeCase> pid_edge_cases();

// The edge cases, then `randomCount` random vectors from `seed`; every
// `after` is core's step.
std::vector<PidVector> pid_vectors(std::size_t randomCount, std::uint64_t seed);

// A vector from a record and a measured value: the step applied.
PidVector pid_vector(const PidController& before, std::int16_t actual);
