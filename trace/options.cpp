#include "trace/options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

std::optional<std::string> ParsedOptions::text(const std::string& name) const {
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

bool ParsedOptions::given_after(const std::string& name, const std::string& other) const {
    const auto it = order.find(name);
    if (it == order.end()) return false;
    const auto before = order.find(other);
    return before == order.end() || it->second > before->second;
}


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

std::string quoted(std::string_view text) { return "'" + escaped(text, kEchoLimit) + "'"; }

std::string printable(std::string_view text) { return escaped(text, std::string_view::npos); }

ParsedOptions parse_options(const std::vector<std::string>& args, const std::vector<std::string>& names,
                            const std::vector<std::string>& flagNames) {
    ParsedOptions parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) throw UsageError{"unexpected argument " + quoted(arg)};
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (std::find(flagNames.begin(), flagNames.end(), name) != flagNames.end()) {
            if (value) throw UsageError{"option " + quoted("--" + name) + " takes no value"};
            parsed.flags.insert(name);
            continue;
        }
        if (std::find(names.begin(), names.end(), name) == names.end()) throw UsageError{"unknown option " + quoted("--" + name)};
        if (!value) {
            if (i + 1 >= args.size()) throw UsageError{"option --" + name + " needs a value"};
            value = args[++i];
        }
        parsed.values[name] = *value;
        parsed.order[name] = i;
    }
    // Both input files may be '-', but standard input can be read only once.
    if (parsed.text("gains") == "-" && parsed.text("program") == "-") {
        throw UsageError{"--gains - and --program - cannot both read standard input"};
    }
    return parsed;
}

long integer_option(const ParsedOptions& options, const std::string& name, long fallback, long low, long high) {
    const auto text = options.text(name);
    if (!text) return fallback;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text->c_str(), &end, 10);
    if (text->empty() || *end != '\0' || errno == ERANGE || value < low || value > high) {
        throw UsageError{"option --" + name + " needs a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not " + quoted(*text)};
    }
    return value;
}
