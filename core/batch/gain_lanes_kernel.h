#pragma once
// The lockstep pass: L gain sets stepped together, every lane doing exactly
// what measure_regulation_run does for its set. Included only by the
// gain_lanes_*.cpp units, each built for one instruction set; so everything
// here has internal linkage and calls no function of vague linkage (no
// wrap16, no std::min): a copy built for AVX-512 must never be the one the
// linker keeps for the whole program.
//
// Bit-exact with the scalar pass, lane by lane:
// - 16-bit registers are unsigned 16-bit lanes, where + - * wrap by
//   definition (the scalar's wrap16); they are read as signed only to
//   compare, clamp and divide.
// - The sum wraps, then is clamped to +-255, as in pid_update.
// - Only the low 16 bits of P + I + D survive the scalar step, and the low 16
//   bits of a sum or product depend only on the low 16 bits of its terms, so
//   P, I, D and their sum are formed in 16-bit lanes directly.
// - / 100 truncates toward zero: the compiler's multiply-high sequence for a
//   signed 16-bit lane divided by a constant (the tests step every value).
// - / ta (the test kernel only: runs have ta = 1 in both loops, and the
//   scalar step skips the division there too): the exact 32-bit difference
//   divided in double. For |a| < 2^31 and 0 < |ta| < 2^15 a quotient that is
//   not whole lies at least 1/|ta| >= 2^-15 from the next whole number, more
//   than the rounding of a double of that size (2^-22), so truncating the
//   double quotient gives a / ta truncated, as the integer division does.
// - The drive model in double, the same operations in the same order. The
//   units that include this file, and plant.cpp, are built with
//   -ffp-contract=off (core/CMakeLists.txt): no multiply and add may fuse, or
//   the last bit of the speed would differ from the scalar step's.
// - The speed is truncated toward zero to 32 bits, then kept to its low 16;
//   the scalar truncates to 64 bits first. The same, because the drive stays
//   far inside 32 bits: under any input within +-255 its speed stays within
//   +-87 (the sum of |impulse response| is 0.34).
// - Every run of a group ends at the same pass: the program's end and the
//   pass limit are the same for every gain set, so no lane needs masking; a
//   group that is not full repeats a set and its results are dropped.
// - The metrics: the accumulator's extremes and sums per lane, turned into
//   16-bit work: |c - r| (up to 65535) as an unsigned distance with its sign
//   apart, summed in 16 bits with a count of carries; the 10 % and 90 %
//   levels and the settling band as thresholds worked out once per run; the
//   squares (in double, exact below 2^53) and the steady-error window's
//   responses (in 32 bits) widened only to be summed. Over blocks of passes
//   short enough that nothing overflows, then added into each lane's
//   RunTotals, which run_metrics_of makes into the cells as for one run.
// - The wraps (asked for, or compiled away): a lane wraps when any error,
//   sum or weighted sum of either loop leaves 16 bits, as the scalar check
//   (regulation_run_wraps) sees it. The error w - x and the sum eSum + e
//   overflow exactly when both operands' signs differ from, resp. agree with
//   each other and differ from the result's: a sign bit, ORed into one
//   register for the whole run. The weighted sum P + I + D is exact in the
//   scalar step (64 bits); here P, I, kd e and kd ePrev are each formed
//   whole as their high and low 16 bits (the high half by a multiply-high),
//   the low halves added with their carries into the high ones. The true
//   high half, floor(sum / 2^16), lies within +-49300 (four products of at
//   most 2^30, the integral's at most 2^23), so kept to 16 bits it is 0 or
//   -1 only when it truly is: the sum fits exactly when that high half
//   equals the low half's sign.
//   The speed loop's error and sum need no check where they cannot
//   overflow: its actual value stays within +-87 (above), so w - x stays
//   within 16 bits and eSum + e too while |w| <= 32767 - 255 - 87. That
//   holds for the position loop's setpoint (+-255) always, and in speed
//   mode for every w but the outermost, which a group checks only if one of
//   its lanes has such a w.
// - The limit cycle: the speed of each pass of the stretch stored as it is,
//   with its smallest and largest; the smallest period of each lane's stored
//   speeds is then found for all lanes at once, period by period, as the
//   smallest p for which every speed equals the one p passes later: the
//   smallest period of the stretch, which limit_cycle_of finds by its
//   longest border.
#include "core/batch/gain_lanes.h"

