#include "core/measure/text_echo.h"

#include <cstddef>

namespace {

constexpr std::size_t kEchoLimit = 60;

// Control characters, and the two-byte UTF-8 forms of the C1 controls
// (U+0080..U+009F), as escapes: an echoed argument cannot break the line or
// steer the terminal.
std::string escaped(std::string_view text, std::size_t limit) {
    std::string out;
    std::size_t i = 0;
    for (; i < text.size() && i < limit; ++i) {
        const auto ch = static_cast<unsigned char>(text[i]);
        const bool c1 = ch == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (ch == '\n') {
            out += "\\n";
        } else if (ch == '\t') {
            out += "\\t";
        } else if (ch == '\r') {
            out += "\\r";
        } else if (ch < 0x20 || ch == 0x7F || c1) {
            const unsigned value = c1 ? static_cast<unsigned char>(text[++i]) : ch;
            const char digits[] = "0123456789abcdef";
            out += "\\x";
            out += digits[value >> 4];
            out += digits[value & 15];
        } else {
            out += static_cast<char>(ch);
        }
    }
    if (i < text.size()) {
        // Never end inside a UTF-8 character.
        while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) out.pop_back();
        if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xC0) out.pop_back();
        out += "...";
    }
    return out;
}

}  // namespace

std::string echo_quoted(std::string_view text) { return "'" + escaped(text, kEchoLimit) + "'"; }

std::string echo_printable(std::string_view text) { return escaped(text, std::string_view::npos); }
