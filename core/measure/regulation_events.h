#pragma once
// The wraps and limits of one regulation pass, recorded by observing the
// pass itself, and the headroom a run has used so far.
#include "core/engine/cascade.h"

#include <array>
#include <cstdint>
#include <string>

// In the order every listing shows them.
enum RegulationEvent : int {
    SPEED_E_WRAP,
    SPEED_SUM_WRAP,
    SPEED_SUM_CLAMP,
    SPEED_OUT_WRAP,
    POSITION_E_WRAP,
    POSITION_SUM_WRAP,
    POSITION_SUM_CLAMP,
    POSITION_OUT_WRAP,
    PWM_LIMIT,
    SETPOINT_LIMIT,
    POSITION_WRAP,
};
constexpr int kRegulationEventCount = 11;

// "speed.e_wrap", ..., "position_wrap".
const char* regulation_event_name(int event);
// The names raised in `mask` (bit i: event i) joined by '|', appended.
void append_event_names(std::string& out, std::uint16_t mask);

// The value a wrap or limit met, exactly, and the value that was kept.
struct EventValues {
    std::int64_t before;
    std::int16_t after;
};

// One pass's events; the pass calls the observer members as it goes.
// Clear it before each pass with begin_pass.
struct PassEvents {
    std::uint16_t raised = 0;  // bit i: event i
    std::array<EventValues, kRegulationEventCount> values{};  // meaningful where raised
    bool positionStepped = false;  // the position loop ran this pass
    std::int64_t speedWeighted = 0;     // exact P + I + D of each loop this pass
    std::int64_t positionWeighted = 0;
    std::int16_t speedSum = 0;  // eSum after the clamp
    std::int16_t positionSum = 0;

    void begin_pass() {
        raised = 0;
        positionStepped = false;
    }
    bool has(int event) const { return ((unsigned{raised} >> event) & 1u) != 0; }

    void position_sum(std::int32_t exact, std::int16_t kept);
    void position_step(const PidController& c, const PidStepDetail& d);
    void speed_setpoint(std::int16_t y, std::int16_t setpoint);
    void speed_step(const PidController& c, const PidStepDetail& d);
    void pwm_output(std::int16_t y, std::int16_t signedDuty);

private:
    void raise(int event, std::int64_t before, std::int16_t after);
    void controller_step(int first, const PidController& c, const PidStepDetail& d);
};

// Per loop the largest |weighted sum| / 32767 and |eSum| / 255 of a run so
// far, and how often each event was raised.
struct RunHeadroom {
    std::int64_t speedWeightedMax = 0;  // largest |P + I + D|, exact
    std::int64_t positionWeightedMax = 0;
    std::int16_t speedSumMax = 0;  // largest |eSum|
    std::int16_t positionSumMax = 0;
    std::array<std::uint64_t, kRegulationEventCount> counts{};

    void reset() { *this = RunHeadroom{}; }
    void add(const PassEvents& pass);
    double speed_weighted_share() const { return double(speedWeightedMax) / 32767.0; }
    double position_weighted_share() const { return double(positionWeightedMax) / 32767.0; }
    double speed_sum_share() const { return double(speedSumMax) / 255.0; }
    double position_sum_share() const { return double(positionSumMax) / 255.0; }
};
