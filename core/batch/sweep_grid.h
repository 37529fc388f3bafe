#pragma once
// The grid of gain sets a sweep runs: one range per gain, every combination
// in a fixed order (kp slowest, then ki, kd, kv, w fastest), and the shard
// K/N of that order that one machine takes (the indices i with i mod N = K).
#include "core/measure/gain_set.h"
#include "core/engine/regulation.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// FROM, FROM + STEP, ... up to TO inclusive; a single value has STEP 1.
struct GainRange {
    std::int32_t from = 0;
    std::int32_t to = 0;
    std::int32_t step = 1;  // > 0
};

// Reads "V", "FROM:TO" (step 1) or "FROM:TO:STEP" (whole numbers, each value
// within 16 bits, STEP > 0, FROM <= TO). On failure returns false with `error` saying why,
// without the option's name.
bool parse_gain_range(std::string_view text, GainRange& range, std::string& error);

// Number of values in the range.
std::int64_t gain_range_size(const GainRange& range);

// Indices into SweepGrid::ranges: the gains in GAIN_SET_KEYS order.
inline constexpr std::size_t SWEEP_KP = GAIN_KP, SWEEP_KI = GAIN_KI, SWEEP_KD = GAIN_KD, SWEEP_KV = GAIN_KV,
                             SWEEP_W = GAIN_W;
inline constexpr std::size_t SWEEP_GAIN_COUNT = RUN_GAIN_COUNT;

struct SweepGrid {
    std::array<GainRange, SWEEP_GAIN_COUNT> ranges{};
};

// The most gain sets one sweep takes.
inline constexpr std::uint64_t SWEEP_MAX_GAIN_SETS = 1'000'000'000;

// Gain sets in the grid, held to UINT64_MAX (a grid of five full 16-bit
// ranges has 2^80); the exact number as decimal text.
std::uint64_t sweep_grid_size(const SweepGrid& grid);
std::string sweep_grid_size_text(const SweepGrid& grid);

// The gain set at `index` (< sweep_grid_size) of the fixed order.
RegulationGains sweep_gains_at(const SweepGrid& grid, std::uint64_t index);
// The index of a gain set in the fixed order; false when a gain lies off the grid.
bool sweep_index_of(const SweepGrid& grid, const RegulationGains& gains, std::uint64_t& index);

struct SweepShard {
    std::uint64_t k = 0;
    std::uint64_t n = 1;  // > k
};

// Reads "K/N" with 0 <= K < N; false with `error` otherwise.
bool parse_sweep_shard(std::string_view text, SweepShard& shard, std::string& error);

// How many of `gridSize` indices fall to the shard, and the grid index of its m-th one.
std::uint64_t sweep_shard_size(std::uint64_t gridSize, const SweepShard& shard);
inline std::uint64_t sweep_shard_index(const SweepShard& shard, std::uint64_t m) { return shard.k + shard.n * m; }
