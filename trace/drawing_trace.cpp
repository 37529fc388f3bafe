#include "trace/traces.h"

void trace_circle(const ParsedOptions&, TraceOutput&) { throw UsageError{"circle traces are not built yet"}; }
void trace_arc(const ParsedOptions&, TraceOutput&) { throw UsageError{"arc traces are not built yet"}; }
