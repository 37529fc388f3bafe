#include "core/engine/module.h"

Engine moduleEngine;

Plant& plant = moduleEngine.plant;
std::int16_t& actualSpeed = moduleEngine.cascade.actualSpeed;
std::int16_t& actualPosition = moduleEngine.cascade.actualPosition;
PidController& speedController = moduleEngine.cascade.speedController;
PidController& positionController = moduleEngine.cascade.positionController;
std::uint8_t& pwmDuty = moduleEngine.cascade.pwmDuty;
std::int8_t& pwmDirection = moduleEngine.cascade.pwmDirection;
NcBlock*& ncProgramHead = moduleEngine.nc.programHead;
NcBlock*& ncCurrentBlock = moduleEngine.nc.currentBlock;
NcPoint& ncSegmentStart = moduleEngine.nc.segmentStart;
std::uint16_t& ncStep = moduleEngine.nc.step;
std::uint16_t& ncSegmentLength = moduleEngine.nc.segmentLength;
std::uint16_t& ncSegmentDuration = moduleEngine.nc.segmentDuration;
std::uint16_t& ncFeed = moduleEngine.nc.feed;
std::uint16_t& ncClock = moduleEngine.nc.clock;
std::shared_ptr<const NcProgramBlocks>& ncChosenBlocks = moduleEngine.program;
bool& regulationRunning = moduleEngine.running;

void plant_reset() { plant_reset(moduleEngine.plant); }
std::int16_t plant_step(std::int16_t u) { return plant_step(moduleEngine.plant, u); }

// The steps' templates are instantiated here, so the window's pass makes no
// more calls than it would with the state at file level.
void regulate_speed() {
    NoPassObserver none;
    regulate_speed(moduleEngine.cascade, none);
}
void regulate_position(std::int16_t setpoint) {
    NoPassObserver none;
    regulate_position(moduleEngine.cascade, setpoint, none);
}

void nc_load_demo() { nc_load_demo(moduleEngine.nc); }
void nc_load_blocks(const NcProgramBlocks& blocks) { nc_load_blocks(moduleEngine.nc, blocks); }
void nc_load_chosen() { nc_load(moduleEngine.nc, moduleEngine.program.get()); }
void nc_begin_program() { nc_begin_program(moduleEngine.nc); }
bool nc_append_position(std::int16_t x, std::int16_t y, std::int16_t z) {
    return nc_append_position(moduleEngine.nc, x, y, z);
}
bool nc_append_feed_reset() { return nc_append_feed_reset(moduleEngine.nc); }
bool nc_append_linear(std::int16_t x, std::int16_t y, std::int16_t z) {
    return nc_append_linear(moduleEngine.nc, x, y, z);
}
std::uint16_t nc_tick() { return nc_tick(moduleEngine.nc); }
std::int16_t nc_step(NcPoint& point) { return nc_step(moduleEngine.nc, point); }
void nc_release_program() { nc_release_program(moduleEngine.nc); }
void nc_begin_segment(NcPoint start) { nc_begin_segment(moduleEngine.nc, start); }
void nc_start_program() { nc_start_program(moduleEngine.nc); }
void nc_interpolate_linear(NcPoint& point) { nc_interpolate_linear(moduleEngine.nc, point); }
void nc_position_block(NcPoint& point) { nc_position_block(moduleEngine.nc, point); }

void regulation_start(RegulationRun& run, bool speedMode, const RegulationGains& gains) {
    regulation_start(moduleEngine, run, speedMode, gains);
}
bool regulation_control(RegulationRun& run, bool speedMode) { return regulation_control(moduleEngine, run, speedMode); }
RegulationPoints regulation_chart_points(const RegulationRun& run, bool speedMode) {
    return regulation_chart_points(moduleEngine, run, speedMode);
}
void regulation_advance_clock(RegulationRun& run, bool speedMode) {
    regulation_advance_clock(moduleEngine, run, speedMode);
}
bool regulation_pass(RegulationRun& run, RegulationPassHost& host) { return regulation_pass(moduleEngine, run, host); }
void stop_regulation() { stop_regulation(moduleEngine); }
