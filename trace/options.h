#pragma once
// Command-line options of the traces: "--name value" pairs, flags without a
// value ("--print-demo") and "--help".
#include "core/measure/text_echo.h"  // echo_quoted, echo_printable: how messages echo an argument

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct UsageError {
    std::string message;  // one line, without the program name
};

struct ParsedOptions {
    bool help = false;
    std::map<std::string, std::string> values;  // the last value of each option
    std::map<std::string, std::vector<std::string>> every;  // every value of each option, in order
    std::set<std::string> flags;  // the flags given
    std::vector<std::string> words;  // arguments that are no option, where the command takes them
    std::map<std::string, std::size_t> order;  // place of each option's last occurrence, 0 first

    // True when `name` was given after `other` (or `other` not at all).
    bool given_after(const std::string& name, const std::string& other) const;

    std::optional<std::string> text(const std::string& name) const;
    // Every value given to `name` (an option that may come more than once).
    std::vector<std::string> all(const std::string& name) const;
    bool flag(const std::string& name) const { return flags.count(name) != 0; }
};

// Accepts only the names given (without the leading "--"): options with a
// value, flags, and with `takesWords` arguments without a leading '-' among
// them; throws UsageError for anything else, a missing value or a value
// given to a flag.
ParsedOptions parse_options(const std::vector<std::string>& args, const std::vector<std::string>& names,
                            const std::vector<std::string>& flagNames = {}, bool takesWords = false);


// An integer option within [low, high]; throws UsageError otherwise.
long integer_option(const ParsedOptions& options, const std::string& name, long fallback, long low, long high);
// A decimal option within [low, high]; throws UsageError otherwise.
double decimal_option(const ParsedOptions& options, const std::string& name, double fallback, double low, double high);
