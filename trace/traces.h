#pragma once
// The traces the command-line front end writes, each from the same code the
// window runs.
#include "trace/options.h"
#include "trace/output.h"

#include <iosfwd>
#include <string>

// Each writes its CSV into `out`; warnings go to `warnings`. Throw UsageError
// for option values that make no sense.
void trace_regulation(const ParsedOptions& options, TraceOutput& out, std::ostream& warnings);
void trace_insight(const ParsedOptions& options, TraceOutput& out, std::ostream& warnings);
// The metrics of one regulation run: a CSV header and row, or one JSON object.
void trace_metrics(const ParsedOptions& options, TraceOutput& out, std::ostream& warnings);
// The open loop's response, measured and the twin's, one row per frequency.
void trace_frequency(const ParsedOptions& options, TraceOutput& out, std::ostream& warnings);
// The margins of both: a CSV header and row, or one JSON object.
void trace_margins(const ParsedOptions& options, TraceOutput& out, std::ostream& warnings);
void trace_nc(const ParsedOptions& options, TraceOutput& out);
void trace_circle(const ParsedOptions& options, TraceOutput& out);
void trace_arc(const ParsedOptions& options, TraceOutput& out);
