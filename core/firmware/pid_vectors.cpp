#include "core/firmware/pid_vectors.h"

#include "core/engine/int16.h"

#include <array>
#include <iterator>

namespace {

constexpr const char* kRuleNames[PID_RULE_COUNT] = {
    "error_wrap", "sum_wrap",    "clamp_high",  "clamp_low",   "weighted_wrap",
    "truncation", "derivative_truncation", "ta_scales", "ta_negative", "from_rest",
};

// Each rule of the step has at least one case here whose output depends on
// it: a target that breaks the rule gets a different record. Fields: w, x, y,
// ta, e, eSum, ePrev, kp, ki, kd, then the measured value.
constexpr PidEdgeCase kEdgeCases[] = {
    {"at rest with w equal to the measured value", {77, 0, 0, 1, 0, 0, 0, 250, 60, 100}, 77},
    {"the window's first step", {80, 0, 0, 1, 0, 0, 0, 250, 60, 0}, 0},
    {"first step after a reset: the whole error is change", {80, 0, 0, 1, 0, 0, 0, 250, 60, 20}, 0},
    {"x y and e of the record before are overwritten", {50, 123, -77, 1, 999, 0, 0, 100, 0, 0}, 20},
    {"error wraps past +32767", {30000, 0, 0, 1, 0, 0, 0, 1, 0, 0}, -10000},
    {"error wraps past -32768", {-30000, 0, 0, 1, 0, 0, 0, 1, 0, 0}, 10000},
    {"error at +32767 without a wrap", {32767, 0, 0, 1, 0, 0, 0, 1, 0, 0}, 0},
    {"derivative takes the wrapped error", {30000, 0, 0, 2, 0, 0, 0, 0, 0, 1}, -10000},
    {"sum clamps at +255", {10, 0, 0, 1, 0, 250, 0, 0, 10, 0}, 0},
    {"sum clamps at -255", {-10, 0, 0, 1, 0, -250, 0, 0, 10, 0}, 0},
    {"sum stays at +255 with no error", {5, 0, 0, 1, 0, 255, 0, 0, 10, 0}, 5},
    {"sum wraps past +32767 before its clamp", {32600, 0, 0, 1, 0, 255, 0, 0, 10, 0}, 0},
    {"sum wraps past -32768 before its clamp", {-32600, 0, 0, 1, 0, -255, 0, 0, 10, 0}, 0},
    {"sum beyond the limits in the record is clamped", {0, 0, 0, 1, 0, 1000, 0, 0, 10, 0}, 0},
    {"weighted sum wraps to a negative output", {200, 0, 0, 1, 0, 0, 0, 250, 60, 0}, 0},
    {"weighted sum wraps to -32768", {16384, 0, 0, 1, 0, 0, 0, 2, 0, 0}, 0},
    {"proportional term keeps its low 16 bits", {32767, 0, 0, 1, 0, 0, 0, 32767, 0, 0}, 0},
    {"gain of -32768", {-1, 0, 0, 1, 0, 0, 0, -32768, 0, 0}, 0},
    {"integral term beyond 32 bits keeps its low 16 bits", {255, 0, 0, 32767, 0, 0, 0, 0, 32767, 0}, 0},
    {"-150 / 100 truncates to -1", {-150, 0, 0, 1, 0, 0, 0, 1, 0, 0}, 0},
    {"199 / 100 truncates to 1", {199, 0, 0, 1, 0, 0, 0, 1, 0, 0}, 0},
    {"-99 / 100 truncates to 0", {-99, 0, 0, 1, 0, 0, 0, 1, 0, 0}, 0},
    {"-100 / 100 is exact", {-100, 0, 0, 1, 0, 0, 0, 1, 0, 0}, 0},
    {"negative change of the error with ta 1", {0, 0, 0, 1, 0, 0, 50, 0, 0, 100}, 0},
    {"derivative divided by ta 2 before it joins the sum", {4, 0, 0, 2, 0, 0, 10, 0, 10, 100}, 0},
    {"derivative / ta 3 truncates toward zero", {1, 0, 0, 3, 0, 0, 303, 1, 0, 1}, 0},
    {"derivative / ta 3 truncates next to an integral term", {0, 0, 0, 3, 0, 1, 307, 0, 1, 1}, 0},
    {"integral term multiplied by ta 4", {0, 0, 0, 4, 0, 10, 0, 0, 10, 0}, 0},
    {"derivative divided by ta -1", {0, 0, 0, -1, 0, 0, 0, 0, 0, 100}, -5},
    {"derivative / ta -3 truncates toward zero", {1, 0, 0, -3, 0, 0, -301, 1, 0, 1}, 0},
    {"derivative exact in 32 bits before its division", {32767, 0, 0, 1000, 0, 0, -32768, 0, 0, 32767}, 0},
    {"ta of -32768", {100, 0, 0, -32768, 0, 0, 0, 1, 1, 1}, 0},
    {"ta of +32767", {-7, 0, 0, 32767, 0, -3, 100, 5, 1, 32767}, 0},
};

// splitmix64: a fixed generator whose outputs are the same everywhere.
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        state_ += 0x9E3779B97F4A7C15u;
        std::uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    // A whole number from `low` to `high`, both included (plain modulo: the
    // bias is far below anything the vectors care about, and it is exact
    // arithmetic everywhere).
    std::int16_t in(std::int32_t low, std::int32_t high) {
        const auto span = static_cast<std::uint64_t>(high - low) + 1;
        return static_cast<std::int16_t>(low + static_cast<std::int32_t>(next() % span));
    }
    std::int16_t any() { return in(-32768, 32767); }
    std::int16_t sign() { return next() % 2 == 0 ? 1 : -1; }
    // True `percent` times in a hundred.
    bool chance(unsigned percent) { return next() % 100 < percent; }
    template <std::size_t N>
    std::int16_t one_of(const std::array<std::int16_t, N>& values) {
        return values[static_cast<std::size_t>(next() % N)];
    }

private:
    std::uint64_t state_;
};

