#pragma once
// Gain files: a gain set as the text "Save gains…" writes and "Load gains…"
// and --gains read. An INI file whose [gains] group gives every key of a set
// exactly once:
//
//   [gains]            the group; other groups, and lines before any, are skipped
//   kd = 0             key=value, blanks around either; values as gain_set.h reads them
//   ; a note           comment lines start with ';' or '#'; ';' also ends a value
//   ki="60"            a value may stand in double quotes
//
// A UTF-8 byte-order mark and CR LF (or CR) line ends are taken. The first
// error refuses the whole file, as a program file is refused.
#include "core/measure/gain_set.h"

#include <cstddef>
#include <string>
#include <string_view>

// Largest gain file, in bytes: a set is seven short lines, so anything near
// this is not a gain file.
inline constexpr std::size_t GAIN_FILE_MAX_BYTES = 64 * 1024;

// The first error of a file. Line and column count from 1 (the column in
// bytes, after a byte-order mark); both are 0 for errors of the whole file.
struct GainFileError {
    std::size_t line = 0;
    std::size_t column = 0;
    std::string message;  // "key kp is given twice: first on line 2"
};

struct GainFileParse {
    bool ok = false;
    GainSet set;          // meaningful only if ok
    GainFileError error;  // set unless ok
};

GainFileParse gain_parse_file(std::string_view text);
// "FILE:LINE:COLUMN: message", or "FILE: message" for the whole file.
std::string gain_file_error_text(std::string_view fileName, const GainFileError& error);

// The whole text "Save gains…" writes for `set`: the keys in alphabetical
// order, LF line ends, as the files written since the first release are.
std::string gain_file_text(const GainSet& set);
