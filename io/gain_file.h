#pragma once
// Gain files: a small INI file with one [gains] group holding kp, ki, kd, kv,
// w and pos (whole numbers, -32768 ... 32767) and speed_mode (true or false).
// The window's "Save gains..." and "Load gains..." and the command-line
// front end's --gains read and write them through these: reading through the
// toolkit's file reading, writing through the one safe writer.
#include "core/gain_set.h"

#include <cstddef>
#include <string>

// A gain file is a handful of lines; anything longer is no gain file.
inline constexpr std::size_t GAIN_FILE_MAX_BYTES = 64 * 1024;

// The set in `path`, taken whole: a file that cannot be read, a missing key
// or a value that is not a whole number in range (or not true/false) throws
// Exception with a message naming the file, the key and the value.
GainSet LoadGainFile(const std::string& path);

// Writes `set` as the whole content of `path` (it appears complete or not at
// all); throws Exception ("Cannot save PATH: ...") when it cannot be written.
void SaveGainFile(const std::string& path, const GainSet& set);