constexpr std::array<std::int16_t, 12> kEdgeValues{0, 1, -1, 100, -100, 255, -255, 256, -256, 32767, -32768, -32767};

std::int16_t draw_value(SplitMix64& r) {
    if (r.chance(50)) return r.in(-400, 400);
    if (r.chance(70)) return r.any();
    return r.one_of(kEdgeValues);
}

std::int16_t draw_gain(SplitMix64& r) {
    const auto pick = r.next() % 100;
    if (pick < 30) return r.in(0, 1000);
    if (pick < 45) return 0;
    if (pick < 60) return r.in(-1000, -1);
    if (pick < 85) return r.any();
    return r.one_of(kEdgeValues);
}

std::int16_t draw_nonzero(SplitMix64& r) {
    for (;;) {
        if (const std::int16_t value = r.any(); value != 0) return value;
    }
}

std::int16_t draw_ta(SplitMix64& r) {
    const auto pick = r.next() % 100;
    if (pick < 45) return 1;
    if (pick < 70) return r.in(2, 16);
    if (pick < 85) return r.in(-16, -1);
    return draw_nonzero(r);
}

std::int16_t draw_sum(SplitMix64& r) {
    const auto pick = r.next() % 100;
    if (pick < 60) return r.in(-255, 255);
    if (pick < 80) return r.one_of(std::array<std::int16_t, 5>{0, 255, -255, 254, -254});
    return r.any();
}

// w and the measured value for a chosen error e (w - actual = e, both in 16 bits).
void set_error(SplitMix64& r, PidController& c, std::int16_t& actual, std::int32_t e) {
    const std::int32_t low = e >= 0 ? -32768 : -32768 - e;
    const std::int32_t high = e >= 0 ? 32767 - e : 32767;
    actual = r.in(low, high);
    c.w = static_cast<std::int16_t>(actual + e);
}

