#include "trace/sweep_row.h"

#include "core/cascade.h"
#include "core/csv.h"

#include <array>
#include <cstdlib>
#include <optional>

// Stand-in until the run metrics land: passes and IAE only.
std::string sweep_header() { return "mode,kp,ki,kd,kv,w,passes,iae\n"; }

void sweep_append_row(std::string& out, const SweepRunSettings& settings, const RegulationGains& gains) {
    RegulationRun run;
    regulationRunning = true;
    regulation_start(run, settings.speedMode, gains);
    long passes = 0;
    double iae = 0;
    while (regulationRunning && (settings.passes == 0 || passes < settings.passes)) {
        if (!regulation_control(run, settings.speedMode)) break;
        ++passes;
        const int c = settings.speedMode ? gains.w : run.commandedPoint.X;
        const int r = settings.speedMode ? actualSpeed : actualPosition;
        iae += 4.0 * std::abs(c - r);
        regulation_advance_clock(run, settings.speedMode);
    }
    out += settings.speedMode ? "speed," : "position,";
    const std::array<std::optional<double>, 7> cells{gains.kp, gains.ki, gains.kd, gains.kv, gains.w,
                                                     double(passes), iae};
    csv_append_row(out, cells);
}
