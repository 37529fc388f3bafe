#pragma once
// The "NC Tests" page's image as a button leaves it, rendered without pauses.
#include "trace/options.h"


// `vantrel-trace image nc|circle --out FILE`: the kind is the options' one
// word. Throws UsageError for a bad command line, Exception when the program
// or the picture file cannot be used; returns the exit status.
int trace_image(const ParsedOptions& options);