#include <cstdint>
#include <type_traits>

namespace {

template <int L>
struct Lanes {
    // typedef, not using: GCC drops the attribute from a dependent alias.
    typedef std::uint16_t U16 __attribute__((vector_size(2 * L)));
    typedef std::int16_t S16 __attribute__((vector_size(2 * L)));
    typedef std::int32_t S32 __attribute__((vector_size(4 * L)));
    typedef double F64 __attribute__((vector_size(8 * L)));
};

// Passes per block of the metrics: 16384 x 65535 (the largest |c - r|) stays
// below 2^31, 16384 x 65535^2 below 2^53 (exact in a double), and the PWM
// limit count below 2^15.
constexpr std::int32_t kBlockPasses = 16384;
constexpr std::int16_t kLimit = 255;  // PWM duty and speed setpoint, as kCascadeLimit

// Every lane `value`, converted to the lanes' type.
template <class V, class T>
[[gnu::always_inline]] inline V splat(T value) {
    return V{} + static_cast<std::remove_cvref_t<decltype(V{}[0])>>(value);
}

template <class To, class From>
[[gnu::always_inline]] inline To convert(From v) {
    return __builtin_convertvector(v, To);
}

template <class S>
[[gnu::always_inline]] inline S clamp_lanes(S v, S low, S high) {
    v = v < low ? low : v;
    return v > high ? high : v;
}

// Whether no lane of v is set.
template <class V>
[[gnu::always_inline]] inline bool none_set(V v) {
    std::uint64_t words[sizeof(V) / 8];
    __builtin_memcpy(words, &v, sizeof v);
    std::uint64_t any = 0;
    for (std::uint64_t w : words) any |= w;
    return any == 0;
}

// The smallest period p <= count / 2 with which each lane's rows repeat (row
// k equals row k + p for every k), 0 where none does; `constant` lanes
// (every row alike) have period 1. `rows` holds `count` rows `stride`
// numbers apart, this group's L lanes at their start. A period is tried on
// its first and last pair of rows before the rest, and its comparison ends
// once every lane still open has differed (looked at every 8 rows), so a
// stretch that does not repeat costs a few rows a period.
template <int L>
typename Lanes<L>::U16 stretch_periods(const std::int16_t* rows, std::int64_t count, std::int64_t stride,
                                       typename Lanes<L>::S16 constant) {
    using U16 = typename Lanes<L>::U16;
    using S16 = typename Lanes<L>::S16;
    const auto row = [rows, stride](std::int64_t k) {
        S16 v;
        __builtin_memcpy(&v, rows + k * stride, sizeof v);
        return v;
    };
    if (count < 2) return U16{};
    U16 period = U16(constant) & splat<U16>(1);
    S16 open = ~constant;
    for (std::int64_t p = 1; 2 * p <= count && !none_set(open); ++p) {
        S16 same = open & S16(row(0) == row(p)) & S16(row(count - 1 - p) == row(count - 1));
        if (none_set(same)) continue;
        for (std::int64_t k = 1; k + p < count - 1; ++k) {
            same &= S16(row(k) == row(k + p));
            if ((k & 7) == 0 && none_set(same)) break;
        }
        period = same != 0 ? splat<U16>(static_cast<std::uint16_t>(p)) : period;
        open &= ~same;
    }
    return period;
}

// One PID controller per lane, the fields of PidController that a step reads
// or writes, as 16-bit registers.
template <int L>
struct ControllerLanes {
    using U16 = typename Lanes<L>::U16;
    U16 kp, ki, kd, ta;
    U16 e, eSum, ePrev, y;
};

// |w| beyond this, and the speed loop's error or sum may overflow (above).
constexpr std::int32_t kWrapFreeSetpoint = 32767 - 255 - 87;

// The high 16 bits of each lane's exact 32-bit product (a multiply-high,
// which the compiler makes of this loop).
template <class S>
[[gnu::always_inline]] inline S multiply_high(S a, S b) {
    S high;
    for (int i = 0; i < static_cast<int>(sizeof(S) / sizeof(std::int16_t)); ++i) {
        high[i] = static_cast<std::int16_t>((std::int32_t{a[i]} * std::int32_t{b[i]}) >> 16);
    }
    return high;
}

// Whether each lane's a + b (as 16-bit lanes, `sum`) overflowed, in the sign bit.
template <class U>
[[gnu::always_inline]] inline U add_overflow(U a, U b, U sum) {
    return (sum ^ a) & (sum ^ b);
}
// Whether a - b (`difference`) overflowed, in the sign bit.
template <class U>
[[gnu::always_inline]] inline U subtract_overflow(U a, U b, U difference) {
    return (a ^ b) & (a ^ difference);
}

// pid_update on every lane: the error, the sum's wrap then clamp, P + I + D
// in 16 bits, the truncating division by 100. AnyTa divides D by ta and
// multiplies I by it; without it every lane has ta = 1. Wraps ORs into
// `wraps`' sign bits whether the weighted sum left 16 bits and, with
// `errorAndSum`, whether the error or the sum did (ta = 1 only).
template <bool AnyTa, bool Wraps, int L>
[[gnu::always_inline]] inline void controller_step(ControllerLanes<L>& c, typename Lanes<L>::U16 w,
                                                   typename Lanes<L>::U16 x, typename Lanes<L>::U16& wraps,
                                                   bool errorAndSum) {
    using U16 = typename Lanes<L>::U16;
    using S16 = typename Lanes<L>::S16;
    using S32 = typename Lanes<L>::S32;
    using F64 = typename Lanes<L>::F64;
    static_assert(!(AnyTa && Wraps));
    c.e = w - x;
    const U16 sum = c.eSum + c.e;
    if constexpr (Wraps) {
        if (errorAndSum) wraps |= subtract_overflow(w, x, c.e) | add_overflow(c.eSum, c.e, sum);
    }
    c.eSum = U16(clamp_lanes(S16(sum), splat<S16>(-kPidErrorSumLimit), splat<S16>(kPidErrorSumLimit)));
    U16 integral = c.ki * c.eSum;
    U16 weighted;
    if constexpr (Wraps) {
        // P + I + kd e - kd ePrev, each product whole as (high, low).
        const U16 proportional = c.kp * c.e;
        const U16 derivativeLow = c.kd * c.e;
        const U16 derivativeHigh = U16(multiply_high(S16(c.kd), S16(c.e)));
        U16 high = U16(multiply_high(S16(c.kp), S16(c.e))) + U16(multiply_high(S16(c.ki), S16(c.eSum)));
        U16 low = proportional + integral;
        high -= U16(low < integral);  // a true comparison is -1: minus it adds the carry
        const U16 withD = low + derivativeLow;
        high += derivativeHigh;
        high -= U16(withD < derivativeLow);
        const U16 previousLow = c.kd * c.ePrev;
        weighted = withD - previousLow;
        high -= U16(multiply_high(S16(c.kd), S16(c.ePrev)));
        high += U16(withD < previousLow);  // the borrow
        wraps |= U16(S16(high) != (S16(weighted) >> 15));
    } else {
        U16 derivative = (c.e - c.ePrev) * c.kd;
        if constexpr (AnyTa) {
            integral = integral * c.ta;
            const S32 difference = (convert<S32>(S16(c.e)) - convert<S32>(S16(c.ePrev))) * convert<S32>(S16(c.kd));
            const F64 quotient = convert<F64>(difference) / convert<F64>(S16(c.ta));
            derivative = U16(convert<S16>(convert<S32>(quotient)));
        }
        weighted = c.kp * c.e + integral + derivative;
    }
    c.y = U16(S16(weighted) / 100);
    c.ePrev = c.e;
}

// The drive model of every lane, plant_advance's steps in its order.
template <int L>
struct DriveLanes {
    using F64 = typename Lanes<L>::F64;
    F64 speed, integral;
    F64 dt, damping, inputGain;

