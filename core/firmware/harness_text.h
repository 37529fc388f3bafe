#pragma once
// The C99 checks a team compiles against its target's controller and
// cascade, with the vectors as static const arrays, and the README that goes
// beside them. Written here, not kept as files, so that the installed
// program makes them.
//
// The vectors are grouped in blocks of HARNESS_BLOCK, each inside its own
// #if, so that a target short of memory compiles only a part of them
// (PID_VECTORS_PARTS / PID_VECTORS_PART, CASCADE_VECTORS_PARTS /
// CASCADE_VECTORS_PART); a cascade block starts from the state the pass
// before it left, so parts replay on their own.
#include "core/firmware/pid_vectors.h"
#include "core/firmware/run_vectors.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

inline constexpr std::size_t HARNESS_BLOCK = 64;

// Bytes of read-only data one vector takes where int16_t needs 2-byte
// alignment (the usual case): the record before and after and the measured
// value; the inputs, both records and the PWM output of a pass.
inline constexpr std::size_t PID_VECTOR_BYTES = 42;
inline constexpr std::size_t CASCADE_PASS_BYTES = 48;

// `command` is the command line that makes the file again; it goes into the
// file's first comment.
std::string pid_vectors_c(std::span<const PidVector> vectors, std::string_view command);
// Throws std::invalid_argument for a run without a pass (nothing to check).
std::string cascade_vectors_c(const RunVectors& run, std::string_view command);

struct HarnessSummary {
    std::size_t pidVectors;   // edge cases and random ones
    std::size_t randomVectors;
    std::string pidCommand;
    std::size_t passes;
    bool speedMode;
    std::string runCommand;
};
std::string harness_readme(const HarnessSummary& summary);
