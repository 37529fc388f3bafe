#include "core/measure/regulation_insight.h"

void insight_start(RegulationInsight& insight, bool speedMode, const RegulationGains& gains) {
    insight.events = PassEvents{};
    twin_start(insight.twin, speedMode, gains);
}

bool insight_control(Engine& engine, RegulationInsight& insight, RegulationRun& run, bool speedMode) {
    insight.events.begin_pass();
    if (!regulation_control(engine, run, speedMode, insight.events)) return false;
    twin_pass(insight.twin, speedMode, run.commandedPoint.X);
    return true;
}

bool regulation_pass(Engine& engine, RegulationRun& run, RegulationPassHost& host, RegulationInsight& insight) {
    return regulation_pass(engine, run, host, [&engine, &insight](RegulationRun& r, bool speedMode) {
        return insight_control(engine, insight, r, speedMode);
    });
}
