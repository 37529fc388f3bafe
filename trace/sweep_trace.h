#pragma once
// `vantrel-trace sweep`: the metrics of every gain set of a grid, one CSV row each.
#include <string>
#include <vector>

extern const char kSweepUsage[];

// The arguments after "sweep"; returns the exit status (2 for a refused
// command line, 1 for a failure, 128 + signal when stopped).
int trace_sweep(const std::vector<std::string>& args);
