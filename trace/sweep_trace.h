#pragma once
// `vantrel-trace sweep`: the metrics of every gain set of a grid, one CSV row each.
#include "trace/options.h"

// The sweep the options ask for; returns the exit status (1 for a failure,
// 128 + signal when stopped). Throws UsageError for a refused command line
// and Exception for an input file that cannot be used, before any output.
int trace_sweep(const ParsedOptions& options);
