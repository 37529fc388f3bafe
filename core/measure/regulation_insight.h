#pragma once
// A regulation pass watched: the wraps and limits the integer cascade meets
// and the real-valued twin stepped beside it. The integer run is the same,
// bit for bit, as without the watching.
#include "core/measure/twin.h"
#include "core/engine/regulation.h"
#include "core/measure/regulation_events.h"

struct RegulationInsight {
    PassEvents events;   // of the last pass
    Twin twin;  // started with the run
};

// With the run's start: the twin at rest with the run's gains.
void insight_start(RegulationInsight& insight, bool speedMode, const RegulationGains& gains);

// regulation_control on `engine` with the events recorded and the twin's
// pass beside it.
bool insight_control(Engine& engine, RegulationInsight& insight, RegulationRun& run, bool speedMode);

// regulation_pass with insight_control as its control part.
bool regulation_pass(Engine& engine, RegulationRun& run, RegulationPassHost& host, RegulationInsight& insight);

// The twin's counterpart of the chart's first series: its speed loop's y in
// speed mode, its position loop's y in position mode.
inline double twin_chart_y(const Twin& twin, bool speedMode) {
    return speedMode ? twin.speedController.y : twin.positionController.y;
}
