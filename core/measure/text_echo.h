#pragma once
// A user's text (an argument, a file's value, an edit's text) as a message
// echoes it: control characters escaped, so that an echo cannot break the
// line or steer a terminal.
#include <string>
#include <string_view>

// In single quotes, control characters escaped (\n, \x1b), cut to 60
// characters with "..." after.
std::string echo_quoted(std::string_view text);
// The same escaping without quotes or cut, for a whole message line.
std::string echo_printable(std::string_view text);