    // Steps under the PWM input u and returns the speed kept to 16 bits.
    [[gnu::always_inline]] inline typename Lanes<L>::U16 step(typename Lanes<L>::S16 u) {
        using S32 = typename Lanes<L>::S32;
        const F64 input = convert<F64>(convert<S32>(u));
        const F64 integralIncrement = dt * speed;
        const F64 speedIncrement = dt * ((inputGain * input - integral) - damping * speed);
        integral = integral + integralIncrement;
        speed = speed + speedIncrement;
        return typename Lanes<L>::U16(convert<typename Lanes<L>::S16>(convert<S32>(speed)));
    }
};

// One group of L runs: the cascade, and the metrics' sums and events over a
// block of passes, and with Wraps whether each run wraps. Every comparison
// and select is on 16-bit lanes, one register wide (GCC takes those apart
// lane by lane on wider vectors); only sums are widened.
template <int L, bool Speed, bool Wraps>
struct RunLanes {
    using U16 = typename Lanes<L>::U16;
    using S16 = typename Lanes<L>::S16;
    using S32 = typename Lanes<L>::S32;
    using F64 = typename Lanes<L>::F64;

    ControllerLanes<L> speed{};
    DriveLanes<L> drive{};
    U16 kv{}, w{}, position{};
    // The wrap check: the position loop's error sum (its ki is 0, so only
    // the check needs it), and the sign bits of every wrap so far.
    U16 positionSum{};
    U16 wraps{};     // sign bits
    bool extremeW{};  // speed mode: a lane's |w| is beyond kWrapFreeSetpoint

