#pragma once
// The "NC Tests" page's image as a button leaves it, rendered without pauses.
#include "trace/options.h"

#include <string>

enum class PageImage { NcPath, CircleTest };

// Writes the image in `format` (as ImageFormatForPath names it) to `path`
// ("-" is standard output), whole or not at all. False with `error` set when
// it cannot.
bool write_page_image(PageImage which, const std::string& path, const std::string& format, std::string& error);

// `vantrel-trace image nc|circle --out FILE`: the kind is the options' one
// word. Throws UsageError for a bad command line, Exception when the program
// or the picture file cannot be used; returns the exit status.
int trace_image(const ParsedOptions& options);
