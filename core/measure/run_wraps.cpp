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

bool regulation_run_wraps(Engine& engine, bool speedMode, const RegulationGains& gains, std::int64_t passLimit,
                          const StopFlag* stop) {
    WrapWatch watch;
    run_headless(
        engine, {speedMode, passLimit, gains, stop},
        [&watch, &engine](const RegulationRun&, const RegulationPoints&, std::int64_t) {
            if (watch.wrapped) stop_regulation(engine);  // the answer is known
        },
        [&watch, &engine](RegulationRun& r, bool mode) { return regulation_control(engine, r, mode, watch); });
    engine.running = false;
    return watch.wrapped;
}
