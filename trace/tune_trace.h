#pragma once
// `vantrel-trace tune`: the best gains of a box under limits (core/search/gain_search.h),
// measured on worker threads.
#include "trace/options.h"

// Returns the exit status (0 found, 4 no feasible set, 1 a failure, 128 +
// signal when stopped). Throws UsageError for a refused command line and
// Exception for an input file that cannot be used, before any output.
int trace_tune(const ParsedOptions& options);
