#include "analysis/edit_reading.h"

#include "core/int16.h"
#include "toolkit/sys/sysutils.h"

#include <algorithm>
#include <cctype>

namespace {

// Digits with an optional sign and leading blanks: a number, maybe too long.
bool looks_like_an_integer(const std::string& text) {
    std::size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos) return false;
    if (text[i] == '+' || text[i] == '-') ++i;
    return i < text.size() &&
           std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

std::string quoted(const std::string& text) {
    constexpr std::size_t kShown = 24;
    return "'" + (text.size() > kShown ? text.substr(0, kShown) + "..." : text) + "'";
}

}  // namespace

EditReading read_edit_text(const std::string& text) {
    EditReading reading;
    const int value = ParseIntDefault(text, 0);
    if (value == 0 && ParseIntDefault(text, 1) == 1) {
        reading.asWritten = false;
        reading.why = looks_like_an_integer(text)
                          ? "The run uses 0: " + quoted(text) + " is too long to read as a number."
                          : "The run uses 0: " + quoted(text) + " is not a whole number.";
        return reading;
    }
    reading.value = wrap16(value);
    if (reading.value != value) {
        reading.asWritten = false;
        reading.why = "The run uses " + std::to_string(reading.value) + ": " + std::to_string(value) +
                      " does not fit in 16 bits, and only its low 16 bits are kept.";
    }
    return reading;
}
