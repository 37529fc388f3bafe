#pragma once
// One row of a sweep: the metrics of one whole headless run, in the columns
// `vantrel-trace metrics` prints.
#include "core/regulation.h"

#include <string>

struct SweepRunSettings {
    bool speedMode = false;
    long passes = 0;  // speed mode: the run's length; position mode: a cap, 0 for none
};

std::string sweep_header();  // the header line, '\n' included
void sweep_append_row(std::string& out, const SweepRunSettings& settings, const RegulationGains& gains);
