#pragma once
#include <cstdint>

// Integer square root (rounded down) of a 16-bit operand, digit by digit in
// base 4 with 16-bit shifts, additions and comparisons only. Result 0 ... 255.
std::uint16_t isqrt16(std::uint16_t n);
