#include "core/measure/regulation_events.h"

#include <cstdlib>

namespace {

constexpr const char* kEventNames[kRegulationEventCount] = {
    "speed.e_wrap",    "speed.sum_wrap",    "speed.sum_clamp",    "speed.out_wrap",
    "position.e_wrap", "position.sum_wrap", "position.sum_clamp", "position.out_wrap",
    "pwm_limit",       "setpoint_limit",    "position_wrap",
};

// Offsets of the four controller events from the loop's first one.
constexpr int kErrorWrap = 0, kSumWrap = 1, kSumClamp = 2, kOutWrap = 3;

std::int64_t magnitude(std::int64_t v) { return v < 0 ? -v : v; }

}  // namespace

const char* regulation_event_name(int event) {
    return event >= 0 && event < kRegulationEventCount ? kEventNames[event] : "";
}

void append_event_names(std::string& out, std::uint16_t mask) {
    bool first = true;
    for (int event = 0; event < kRegulationEventCount; ++event) {
        if (!((unsigned{mask} >> event) & 1u)) continue;
        if (!first) out += '|';
        out += kEventNames[event];
        first = false;
    }
}

void PassEvents::raise(int event, std::int64_t before, std::int16_t after) {
    raised = static_cast<std::uint16_t>(raised | (1u << event));
    values[static_cast<std::size_t>(event)] = {before, after};
}

void PassEvents::controller_step(int first, const PidController& c, const PidStepDetail& d) {
    if (d.error != c.e) raise(first + kErrorWrap, d.error, c.e);
    if (d.sum != d.wrappedSum) raise(first + kSumWrap, d.sum, d.wrappedSum);
    if (d.wrappedSum != c.eSum) raise(first + kSumClamp, d.wrappedSum, c.eSum);
    if (d.weighted != wrap16(d.weighted)) raise(first + kOutWrap, d.weighted, wrap16(d.weighted));
}

void PassEvents::position_sum(std::int32_t exact, std::int16_t kept) {
    if (exact != kept) raise(POSITION_WRAP, exact, kept);
}

void PassEvents::position_step(const PidController& c, const PidStepDetail& d) {
    controller_step(POSITION_E_WRAP, c, d);
    positionStepped = true;
    positionWeighted = d.weighted;
    positionSum = c.eSum;
}

void PassEvents::speed_setpoint(std::int16_t y, std::int16_t setpoint) {
    if (y > kCascadeLimit || y < -kCascadeLimit) raise(SETPOINT_LIMIT, y, setpoint);
}

void PassEvents::speed_step(const PidController& c, const PidStepDetail& d) {
    controller_step(SPEED_E_WRAP, c, d);
    speedWeighted = d.weighted;
    speedSum = c.eSum;
}

void PassEvents::pwm_output(std::int16_t y, std::int16_t signedDuty) {
    if (y > kCascadeLimit || y < -kCascadeLimit) raise(PWM_LIMIT, y, signedDuty);
}

void RunHeadroom::add(const PassEvents& pass) {
    const auto larger = [](auto& held, auto value) {
        if (value > held) held = value;
    };
    larger(speedWeightedMax, magnitude(pass.speedWeighted));
    larger(speedSumMax, static_cast<std::int16_t>(std::abs(pass.speedSum)));
    if (pass.positionStepped) {
        larger(positionWeightedMax, magnitude(pass.positionWeighted));
        larger(positionSumMax, static_cast<std::int16_t>(std::abs(pass.positionSum)));
    }
    for (int event = 0; event < kRegulationEventCount; ++event) {
        if (pass.has(event)) ++counts[static_cast<std::size_t>(event)];
    }
}
