/* A controller step in C with one fault chosen by a define, for proving that
 * the generated check catches it. Without a define it must pass. */
#include <stdbool.h>
#include <stdint.h>

typedef struct {
    int16_t w, x, y, ta, e, eSum, ePrev, kp, ki, kd;
} PidController;

bool pid_update(PidController *c, int16_t actual);

static int16_t wrap16(int64_t value) { return (int16_t)(uint16_t)((uint64_t)value & 0xFFFFu); }

#ifdef FAULT_FLOOR_DIVISION
static int64_t divide(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}
#else
static int64_t divide(int64_t a, int64_t b) { return a / b; }
#endif

bool pid_update(PidController *c, int16_t actual) {
    int64_t derivative, integral, weighted;
    c->x = actual;
    c->e = wrap16((int32_t)c->w - c->x);
#ifdef FAULT_CLAMP_BEFORE_WRAP
    {
        int32_t sum = (int32_t)c->eSum + c->e;
        sum = sum < -255 ? -255 : sum > 255 ? 255 : sum;
        c->eSum = wrap16(sum);
    }
#else
    c->eSum = wrap16((int32_t)c->eSum + c->e);
    c->eSum = c->eSum < -255 ? -255 : c->eSum > 255 ? 255 : c->eSum;
#endif
    derivative = ((int32_t)c->e - c->ePrev) * (int64_t)c->kd;
#ifndef FAULT_DERIVATIVE_DIVIDED_AFTER_THE_SUM
    derivative = divide(derivative, c->ta);
#endif
#ifdef FAULT_TA_IGNORED_IN_INTEGRAL
    integral = (int64_t)c->ki * c->eSum;
#else
    integral = (int64_t)c->ki * c->ta * c->eSum;
#endif
    weighted = (int64_t)c->kp * c->e + integral + derivative;
#ifdef FAULT_DERIVATIVE_DIVIDED_AFTER_THE_SUM
    weighted = divide(weighted, c->ta);
#endif
#ifdef FAULT_DIVIDE_BEFORE_WRAP
    c->y = wrap16(divide(weighted, 100));
#else
    c->y = wrap16(divide(wrap16(weighted), 100));
#endif
    c->ePrev = c->e;
    return true;
}
