#pragma once
// The engine's one module instance: the state the window's regulation run and
// its NC page share, under its design names, and the functions that work on
// it. Each is the explicit form of its unit (plant.h, cascade.h, nc.h,
// regulation.h) called on this instance, so the behaviour is written once.
// Everything that runs engines of its own (the command line, the batches, the
// search) leaves this instance alone; only the window's thread uses it, and
// its nested handlers share it as the design says.
#include "core/engine/regulation.h"

#include <cstdint>

extern Engine moduleEngine;

// The drive model (plant_step, plant_reset).
extern Plant& plant;
// The cascade's state (regulate_speed, regulate_position).
extern std::int16_t& actualSpeed;
extern std::int16_t& actualPosition;
extern PidController& speedController;
extern PidController& positionController;
extern std::uint8_t& pwmDuty;
extern std::int8_t& pwmDirection;
// The NC interpreter (nc_load_demo, nc_step, nc_tick, ...).
extern NcBlock*& ncProgramHead;
extern NcBlock*& ncCurrentBlock;
extern NcPoint& ncSegmentStart;
extern std::uint16_t& ncStep;
extern std::uint16_t& ncSegmentLength;
extern std::uint16_t& ncSegmentDuration;
extern std::uint16_t& ncFeed;
extern std::uint16_t& ncClock;
// The program the regulation run and the NC path plot load: the program
// files' choice sets it (nc_choose_program, nc_choose_demo); null for the demo.
extern std::shared_ptr<const NcProgramBlocks>& ncChosenBlocks;
// True while a run is to go on.
extern bool& regulationRunning;

void plant_reset();
std::int16_t plant_step(std::int16_t u);

void regulate_speed();
void regulate_position(std::int16_t setpoint);

void nc_load_demo();
void nc_load_blocks(const NcProgramBlocks& blocks);
// Loads the chosen program: nc_load_demo or nc_load_blocks.
void nc_load_chosen();
void nc_begin_program();
bool nc_append_position(std::int16_t x, std::int16_t y, std::int16_t z);
bool nc_append_feed_reset();
bool nc_append_linear(std::int16_t x, std::int16_t y, std::int16_t z);
std::uint16_t nc_tick();
std::int16_t nc_step(NcPoint& point);
void nc_release_program();
void nc_begin_segment(NcPoint start);
void nc_start_program();
void nc_interpolate_linear(NcPoint& point);
void nc_position_block(NcPoint& point);

void regulation_start(RegulationRun& run, bool speedMode, const RegulationGains& gains);
bool regulation_control(RegulationRun& run, bool speedMode);
RegulationPoints regulation_chart_points(const RegulationRun& run, bool speedMode);
void regulation_advance_clock(RegulationRun& run, bool speedMode);
bool regulation_pass(RegulationRun& run, RegulationPassHost& host);
void stop_regulation();
