#include "core/engine/circle.h"

namespace {

// 32-bit arithmetic with a two's-complement wrap instead of signed overflow;
// only absurd radii (beyond about 2^29) ever wrap.
std::int32_t wrap32(std::int64_t value) { return static_cast<std::int32_t>(value); }

}  // namespace

CircleState circle_begin(std::int32_t cx, std::int32_t cy, std::int32_t r, PlotPoint& first) {
    CircleState s{cx, cy, 0, r, 0};
    // C++ division truncates toward zero, as the method wants (-315 / 4 = -78).
    s.d = wrap32((5 - 4 * std::int64_t{r}) / 4);
    first = {cx, wrap32(std::int64_t{cy} + r)};
    return s;
}

bool circle_next_pass(CircleState& s, PlotPoint (&points)[8]) {
    if (s.x >= s.y) return false;
    s.x += 1;  // cannot overflow: x < y before the step
    if (s.d < 0) {
        s.d = wrap32(std::int64_t{s.d} + 2 * std::int64_t{s.x} + 1);
    } else {
        s.y -= 1;  // y > x >= 1 here
        s.d = wrap32(std::int64_t{s.d} + 2 * (std::int64_t{s.x} - s.y) + 1);
    }
    const std::int64_t cx = s.cx;
    const std::int64_t cy = s.cy;
    const std::int64_t x = s.x;
    const std::int64_t y = s.y;
    points[0] = {wrap32(cx + x), wrap32(cy + y)};
    points[1] = {wrap32(cx + y), wrap32(cy + x)};
    points[2] = {wrap32(cx + y), wrap32(cy - x)};
    points[3] = {wrap32(cx + x), wrap32(cy - y)};
    points[4] = {wrap32(cx - x), wrap32(cy - y)};
    points[5] = {wrap32(cx - y), wrap32(cy - x)};
    points[6] = {wrap32(cx - y), wrap32(cy + x)};
    points[7] = {wrap32(cx - x), wrap32(cy + y)};
    return true;
}
