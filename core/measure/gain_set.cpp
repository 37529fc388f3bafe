#include "core/measure/gain_set.h"

#include "core/engine/int16.h"
#include "core/measure/text_echo.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A whole decimal number, optional sign, nothing else.
std::optional<std::int64_t> whole_number(std::string_view text) {
    text = trimmed(text);
    const bool plus = !text.empty() && text.front() == '+';
    if (plus) text.remove_prefix(1);
    if (text.empty() || (plus && text.front() == '-')) return std::nullopt;
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range && end == text.data() + text.size()) {
        return text.front() == '-' ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
    }
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

GainText read_gain_text(std::string_view text) {
    GainText reading;
    reading.text = std::string(text);
    std::size_t i = text.find_first_not_of(" \t");
    if (i != std::string_view::npos && (text[i] == '+' || text[i] == '-')) ++i;
    const bool digits = i < text.size() && std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(),
                                                       [](char ch) { return ch >= '0' && ch <= '9'; });
    const std::optional<std::int64_t> number = digits ? whole_number(text) : std::nullopt;
    if (!number || *number < std::numeric_limits<std::int32_t>::min() || *number > std::numeric_limits<std::int32_t>::max()) {
        reading.kind = digits ? GainTextKind::TooLong : GainTextKind::NotANumber;
        reading.why = "The run uses 0: " + echo_quoted(text) +
                      (digits ? " is too long to read as a number." : " is not a whole number.");
        return reading;
    }
    reading.number = static_cast<std::int32_t>(*number);
    reading.value = wrap16(reading.number);
    if (reading.value != reading.number) {
        reading.kind = GainTextKind::Wrapped;
        reading.why = "The run uses " + std::to_string(reading.value) + ": " + std::to_string(reading.number) +
                      " does not fit in 16 bits, and only its low 16 bits are kept.";
    }
    return reading;
}

std::array<std::pair<std::string_view, std::string>, 7> gain_set_entries(const GainSet& set) {
    std::array<std::pair<std::string_view, std::string>, 7> entries;
    for (std::size_t k = 0; k < GAIN_SET_FIELDS.size(); ++k) entries[k] = {GAIN_SET_KEYS[k], std::to_string(set.*GAIN_SET_FIELDS[k])};
    entries.back() = {GAIN_SET_KEYS.back(), set.speedMode ? "true" : "false"};
    return entries;
}

bool read_gain_value(std::string_view key, std::string_view text, GainSet& set, std::string& error) {
    if (key == "speed_mode") {
        if (trimmed(text) != "true" && trimmed(text) != "false") {
            error = "value " + echo_quoted(text) + " is neither 'true' nor 'false'";
            return false;
        }
        set.speedMode = trimmed(text) == "true";
        return true;
    }
    const auto at = std::find(GAIN_SET_KEYS.begin(), GAIN_SET_KEYS.end(), key);
    if (at == GAIN_SET_KEYS.end()) {
        error = "key " + echo_quoted(key) + " is not a key of a gain set";
        return false;
    }
    const std::optional<std::int64_t> value = whole_number(text);
    if (!value) {
        error = "value " + echo_quoted(text) + " is not a whole number";
        return false;
    }
    if (*value < GAIN_VALUE_MIN || *value > GAIN_VALUE_MAX) {
        error = "value " + echo_quoted(text) + " is outside " + std::to_string(GAIN_VALUE_MIN) + " ... " +
                std::to_string(GAIN_VALUE_MAX);
        return false;
    }
    set.*GAIN_SET_FIELDS[static_cast<std::size_t>(at - GAIN_SET_KEYS.begin())] = static_cast<std::int16_t>(*value);
    return true;
}
