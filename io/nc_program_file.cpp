#include "io/nc_program_file.h"

#include "core/program/nc_program.h"
#include "toolkit/app/exception.h"
#include "toolkit/sys/files.h"

#include <filesystem>

bool choose_nc_program_file(const std::string& path, std::string& error) {
    std::string text;
    try {
        text = ReadTextFile(path, NC_PROGRAM_MAX_BYTES);
    } catch (const Exception& e) {
        error = e.Message();
        return false;
    }
    // Messages name the file as the user gave it; the status bar shows its name.
    const std::string name = InputFileName(path);
    NcProgramParse parse = nc_parse_program(text, name);
    if (!parse.ok) {
        error = nc_program_error_text(name, parse.error);
        return false;
    }
    parse.program.name = std::filesystem::path(name).filename().string();
    parse.program.path = path;
    nc_choose_program(std::move(parse.program));
    return true;
}
