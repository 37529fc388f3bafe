#pragma once
// Quantisation hunting: the periodic oscillation that the end of a speed-mode
// run settles into, if it settles into one.
//
// The stretch looked at is the last tenth of the run (the steady error's
// window), at most LIMIT_CYCLE_STRETCH_MOST passes. It is a limit cycle when it repeats
// exactly with some period p of at most half its length (so at least twice);
// p is the smallest such period, the amplitude the largest minus the
// smallest speed in it. A stretch that settled to a constant is the cycle of
// amplitude 0 and period 1: no hunting. One that does not repeat (still in
// its transient, or wandering) has none.
#include <cstdint>
#include <optional>
#include <span>

inline constexpr std::int64_t LIMIT_CYCLE_STRETCH_MOST = 4096;

// The length of the stretch of a run of `passes` passes.
constexpr std::int64_t limit_cycle_stretch(std::int64_t passes) {
    return passes / 10 < LIMIT_CYCLE_STRETCH_MOST ? passes / 10 : LIMIT_CYCLE_STRETCH_MOST;
}

struct LimitCycle {
    std::int32_t amplitude = 0;  // peak to peak, in speed counts
    std::int64_t periodPasses = 0;
    friend bool operator==(const LimitCycle&, const LimitCycle&) = default;
};

// The limit cycle of a run's stretch (its speeds, oldest first).
std::optional<LimitCycle> limit_cycle_of(std::span<const std::int16_t> stretch);
