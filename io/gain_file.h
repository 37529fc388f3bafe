#pragma once
// Gain files on disk: the window's "Save gains…" and "Load gains…" and the
// command-line front end's --gains. The format is core's (gain_file_format.h);
// reading goes through the toolkit's file reading, so any readable file will
// do ("-" is standard input), and writing through the one safe writer.
#include "core/measure/gain_set.h"

#include <string>

// The set in `path`, taken whole. Throws Exception with one line: "Cannot
// read PATH: reason" when the file cannot be read, or the file's first error
// as "PATH:LINE:COLUMN: message".
GainSet LoadGainFile(const std::string& path);

// Writes `set` as the whole content of `path` (it appears complete or not at
// all); throws Exception ("Cannot save PATH: ...") when it cannot be written.
void SaveGainFile(const std::string& path, const GainSet& set);
