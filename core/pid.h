#pragma once
// Discrete PID controller in signed 16-bit arithmetic.
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
