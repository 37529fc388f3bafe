#pragma once
// `vantrel-trace vectors pid|run|harness`: golden vectors of the controller
// and the cascade, as CSV or C, and the C99 checks a team compiles against
// its target's own controller.
#include "trace/options.h"

// Writes what the options ask for; returns the exit status. Throws
// UsageError for a refused command line, Exception for an input file that
// cannot be used and TraceOutputError for an output that cannot be written.
int trace_vectors(const ParsedOptions& options);