    // Speed mode. A response r read along w's direction as r ^ wNegative:
    // r where w >= 0, -r - 1 where w < 0 (no 16-bit overflow, order kept),
    // so the levels ceil(|w| / 10) and ceil(9 |w| / 10) are one less there.
    S16 wNegative{};
    S16 level10{}, level90{};
    U16 band{};  // |c - r| beyond floor(max(|w|, 50) / 50) is outside the band
    S16 reached10{}, reached90{};
    S16 peakAlong{};

    // Position mode: the first largest |c - r| and whether c - r < 0 there; the last.
    U16 maxMagnitude{}, lastMagnitude{};
    S16 maxNegative{}, lastNegative{};

    // The block's sums, and the pass within it (from 1; 0 for none) of each event.
    U16 absLow{}, absCarries{};  // sum of |c - r| = absLow + 65536 absCarries
    S16 limitPasses{};
    S32 tail{};
    F64 squares{};
    U16 at10{}, at90{}, peakAt{}, outsideAt{}, maxAt{};
    S16 stretchLow{}, stretchHigh{};  // over the stretch so far

    void start(const LaneRunJob& job, const RegulationGains* sets, RunTotals* totals) {
        drive = {F64{}, F64{}, splat<F64>(job.dt), splat<F64>(job.damping), splat<F64>(job.inputGain)};
        speed.ta = splat<U16>(1);
        peakAlong = splat<S16>(INT16_MIN);
        stretchLow = splat<S16>(INT16_MAX);
        stretchHigh = splat<S16>(INT16_MIN);
        for (int i = 0; i < L; ++i) {
            const RegulationGains& g = sets[i];
            speed.kp[i] = static_cast<std::uint16_t>(g.kp);
            speed.ki[i] = static_cast<std::uint16_t>(g.ki);
            speed.kd[i] = static_cast<std::uint16_t>(g.kd);
            kv[i] = static_cast<std::uint16_t>(g.kv);
            w[i] = static_cast<std::uint16_t>(g.w);
            const std::int32_t magnitude = g.w < 0 ? -std::int32_t{g.w} : g.w;
            const std::int32_t less = g.w < 0 ? 1 : 0;
            extremeW = extremeW || magnitude > kWrapFreeSetpoint;
            wNegative[i] = static_cast<std::int16_t>(-less);
            level10[i] = static_cast<std::int16_t>((magnitude + 9) / 10 - less);
            level90[i] = static_cast<std::int16_t>((9 * magnitude + 9) / 10 - less);
            band[i] = static_cast<std::uint16_t>((magnitude > 50 ? magnitude : 50) / 50);
            totals[i] = RunTotals{};
            totals[i].speedMode = Speed;
            totals[i].w = Speed ? g.w : std::int16_t{0};
            totals[i].passes = job.passes;
        }
    }

