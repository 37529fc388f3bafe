#pragma once
// Choosing the NC program the bench runs from a file: the window's "Load NC
// program…" and the command-line option --program both come here.
#include <string>

// Reads and checks the file; when it holds a program, that becomes the
// chosen program. Otherwise returns false with the first error in `error`
// ("FILE:LINE:COLUMN: reason") and the chosen program stays as it was.
bool choose_nc_program_file(const std::string& path, std::string& error);
