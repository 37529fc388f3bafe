#include "core/measure/run_wraps.h"

#include "core/engine/int16.h"
#include "core/measure/headless_run.h"

namespace {

// Raises nothing but remembers whether a wrap of the six came up.
struct WrapWatch {
    bool wrapped = false;
    void position_sum(std::int32_t, std::int16_t) {}
    void position_step(const PidController& c, const PidStepDetail& d) { controller(c, d); }
    void speed_setpoint(std::int16_t, std::int16_t) {}
    void speed_step(const PidController& c, const PidStepDetail& d) { controller(c, d); }
    void pwm_output(std::int16_t, std::int16_t) {}
    void controller(const PidController& c, const PidStepDetail& d) {
        if (d.error != c.e || d.sum != d.wrappedSum || d.weighted != wrap16(d.weighted)) wrapped = true;
    }
};

}  // namespace

bool regulation_run_wraps(bool speedMode, const RegulationGains& gains, std::int64_t passLimit, RunStop stop) {
    WrapWatch watch;
    run_headless(
        {speedMode, passLimit, gains, stop},
        [&watch](const RegulationRun&, const RegulationPoints&, std::int64_t) {
            if (watch.wrapped) stop_regulation();  // the answer is known
        },
        [&watch](RegulationRun& r, bool mode) { return regulation_control(r, mode, watch); });
    regulationRunning = false;
    return watch.wrapped;
}
