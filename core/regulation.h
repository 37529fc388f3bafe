#pragma once
// The regulation run's steps, without the window: the window's run loop and
// the command-line front end both drive a run through these, so one
// algorithm serves both. A pass is split where the window pauses and pumps
// messages: regulation_control (pass steps 1-3), then the caller's pause and
// message pump, then regulation_chart_points and regulation_advance_clock.
#include "core/cascade.h"
#include "core/nc.h"

#include <cstdint>

extern bool regulationRunning;  // true while a run is to go on

struct RegulationGains {
    std::int16_t kp;  // speed loop, hundredths
    std::int16_t ki;
    std::int16_t kd;
    std::int16_t kv;  // position loop proportional gain
    std::int16_t w;   // speed setpoint (speed mode only)
};

// The locals of one run.
struct RegulationRun {
    std::int32_t runTime = 0;       // X of every chart point
    NcPoint commandedPoint{0, 0, 0};
};

// Start steps 5-10 (the caller has set regulationRunning, cleared the chart,
// added the start points and set the titles): clock, reset, gains, setpoint.
void regulation_start(RegulationRun& run, bool speedMode, const RegulationGains& gains);

// Pass steps 1-3: plant step; in position mode the position sum, nc_step and
// the position loop; then the speed loop. Returns false when nc_step reported
// the end of the program or an invalid block: the run ends at once, and the
// rest of the pass is skipped.
bool regulation_control(RegulationRun& run, bool speedMode);

// The chart points of a pass in the current mode: speed mode fills the first
// two values, position mode all four.
struct RegulationPoints {
    int count;
    double y[4];
};
RegulationPoints regulation_chart_points(const RegulationRun& run, bool speedMode);

// Pass step 8: +4 in speed mode, the next NC clock value in position mode.
void regulation_advance_clock(RegulationRun& run, bool speedMode);

// Clears regulationRunning and does nothing else.
void stop_regulation();
