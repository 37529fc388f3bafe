#pragma once
// The program's entry, in the library so that tests reach it; main() only
// calls run_program.
#include <functional>
#include <ostream>

// `vantrel --version` prints the version, `vantrel --help` what the program
// is and takes (the manual page is made from it); both return 0 without
// starting the toolkit. Otherwise: starts the toolkit, creates the window and runs the
// message loop until the window is closed (other arguments are ignored).
// Returns the exit status: 0 after the window was closed, 1 after a start-up
// failure, which is shown in the error box (or, without a display, as one
// line on standard error).
int run_program(int argc, char** argv, std::ostream& out);

// The frame of the above: runs `start`, shows an exception from it in the
// error box (anything that is not an Exception shows as a box without text)
// and returns 1 for it, 0 otherwise; either way it ends the toolkit after.
int run_guarded(const std::function<void()>& start);

// The version the build was made as, e.g. "1.0.0".
const char* program_version();