    void begin_block() {
        absLow = absCarries = at10 = at90 = peakAt = outsideAt = maxAt = U16{};
        limitPasses = S16{};
        tail = S32{};
        squares = F64{};
    }

    // Pass t of the block: the cascade as regulation_control runs it, then
    // the pass into the metrics as the accumulator takes it; in the stretch
    // the speeds into `stretchRow`.
    [[gnu::always_inline]] inline void pass(std::uint16_t t, std::int16_t commandedX, bool inTail,
                                            std::int16_t* stretchRow) {
        const S16 low = splat<S16>(-kLimit);
        const S16 high = splat<S16>(kLimit);
        const U16 actual = drive.step(clamp_lanes(S16(speed.y), low, high));
        U16 command = w;
        U16 response = actual;
        U16 setpoint = w;
        if constexpr (!Speed) {
            position = position + actual;
            command = splat<U16>(commandedX);
            response = position;
            const U16 error = command - position;
            const U16 weighted = kv * error;  // P alone: the position loop's ki and kd are 0
            setpoint = U16(clamp_lanes(S16(weighted) / 100, low, high));
            if constexpr (Wraps) {
                const U16 sum = positionSum + error;
                wraps |= subtract_overflow(command, position, error) | add_overflow(positionSum, error, sum) |
                         U16(multiply_high(S16(kv), S16(error)) != (S16(weighted) >> 15));
                positionSum = U16(clamp_lanes(S16(sum), splat<S16>(-kPidErrorSumLimit), splat<S16>(kPidErrorSumLimit)));
            }
        }
        controller_step<false, Wraps>(speed, setpoint, actual, wraps, Speed && extremeW);

        const S16 y = S16(speed.y);
        limitPasses -= (y > high) | (y < low);
        const S16 r = S16(response);
        const S16 c = S16(command);
        const S16 negative = r > c;
        const U16 magnitude = U16(negative ? r : c) - U16(negative ? c : r);  // |c - r|, up to 65535
        absLow += magnitude;
        absCarries -= U16(absLow < magnitude);
        const U16 now = splat<U16>(t);
        if constexpr (Speed) {
            if (inTail) tail += convert<S32>(r);
            if (stretchRow != nullptr) {
                __builtin_memcpy(stretchRow, &r, sizeof r);
                stretchLow = r < stretchLow ? r : stretchLow;
                stretchHigh = r > stretchHigh ? r : stretchHigh;
            }
            const S16 along = r ^ wNegative;
            const S16 new10 = (along >= level10) & ~reached10;
            const S16 new90 = (along >= level90) & ~reached90;
            at10 |= U16(new10) & now;
            at90 |= U16(new90) & now;
            reached10 |= new10;
            reached90 |= new90;
            const S16 higher = along > peakAlong;
            peakAlong = higher ? along : peakAlong;
            peakAt = higher ? now : peakAt;
            outsideAt = magnitude > band ? now : outsideAt;
        } else {
            const U16 larger = magnitude > maxMagnitude;
            maxMagnitude = larger ? magnitude : maxMagnitude;
            maxNegative = larger ? negative : maxNegative;
            maxAt = larger ? now : maxAt;
            const F64 m = convert<F64>(convert<S32>(magnitude));
            squares += m * m;
            lastMagnitude = magnitude;
            lastNegative = negative;
        }
    }

