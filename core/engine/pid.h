#pragma once
// Discrete PID controller in signed 16-bit arithmetic.
#include "core/engine/int16.h"

#include <cstdint>

struct PidController {
    std::int16_t w;      // setpoint; the caller writes it before a step
    std::int16_t x;      // actual value of the last step
    std::int16_t y;      // output of the last step, within -327 ... 327
    std::int16_t ta;     // sample-time factor; must not be 0 when stepping
    std::int16_t e;      // error of the last step, w - x
    std::int16_t eSum;   // running error sum, held within -255 ... 255
    std::int16_t ePrev;  // error of the step before
    std::int16_t kp;     // proportional gain, in hundredths
    std::int16_t ki;     // integral gain, in hundredths
    std::int16_t kd;     // derivative gain, in hundredths
};

// One controller step on `c` with the measured value `actual`. Always true.
bool pid_update(PidController& c, std::int16_t actual);

// The exact intermediate values of one step, before their 16-bit stores:
// comparing them with what the record kept shows every wrap and the clamp.
struct PidStepDetail {
    std::int32_t error;       // w - x; e keeps its low 16 bits
    std::int32_t sum;         // eSum + e; the sum keeps its low 16 bits ...
    std::int16_t wrappedSum;  // ... this, which the clamp then holds to +-255
    std::int64_t weighted;    // P + I + D; only its low 16 bits are divided by 100
};

constexpr std::int16_t kPidErrorSumLimit = 255;

// value / ta, truncating toward zero.
std::int32_t pid_divide_by_ta(std::int32_t value, std::int16_t ta);

// The step itself, written once: `observe(detail)` is called at its end.
// The plain pid_update passes an empty observer, which compiles away.
template <class Observer>
bool pid_update(PidController& c, std::int16_t actual, Observer&& observe) {
    c.x = actual;
    const std::int32_t error = std::int32_t{c.w} - c.x;
    c.e = wrap16(error);

    // The sum wraps first and is clamped afterwards: a sum that wrapped past
    // +32767 lands on the negative limit.
    const std::int32_t sum = std::int32_t{c.eSum} + c.e;
    const std::int16_t wrappedSum = wrap16(sum);
    c.eSum = wrappedSum;
    if (c.eSum < -kPidErrorSumLimit) c.eSum = -kPidErrorSumLimit;
    if (c.eSum > kPidErrorSumLimit) c.eSum = kPidErrorSumLimit;

    // The derivative term is exact in 32 bits and divided before it joins the
    // sum; P and I only need their low 16 bits, but are formed in 64 bits so
    // nothing overflows on the way. Both loops run with ta = 1, so the
    // division is skipped there: it was the dearest step of a pass, and
    // sweeps run millions of passes.
    const std::int32_t difference = (std::int32_t{c.e} - c.ePrev) * c.kd;
    const std::int32_t derivative = c.ta == 1 ? difference : pid_divide_by_ta(difference, c.ta);
    const std::int64_t proportional = std::int64_t{c.kp} * c.e;
    const std::int64_t integral = std::int64_t{c.ki} * c.ta * c.eSum;

    // Only the low 16 bits of the weighted sum survive, before the scaling by
    // 1/100: a large sum can come out with the opposite sign.
    const std::int64_t weighted = proportional + integral + derivative;
    c.y = wrap16(wrap16(weighted) / 100);

    c.ePrev = c.e;
    observe(PidStepDetail{error, sum, wrappedSum, weighted});
    return true;
}
