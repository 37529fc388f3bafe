#include "io/gain_file.h"

#include "core/formats/gain_file_format.h"
#include "toolkit/app/exception.h"
#include "toolkit/sys/files.h"

GainSet LoadGainFile(const std::string& path) {
    const GainFileParse parse = gain_parse_file(ReadTextFile(path, GAIN_FILE_MAX_BYTES));
    if (!parse.ok) throw Exception(gain_file_error_text(InputFileName(path), parse.error));
    return parse.set;
}

void SaveGainFile(const std::string& path, const GainSet& set) { SaveTextFile(path, gain_file_text(set)); }