// One random vector. Each draw leans on one rule (or none) so that every
// rule fires often over a thousand; the other fields stay random.
PidVector draw_vector(SplitMix64& r) {
    PidController c{};
    c.w = draw_value(r);
    c.x = r.any();
    c.y = r.any();
    c.e = r.any();
    c.ta = draw_ta(r);
    c.eSum = draw_sum(r);
    c.ePrev = draw_value(r);
    c.kp = draw_gain(r);
    c.ki = draw_gain(r);
    c.kd = draw_gain(r);
    std::int16_t actual = draw_value(r);

    switch (r.next() % 10) {
    case 0:  // the error wraps
        if (r.chance(50)) {
            c.w = r.in(16384, 32767);
            actual = r.in(-32768, -16384);
        } else {
            c.w = r.in(-32768, -16384);
            actual = r.in(16384, 32767);
        }
        break;
    case 1: {  // the sum wraps before its clamp
        const std::int16_t s = r.sign();
        c.eSum = static_cast<std::int16_t>(s * r.in(1, 255));
        const std::int32_t e = s > 0 ? r.in(32768 - c.eSum, 32767) : r.in(-32768, -32769 - c.eSum);
        set_error(r, c, actual, e);
        break;
    }
    case 2: {  // the sum crosses a limit without wrapping
        const std::int16_t s = r.sign();
        c.eSum = static_cast<std::int16_t>(s * r.in(200, 255));
        set_error(r, c, actual, s * r.in(1, 100));
        break;
    }
    case 3:  // the weighted sum leaves 16 bits
        c.kp = static_cast<std::int16_t>(r.sign() * r.in(300, 32767));
        break;
    case 4:  // small sums, often negative: the quotient's truncation
        c.ta = 1;
        c.kp = r.in(1, 100);
        c.ki = r.in(0, 50);
        c.kd = r.in(0, 50);
        c.eSum = r.in(-255, 255);
        c.ePrev = r.in(-400, 400);
        set_error(r, c, actual, r.in(-400, 200));
        break;
    case 5:  // ta other than 1 meets a derivative and an integral
        c.ta = r.chance(50) ? r.in(2, 16) : r.chance(50) ? r.in(-16, -1) : draw_nonzero(r);
        c.kd = r.chance(70) ? r.in(1, 1000) : draw_nonzero(r);
        c.ki = r.in(1, 1000);
        c.eSum = r.in(-255, 255);
        break;
    case 6:  // the first step after a reset
        c.x = c.y = c.e = c.eSum = c.ePrev = 0;
        c.ta = 1;
        c.kp = r.in(0, 1000);
        c.ki = r.in(0, 1000);
        c.kd = r.in(0, 1000);
        break;
    default:  // as drawn
        break;
    }
    return pid_vector(c, actual);
}

}  // namespace

const char* pid_rule_name(int bit) { return bit >= 0 && bit < PID_RULE_COUNT ? kRuleNames[bit] : ""; }

unsigned pid_rules(const PidController& before, std::int16_t actual) {
    PidController c = before;
    PidStepDetail d{};
    pid_update(c, actual, [&d](const PidStepDetail& step) { d = step; });

    unsigned rules = 0;
    if (d.error != c.e) rules |= PID_RULE_ERROR_WRAP;
    if (d.sum != d.wrappedSum) rules |= PID_RULE_SUM_WRAP;
    if (d.wrappedSum > kPidErrorSumLimit) rules |= PID_RULE_CLAMP_HIGH;
    if (d.wrappedSum < -kPidErrorSumLimit) rules |= PID_RULE_CLAMP_LOW;
    const std::int16_t kept = wrap16(d.weighted);
    if (kept != d.weighted) rules |= PID_RULE_WEIGHTED_WRAP;
    if (kept < 0 && kept % 100 != 0) rules |= PID_RULE_TRUNCATION;
    const std::int32_t difference = (std::int32_t{c.e} - before.ePrev) * before.kd;
    if (difference % before.ta != 0 && (difference < 0) != (before.ta < 0)) rules |= PID_RULE_DERIVATIVE_TRUNCATION;
    const bool integral = before.ki != 0 && c.eSum != 0;
    if (before.ta != 1 && (difference != 0 || integral)) {
        rules |= PID_RULE_TA_SCALES;
        if (before.ta < 0) rules |= PID_RULE_TA_NEGATIVE;
    }
    const bool atRest = before.x == 0 && before.y == 0 && before.e == 0 && before.eSum == 0 && before.ePrev == 0;
    if (atRest && c.e != 0) rules |= PID_RULE_FROM_REST;
    return rules;
}

std::span<const PidEdgeCase> pid_edge_cases() { return kEdgeCases; }

PidVector pid_vector(const PidController& before, std::int16_t actual) {
    PidVector vector{before, actual, before};
    pid_update(vector.after, actual);
    return vector;
}

std::vector<PidVector> pid_vectors(std::size_t randomCount, std::uint64_t seed) {
    std::vector<PidVector> vectors;
    vectors.reserve(std::size(kEdgeCases) + randomCount);
    for (const PidEdgeCase& edge : kEdgeCases) vectors.push_back(pid_vector(edge.before, edge.actual));
    SplitMix64 random(seed);
    for (std::size_t i = 0; i < randomCount; ++i) vectors.push_back(draw_vector(random));
    return vectors;
}
