#include "core/engine/isqrt.h"

#include "core/engine/int16.h"

std::uint16_t isqrt16(std::uint16_t n) {
    std::uint16_t remainder = 0;
    std::uint16_t root = 0;  // twice the partial result
    std::uint16_t bits = n;
    for (int i = 0; i < 8; ++i) {
        root = wrapU16(root << 1);
        remainder = wrapU16((remainder << 2) + (bits >> 14));
        bits = wrapU16(bits << 2);
        root = wrapU16(root + 1);
        if (root > remainder) {
            root = wrapU16(root - 1);
        } else {
            remainder = wrapU16(remainder - root);
            root = wrapU16(root + 1);
        }
    }
    return wrapU16(root >> 1);
}
