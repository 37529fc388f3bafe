#pragma once
// What the regulation traces read from their options: the mode, the pass
// cap and the gains as the window would read those edit texts.
#include "core/regulation.h"
#include "trace/options.h"

#include <iosfwd>

struct RegulationSetup {
    bool speedMode = false;
    long passes = 0;  // the run stops after this pass ("Regelung aus")
    RegulationGains gains{};
};

// --mode, --passes, --kp, --ki, --kd, --kv, --w; a text the run reads as
// another number than written earns a warning line. Throws UsageError.
RegulationSetup regulation_setup(const ParsedOptions& options, std::ostream& warnings);
