// libFuzzer entry: any bytes as an NC program file. A text the parser takes
// is also loaded and stepped to its end, so the interpreter meets every
// program the parser lets through.
#include "core/engine/nc.h"
#include "core/program/nc_program.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const NcProgramParse parse = nc_parse_program(text, "fuzz.nc");
    if (!parse.ok) {
        if (parse.error.message.empty()) __builtin_trap();
        return 0;
    }
    NcInterpreter nc;
    nc_load_program(nc, parse.program);
    NcPoint point{0, 0, 0};
    // Every block ends within 65536 steps of 4: stepping ends long before this.
    for (long i = 0; i < 100000000L && nc_step(nc, point) == NC_STEPPED; ++i) {
    }
    return 0;
}
