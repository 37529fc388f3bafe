#pragma once
// The regulation run without the window, on one engine: the drive, the
// cascade, the NC interpreter and the program it loads, and the run flag. The
// window's run loop (on the engine's module instance, core/engine/module.h)
// and the command-line front end and the batches (on engines of their own)
// all start a run with regulation_start and then call regulation_pass until it
// ends, so one algorithm, in one order, serves them all. A front end fills in
// its side of a pass (reading the mode, the pause and message pump, the
// chart, the position text) through RegulationPassHost.
#include "core/engine/cascade.h"
#include "core/engine/int16.h"
#include "core/engine/nc.h"
#include "core/engine/plant.h"

#include <cstdint>
#include <memory>

// Everything a regulation run changes. Engines share nothing but the program
// they load, which is only read: any number of them run at once, one thread
// each.
struct Engine {
    Plant plant = PLANT_AT_REST;
    Cascade cascade{};
    NcInterpreter nc{};
    // What a position run loads: these blocks, or the demo while null.
    std::shared_ptr<const NcProgramBlocks> program;
    bool running = false;  // true while a run is to go on; stop_regulation clears it
};

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

// Starts a run (the caller has set engine.running, cleared the chart, added
// the start points and set the titles): the first clock value, then the
// controllers and the drive back to rest, the gains, the setpoint.
void regulation_start(Engine& engine, RegulationRun& run, bool speedMode, const RegulationGains& gains);

// The control part of a pass: drive model step; in position mode the
// position sum, nc_step and the position loop; then the speed loop. Returns
// false when nc_step reported the end of the program or an invalid block:
// the run ends at once, and the rest of the pass is skipped.
bool regulation_control(Engine& engine, RegulationRun& run, bool speedMode);
// The same, showing `observer` every wrap and limit as it happens (see
// NoPassObserver); regulation_control is this with the empty observer.
template <class Observer>
bool regulation_control(Engine& engine, RegulationRun& run, bool speedMode, Observer& observer);

// The chart points of a pass in the current mode: speed mode fills the first
// two values, position mode all four.
struct RegulationPoints {
    int count;
    double y[4];
};
RegulationPoints regulation_chart_points(const Engine& engine, const RegulationRun& run, bool speedMode);

// The pass's last act: +4 in speed mode, the next NC clock value in position mode.
void regulation_advance_clock(Engine& engine, RegulationRun& run, bool speedMode);

// Clears engine.running and does nothing else.
void stop_regulation(Engine& engine);

// A front end's side of a pass. regulation_pass calls these in this order:
// speed_mode (for the control part), controlled, pause_and_pump, speed_mode
// (for the chart points), chart_points, speed_mode (for the clock).
class RegulationPassHost {
public:
    // The mode, read anew each time: a click while the window pumps messages
    // can change it in the middle of a pass. Speed mode when true.
    virtual bool speed_mode() = 0;
    // After the control part, before the pause; speedMode is the mode it ran in.
    virtual void controlled(const RegulationRun& run, bool speedMode);
    // The window's 20 ms pause and message pump; clicks (including
    // "Regelung aus", a nested run or a mode switch) are handled here.
    virtual void pause_and_pump();
    // The points of this pass, at X = run.runTime (the clock not yet advanced).
    virtual void chart_points(const RegulationRun& run, const RegulationPoints& points);

protected:
    ~RegulationPassHost() = default;
};

// One whole pass: control, the host's pause and pump, chart points, clock.
// Returns false when the NC program has ended (or met an invalid block)
// during the control part: the run is over and nothing else of the pass runs.
// Whether another pass follows is engine.running's business.
bool regulation_pass(Engine& engine, RegulationRun& run, RegulationPassHost& host);
// The same order with another control part, `control(run, speedMode)`, which
// must run regulation_control on `engine` (an observed one, say) and return
// its result.
template <class Control>
bool regulation_pass(Engine& engine, RegulationRun& run, RegulationPassHost& host, Control&& control);

// ---- the templates' bodies ----

// Where the loop is broken to measure it, an observer may steer the pass
// (see speed_setpoint_input): with `std::int16_t drive_input(std::int16_t u)`
// the drive gets what it returns instead of the signed PWM value u; with
// `bool command(NcPoint& point)` the position loop follows the point it
// writes instead of the NC program's, and the run ends when it returns false.
template <class Observer>
std::int16_t drive_input(Observer& observer, std::int16_t pwm) {
    if constexpr (requires { observer.drive_input(pwm); }) {
        return observer.drive_input(pwm);
    } else {
        return pwm;
    }
}

template <class Observer>
bool next_command(Observer& observer, NcInterpreter& nc, NcPoint& point) {
    if constexpr (requires { observer.command(point); }) {
        return observer.command(point);
    } else {
        return nc_step(nc, point) == NC_STEPPED;
    }
}

template <class Observer>
bool regulation_control(Engine& engine, RegulationRun& run, bool speedMode, Observer& observer) {
    Cascade& c = engine.cascade;
    c.actualSpeed = plant_step(engine.plant, drive_input(observer, wrap16(std::int32_t{c.pwmDirection} * c.pwmDuty)));
    if (!speedMode) {
        sum_position(c, observer);
        if (!next_command(observer, engine.nc, run.commandedPoint)) return false;
        regulate_position(c, run.commandedPoint.X, observer);
    }
    regulate_speed(c, observer);
    return true;
}

template <class Control>
bool regulation_pass(Engine& engine, RegulationRun& run, RegulationPassHost& host, Control&& control) {
    const bool speedModeForControl = host.speed_mode();
    if (!control(run, speedModeForControl)) return false;
    host.controlled(run, speedModeForControl);
    host.pause_and_pump();
    host.chart_points(run, regulation_chart_points(engine, run, host.speed_mode()));
    regulation_advance_clock(engine, run, host.speed_mode());
    return true;
}
