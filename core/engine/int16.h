#pragma once
// The engine works in 16-bit registers: every store keeps the low 16 bits.
// All wrap-arounds go through these helpers, so each one is visible and none
// relies on signed overflow.
#include <cstdint>

// Low 16 bits of `value` as a signed number (two's-complement wrap).
constexpr std::int16_t wrap16(std::int64_t value) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint64_t>(value) & 0xFFFFu));
}

// Low 16 bits of `value` as an unsigned number.
constexpr std::uint16_t wrapU16(std::int64_t value) {
    return static_cast<std::uint16_t>(static_cast<std::uint64_t>(value) & 0xFFFFu);
}
