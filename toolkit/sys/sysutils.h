#pragma once
// Conversions and the pause the window code uses.
#include <functional>
#include <string>
#include <string_view>

// Value of a decimal integer text: leading blanks skipped, optional sign.
// Empty text, anything that is no number, and values outside the signed
// 32-bit range give `fallback`.
int ParseIntDefault(std::string_view text, int fallback);

// printf-style formatting of three integers, e.g. "X%0.4d Y%0.4d Z%0.4d".
// Only %d conversions (with flags, width and precision) and %% are allowed;
// anything else throws Exception.
std::string FormatText(std::string_view format, int a, int b, int c);

// Pauses the calling thread for `ms` milliseconds.
void Sleep(unsigned ms);

// Replaces what Sleep does (tests and the command-line front end pause
// without waiting); an empty function restores the real pause. Returns the
// previous handler.
using SleepHandler = std::function<void(unsigned)>;
SleepHandler SetSleepHandler(SleepHandler handler);
