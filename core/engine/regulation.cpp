#include "core/engine/regulation.h"

#include "core/engine/int16.h"
#include "core/engine/plant.h"

bool regulationRunning = false;

namespace {

constexpr std::int32_t kSpeedModeTimeStep = 4;  // ms of chart time per pass

std::int32_t next_speed_mode_time(std::int32_t runTime) {
    // Modular, so a run of half a billion passes wraps instead of overflowing.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(runTime) + kSpeedModeTimeStep);
}

}  // namespace

void regulation_start(RegulationRun& run, bool speedMode, const RegulationGains& gains) {
    if (speedMode) {
        run.runTime = next_speed_mode_time(run.runTime);
    } else {
        nc_load_chosen();  // the demo unless the user chose a program file
        run.runTime = nc_tick();
    }

    actualPosition = 0;
    actualSpeed = 0;
    speedController = PidController{};
    positionController = PidController{};
    pwmDuty = 0;  // pwmDirection keeps its value; at duty 0 it has no effect

    positionController.ta = 1;
    positionController.kp = gains.kv;
    positionController.ki = 0;
    positionController.kd = 0;

    speedController.ta = 1;
    speedController.kp = gains.kp;
    speedController.ki = gains.ki;
    speedController.kd = gains.kd;

    plant_reset();

    if (speedMode) {
        speedController.w = gains.w;
    } else {
        run.commandedPoint = {actualPosition, 0, 0};
    }
}

bool regulation_control(RegulationRun& run, bool speedMode) {
    NoPassObserver none;
    return regulation_control(run, speedMode, none);
}

RegulationPoints regulation_chart_points(const RegulationRun& run, bool speedMode) {
    if (speedMode) return {2, {double(speedController.y), double(actualSpeed), 0.0, 0.0}};
    return {4,
            {double(positionController.y), double(actualSpeed), double(actualPosition),
             double(run.commandedPoint.X)}};
}

void regulation_advance_clock(RegulationRun& run, bool speedMode) {
    run.runTime = speedMode ? next_speed_mode_time(run.runTime) : std::int32_t{nc_tick()};
}

void stop_regulation() { regulationRunning = false; }

void RegulationPassHost::controlled(const RegulationRun&, bool) {}
void RegulationPassHost::pause_and_pump() {}
void RegulationPassHost::chart_points(const RegulationRun&, const RegulationPoints&) {}

bool regulation_pass(RegulationRun& run, RegulationPassHost& host) {
    return regulation_pass(run, host, [](RegulationRun& r, bool speedMode) { return regulation_control(r, speedMode); });
}