    // The block, which began after pass `start` of the run, into the totals.
    void end_block(std::int64_t start, RunTotals* totals) const {
        for (int i = 0; i < L; ++i) {
            RunTotals& total = totals[i];
            total.sumAbsError += absLow[i] + 65536 * std::int64_t{absCarries[i]};
            total.limitPasses += limitPasses[i];
            if constexpr (Speed) {
                total.tailSum += tail[i];
                if (at10[i] != 0) total.firstAt10 = start + at10[i];
                if (at90[i] != 0) total.firstAt90 = start + at90[i];
                if (peakAt[i] != 0) total.peakPass = start + peakAt[i];
                if (outsideAt[i] != 0) total.lastOutsideBand = start + outsideAt[i];
            } else {
                total.sumSquaredError += static_cast<std::int64_t>(squares[i]);
                if (maxAt[i] != 0) total.maxErrorPass = start + maxAt[i];
            }
        }
    }

    // After the last pass: what is kept as a value rather than summed.
    void finish(RunTotals* totals, std::int64_t window, std::uint8_t* wrapped) const {
        for (int i = 0; i < L; ++i) {
            if constexpr (Wraps) wrapped[i] = S16(wraps)[i] < 0 ? 1 : 0;
            RunTotals& total = totals[i];
            if (total.passes < 1) continue;
            // No later pass beat the first one: it holds the extreme.
            if constexpr (Speed) {
                total.tailCount = window;
                if (total.peakPass == 0) total.peakPass = 1;
                total.peak = static_cast<std::int16_t>(peakAlong[i] ^ wNegative[i]);
                total.peakAlong = wNegative[i] != 0 ? -std::int32_t{total.peak} : total.peak;
            } else {
                if (total.maxErrorPass == 0) total.maxErrorPass = 1;
                total.maxError = maxNegative[i] != 0 ? -std::int32_t{maxMagnitude[i]} : maxMagnitude[i];
                total.lastError = lastNegative[i] != 0 ? -std::int32_t{lastMagnitude[i]} : lastMagnitude[i];
            }
        }
    }
};

// G groups of L runs stepped side by side: the passes of one group form one
// long chain of dependent steps, and a second group's fill its waits.
template <int L, int G, bool Speed, bool Wraps>
void run_groups(const LaneRunJob& job, const RegulationGains* sets, RunTotals* totals, std::uint8_t* wrapped) {
    RunLanes<L, Speed, Wraps> groups[static_cast<std::size_t>(G)];
    for (int g = 0; g < G; ++g) groups[g].start(job, sets + g * L, totals + g * L);
    const std::int64_t window = job.passes / 10 > 1 ? job.passes / 10 : 1;
    const std::int64_t tailAfter = job.passes - window;
    const bool stretched = Speed && job.stretch != nullptr;
    const std::int64_t stretchAfter = job.passes - job.stretchPasses;
    for (std::int64_t start = 0; start < job.passes; start += kBlockPasses) {
        if (job.stopped != nullptr && job.stopped(job.stop)) return;
        const auto count =
            static_cast<std::int32_t>(job.passes - start < kBlockPasses ? job.passes - start : kBlockPasses);
        for (RunLanes<L, Speed, Wraps>& group : groups) group.begin_block();
        for (std::int32_t t = 1; t <= count; ++t) {
            const std::int16_t x = Speed ? std::int16_t{0} : job.setpoints[start + t - 1];
            const bool inTail = start + t > tailAfter;
            std::int16_t* row = stretched && start + t > stretchAfter
                                    ? job.stretch + (start + t - stretchAfter - 1) * (L * G)
                                    : nullptr;
            for (int g = 0; g < G; ++g) {
                groups[g].pass(static_cast<std::uint16_t>(t), x, inTail, row != nullptr ? row + g * L : nullptr);
            }
        }
        for (int g = 0; g < G; ++g) groups[g].end_block(start, totals + g * L);
    }
    for (int g = 0; g < G; ++g) {
        groups[g].finish(totals + g * L, window, Wraps ? wrapped + g * L : nullptr);
        if (!stretched) continue;
        const typename Lanes<L>::U16 periods = stretch_periods<L>(
            job.stretch + g * L, job.stretchPasses, L * G,
            typename Lanes<L>::S16(groups[g].stretchLow == groups[g].stretchHigh));
        for (int i = 0; i < L; ++i) {
            job.stretchPeriod[g * L + i] = periods[i];
            job.stretchAmplitude[g * L + i] = std::int32_t{groups[g].stretchHigh[i]} - groups[g].stretchLow[i];
        }
    }
}

template <int L, int G>
void run_lanes(const LaneRunJob& job, const RegulationGains* sets, RunTotals* totals, std::uint8_t* wrapped) {
    if (wrapped != nullptr) {
        if (job.speedMode) run_groups<L, G, true, true>(job, sets, totals, wrapped);
        else run_groups<L, G, false, true>(job, sets, totals, wrapped);
    } else if (job.speedMode) {
        run_groups<L, G, true, false>(job, sets, totals, nullptr);
    } else {
        run_groups<L, G, false, false>(job, sets, totals, nullptr);
    }
}

template <int L>
void pid_update_register(PidController* controllers, const std::int16_t* actual) {
    using U16 = typename Lanes<L>::U16;
    ControllerLanes<L> c{};
    U16 w{}, x{};
    bool anyTa = false;
    for (int i = 0; i < L; ++i) {
        const PidController& p = controllers[i];
        c.kp[i] = static_cast<std::uint16_t>(p.kp);
        c.ki[i] = static_cast<std::uint16_t>(p.ki);
        c.kd[i] = static_cast<std::uint16_t>(p.kd);
        c.ta[i] = static_cast<std::uint16_t>(p.ta);
        c.eSum[i] = static_cast<std::uint16_t>(p.eSum);
        c.ePrev[i] = static_cast<std::uint16_t>(p.ePrev);
        w[i] = static_cast<std::uint16_t>(p.w);
        x[i] = static_cast<std::uint16_t>(actual[i]);
        anyTa = anyTa || p.ta != 1;
    }
    U16 unused{};
    if (anyTa) controller_step<true, false>(c, w, x, unused, false);
    else controller_step<false, false>(c, w, x, unused, false);
    for (int i = 0; i < L; ++i) {
        PidController& p = controllers[i];
        p.x = actual[i];
        p.e = static_cast<std::int16_t>(c.e[i]);
        p.eSum = static_cast<std::int16_t>(c.eSum[i]);
        p.ePrev = static_cast<std::int16_t>(c.ePrev[i]);
        p.y = static_cast<std::int16_t>(c.y[i]);
    }
}

template <int L>
void plant_step_register(Plant* drives, const std::int16_t* u, std::int16_t* speed) {
    using F64 = typename Lanes<L>::F64;
    DriveLanes<L> drive{F64{}, F64{}, F64{}, F64{}, F64{}};
    typename Lanes<L>::S16 input{};
    for (int i = 0; i < L; ++i) {
        drive.speed[i] = drives[i].speed;
        drive.integral[i] = drives[i].integral;
        drive.dt[i] = drives[i].dt;
        drive.damping[i] = drives[i].damping;
        drive.inputGain[i] = drives[i].inputGain;
        input[i] = u[i];
    }
    const typename Lanes<L>::U16 kept = drive.step(input);
    for (int i = 0; i < L; ++i) {
        drives[i].speed = drive.speed[i];
        drives[i].integral = drive.integral[i];
        speed[i] = static_cast<std::int16_t>(kept[i]);
    }
}

template <int L, int G>
void pid_update_lanes(PidController* controllers, const std::int16_t* actual) {
    for (int g = 0; g < G; ++g) pid_update_register<L>(controllers + g * L, actual + g * L);
}

template <int L, int G>
void plant_step_lanes(Plant* drives, const std::int16_t* u, std::int16_t* speed) {
    for (int g = 0; g < G; ++g) plant_step_register<L>(drives + g * L, u + g * L, speed + g * L);
}

// L lanes to a register, G registers side by side.
template <int L, int G>
constexpr LaneKernel lane_kernel(const char* name) {
    static_assert(L * G <= LANES_MOST);
    return {name, L * G, &run_lanes<L, G>, &pid_update_lanes<L, G>, &plant_step_lanes<L, G>};
}

}  // namespace
