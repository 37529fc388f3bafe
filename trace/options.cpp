#include "trace/options.h"

#include "core/measure/text_echo.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>

std::optional<std::string> ParsedOptions::text(const std::string& name) const {
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> ParsedOptions::all(const std::string& name) const {
    const auto it = every.find(name);
    return it == every.end() ? std::vector<std::string>{} : it->second;
}

bool ParsedOptions::given_after(const std::string& name, const std::string& other) const {
    const auto it = order.find(name);
    if (it == order.end()) return false;
    const auto before = order.find(other);
    return before == order.end() || it->second > before->second;
}



ParsedOptions parse_options(const std::vector<std::string>& args, const std::vector<std::string>& names,
                            const std::vector<std::string>& flagNames, bool takesWords) {
    ParsedOptions parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        if (takesWords && arg.rfind("-", 0) != 0) {
            parsed.words.push_back(arg);
            continue;
        }
        if (arg.rfind("--", 0) != 0) throw UsageError{"unexpected argument " + echo_quoted(arg)};
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (std::find(flagNames.begin(), flagNames.end(), name) != flagNames.end()) {
            if (value) throw UsageError{"option " + echo_quoted("--" + name) + " takes no value"};
            parsed.flags.insert(name);
            continue;
        }
        if (std::find(names.begin(), names.end(), name) == names.end()) throw UsageError{"unknown option " + echo_quoted("--" + name)};
        if (!value) {
            if (i + 1 >= args.size()) throw UsageError{"option --" + name + " needs a value"};
            value = args[++i];
        }
        // An empty name would otherwise reach the file layer and read as nothing at all.
        if (value->empty() && (name == "out" || name == "program" || name == "gains")) {
            throw UsageError{"option --" + name + " needs a file name ('-' is standard " +
                             (name == "out" ? "output)" : "input)")};
        }
        parsed.values[name] = *value;
        parsed.every[name].push_back(*value);
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
                         std::to_string(high) + ", not " + echo_quoted(*text)};
    }
    return value;
}

double decimal_option(const ParsedOptions& options, const std::string& name, double fallback, double low, double high) {
    const auto text = options.text(name);
    if (!text) return fallback;
    char* end = nullptr;
    const double value = std::strtod(text->c_str(), &end);
    if (text->empty() || *end != '\0' || !(value >= low && value <= high)) {
        std::ostringstream message;
        message << "option --" << name << " needs a number from " << low << " to " << high << ", not "
                << echo_quoted(*text);
        throw UsageError{message.str()};
    }
    return value;
}
