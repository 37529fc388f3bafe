#include "core/engine/isqrt.h"

#include <gtest/gtest.h>

namespace {

TEST(Isqrt16, RoundsDownForEveryOperand) {
    for (std::uint32_t n = 0; n <= 0xFFFF; ++n) {
        std::uint32_t root = 0;
        while ((root + 1) * (root + 1) <= n) ++root;
        ASSERT_EQ(isqrt16(static_cast<std::uint16_t>(n)), root) << "n = " << n;
    }
}

TEST(Isqrt16, KnownOperands) {
    const struct {
        std::uint16_t n;
        std::uint16_t root;
    } cases[] = {
        {0, 0},       {1, 1},       {2, 1},       {3, 1},       {4, 2},         {8, 2},     {9, 3},
        {15, 3},      {16, 4},      {24, 4},      {25, 5},      {14399, 119},   {14400, 120}, {14600, 120},
        {32767, 181}, {32768, 181}, {65024, 254}, {65025, 255}, {65535, 255},
    };
    for (const auto& c : cases) EXPECT_EQ(isqrt16(c.n), c.root) << "n = " << c.n;
}

}  // namespace
