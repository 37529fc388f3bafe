#include "core/engine/regulation.h"

namespace {

constexpr std::int32_t kSpeedModeTimeStep = 4;  // ms of chart time per pass

std::int32_t next_speed_mode_time(std::int32_t runTime) {
    // Modular, so a run of half a billion passes wraps instead of overflowing.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(runTime) + kSpeedModeTimeStep);
}

}  // namespace

void regulation_start(Engine& engine, RegulationRun& run, bool speedMode, const RegulationGains& gains) {
    if (speedMode) {
        run.runTime = next_speed_mode_time(run.runTime);
    } else {
        nc_load(engine.nc, engine.program.get());  // the demo unless a program file was chosen
        run.runTime = nc_tick(engine.nc);
    }

    Cascade& c = engine.cascade;
    c.actualPosition = 0;
    c.actualSpeed = 0;
    c.speedController = PidController{};
    c.positionController = PidController{};
    c.pwmDuty = 0;  // pwmDirection keeps its value; at duty 0 it has no effect

    c.positionController.ta = 1;
    c.positionController.kp = gains.kv;
    c.positionController.ki = 0;
    c.positionController.kd = 0;

    c.speedController.ta = 1;
    c.speedController.kp = gains.kp;
    c.speedController.ki = gains.ki;
    c.speedController.kd = gains.kd;

    plant_reset(engine.plant);

    if (speedMode) {
        c.speedController.w = gains.w;
    } else {
        run.commandedPoint = {c.actualPosition, 0, 0};
    }
}

bool regulation_control(Engine& engine, RegulationRun& run, bool speedMode) {
    NoPassObserver none;
    return regulation_control(engine, run, speedMode, none);
}

RegulationPoints regulation_chart_points(const Engine& engine, const RegulationRun& run, bool speedMode) {
    const Cascade& c = engine.cascade;
    if (speedMode) return {2, {double(c.speedController.y), double(c.actualSpeed), 0.0, 0.0}};
    return {4,
            {double(c.positionController.y), double(c.actualSpeed), double(c.actualPosition),
             double(run.commandedPoint.X)}};
}

void regulation_advance_clock(Engine& engine, RegulationRun& run, bool speedMode) {
    run.runTime = speedMode ? next_speed_mode_time(run.runTime) : std::int32_t{nc_tick(engine.nc)};
}

void stop_regulation(Engine& engine) { engine.running = false; }

void RegulationPassHost::controlled(const RegulationRun&, bool) {}
void RegulationPassHost::pause_and_pump() {}
void RegulationPassHost::chart_points(const RegulationRun&, const RegulationPoints&) {}

bool regulation_pass(Engine& engine, RegulationRun& run, RegulationPassHost& host) {
    return regulation_pass(engine, run, host,
                           [&engine](RegulationRun& r, bool speedMode) { return regulation_control(engine, r, speedMode); });
}
