// libFuzzer entry: any bytes as a gain file. A set the parser takes is
// written as "Save gains…" writes it and must read back the same.
#include "core/formats/gain_file_format.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const GainFileParse parse = gain_parse_file(text);
    if (!parse.ok) {
        if (parse.error.message.empty()) __builtin_trap();
        return 0;
    }
    const GainFileParse again = gain_parse_file(gain_file_text(parse.set));
    if (!again.ok || !(again.set == parse.set)) __builtin_trap();
    return 0;
}
