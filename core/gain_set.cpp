#include "core/gain_set.h"

#include <charconv>
#include <limits>

namespace {

constexpr std::size_t kEchoLimit = 40;  // characters of a bad value quoted in a message

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

// A value echoed in a message: cut, and control characters shown as '?'.
std::string quoted(std::string_view value) {
    std::string out = "'";
    for (const char ch : value.substr(0, kEchoLimit)) {
        out += (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) ? '?' : ch;
    }
    if (value.size() > kEchoLimit) out += "...";
    return out + "'";
}

}  // namespace

RegulationGains regulation_gains(const GainSet& set) {
    return {set.kp, set.ki, set.kd, set.kv, set.speedMode ? set.w : std::int16_t{0}};
}

std::array<std::pair<std::string_view, std::string>, 7> gain_set_entries(const GainSet& set) {
    return {{{"kp", std::to_string(set.kp)},
             {"ki", std::to_string(set.ki)},
             {"kd", std::to_string(set.kd)},
             {"kv", std::to_string(set.kv)},
             {"w", std::to_string(set.w)},
             {"pos", std::to_string(set.pos)},
             {"speed_mode", set.speedMode ? "true" : "false"}}};
}

bool read_gain_set(const GainLookup& lookup, GainSet& set, std::string& error) {
    GainSet read;
    const std::pair<std::string_view, std::int16_t*> integers[] = {
        {"kp", &read.kp}, {"ki", &read.ki}, {"kd", &read.kd}, {"kv", &read.kv}, {"w", &read.w}, {"pos", &read.pos},
    };
    for (const auto& [key, field] : integers) {
        const std::optional<std::string> text = lookup(key);
        if (!text) {
            error = "key " + std::string(key) + ": missing";
            return false;
        }
        const std::optional<std::int64_t> value = whole_number(*text);
        if (!value) {
            error = "key " + std::string(key) + ": value " + quoted(*text) + " is not a whole number";
            return false;
        }
        if (*value < GAIN_VALUE_MIN || *value > GAIN_VALUE_MAX) {
            error = "key " + std::string(key) + ": value " + quoted(*text) + " is outside " +
                    std::to_string(GAIN_VALUE_MIN) + " ... " + std::to_string(GAIN_VALUE_MAX);
            return false;
        }
        *field = static_cast<std::int16_t>(*value);
    }
    const std::optional<std::string> mode = lookup("speed_mode");
    if (!mode) {
        error = "key speed_mode: missing";
        return false;
    }
    if (trimmed(*mode) != "true" && trimmed(*mode) != "false") {
        error = "key speed_mode: value " + quoted(*mode) + " is neither 'true' nor 'false'";
        return false;
    }
    read.speedMode = trimmed(*mode) == "true";
    set = read;
    return true;
}
