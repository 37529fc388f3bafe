#include "core/measure/text_echo.h"

#include <cstddef>

namespace {

constexpr std::size_t kEchoLimit = 60;

// The length of the well-formed UTF-8 character at text[i] (lead byte 0x80
// or above), or 0 when the bytes there are not one.
std::size_t utf8_length(std::string_view text, std::size_t i) {
    const auto at = [&](std::size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    const unsigned lead = at(i);
    std::size_t length = 0;
    unsigned low = 0x80;  // the second byte's range: narrower after E0, ED, F0, F4
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at(i + 1) < low || at(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
    }
    return length;
}

// Control characters, the two-byte UTF-8 forms of the C1 controls
// (U+0080..U+009F) and every byte that is not part of a well-formed UTF-8
// character (a lone 0x9B is a terminal's CSI) as escapes: an echoed argument
// cannot break the line or steer the terminal. Characters are never cut.
std::string escaped(std::string_view text, std::size_t limit) {
    static const char kDigits[] = "0123456789abcdef";
    const auto escape = [](std::string& out, unsigned value) {
        out += "\\x";
        out += kDigits[value >> 4];
        out += kDigits[value & 15];
    };
    std::string out;
    std::size_t i = 0;
    while (i < text.size() && i < limit) {
        const auto ch = static_cast<unsigned char>(text[i]);
        if (ch == '\n') {
            out += "\\n";
        } else if (ch == '\t') {
            out += "\\t";
        } else if (ch == '\r') {
            out += "\\r";
        } else if (ch < 0x20 || ch == 0x7F) {
            escape(out, ch);
        } else if (ch >= 0x80) {
            const std::size_t length = utf8_length(text, i);
            if (length == 0) {
                escape(out, ch);
            } else if (ch == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
                escape(out, static_cast<unsigned char>(text[i + 1]));  // a C1 control
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length - 1;
            }
        } else {
            out += static_cast<char>(ch);
        }
        ++i;
    }
    if (i < text.size()) out += "...";
    return out;
}

}  // namespace

std::string echo_quoted(std::string_view text) { return "'" + escaped(text, kEchoLimit) + "'"; }

std::string echo_printable(std::string_view text) { return escaped(text, std::string_view::npos); }
