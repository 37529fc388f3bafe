#pragma once
// `vantrel-trace tune`: the best gains of a box under limits (core/gain_search.h),
// measured by worker processes.
#include <string>
#include <vector>

extern const char kTuneUsage[];

// The arguments after "tune"; returns the exit status (0 found, 4 no feasible
// set, 2 a refused command line, 1 a failure, 128 + signal when stopped).
int trace_tune(std::vector<std::string> args);
