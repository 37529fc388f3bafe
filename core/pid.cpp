#include "core/pid.h"

#include "core/int16.h"

namespace {

constexpr std::int16_t kErrorSumLimit = 255;

// Kept out of line so the compiler cannot fold the ta = 1 shortcut below back
// into an unconditional division.
[[gnu::noinline]] std::int32_t divide(std::int32_t value, std::int16_t divisor) { return value / divisor; }

}  // namespace

bool pid_update(PidController& c, std::int16_t actual) {
    c.x = actual;
    c.e = wrap16(std::int32_t{c.w} - c.x);

    // The sum wraps first and is clamped afterwards: a sum that wrapped past
    // +32767 lands on the negative limit.
    c.eSum = wrap16(std::int32_t{c.eSum} + c.e);
    if (c.eSum < -kErrorSumLimit) c.eSum = -kErrorSumLimit;
    if (c.eSum > kErrorSumLimit) c.eSum = kErrorSumLimit;

    // The derivative term is exact in 32 bits and divided before it joins the
    // sum; P and I only need their low 16 bits, but are formed in 64 bits so
    // nothing overflows on the way.
    // Both loops run with ta = 1, so the division is skipped there: it was the
    // dearest step of a pass, and sweeps run millions of passes.
    const std::int32_t difference = (std::int32_t{c.e} - c.ePrev) * c.kd;
    const std::int32_t derivative = c.ta == 1 ? difference : divide(difference, c.ta);
    const std::int64_t proportional = std::int64_t{c.kp} * c.e;
    const std::int64_t integral = std::int64_t{c.ki} * c.ta * c.eSum;

    // Only the low 16 bits of the weighted sum survive, before the scaling by
    // 1/100: a large sum can come out with the opposite sign.
    const std::int16_t weighted = wrap16(proportional + integral + derivative);
    c.y = wrap16(weighted / 100);

    c.ePrev = c.e;
    return true;
}
