#include "core/formats/gain_file_format.h"

#include "core/measure/text_echo.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kGroup = "gains";

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Where the first character that is not a blank stands; the size when none does.
std::size_t first_non_blank(std::string_view text) { return std::min(text.find_first_not_of(" \t"), text.size()); }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

// Thrown inside the parser only; gain_parse_file turns it into its result.
struct Refusal {
    GainFileError error;
};

[[noreturn]] void refuse(std::size_t line, std::size_t column, std::string message) {
    throw Refusal{{line, column, std::move(message)}};
}

std::string key_list() {
    std::string list;
    for (std::size_t k = 0; k < GAIN_SET_KEYS.size(); ++k) {
        if (k > 0) list += k + 1 == GAIN_SET_KEYS.size() ? " and " : ", ";
        list += GAIN_SET_KEYS[k];
    }
    return list;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    GainSet run() {
        std::size_t start = 0;
        while (start < text_.size()) {
            const std::size_t end = std::min(text_.find_first_of("\r\n", start), text_.size());
            ++lineNumber_;
            parse_line(text_.substr(start, end - start));
            start = end + (text_.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        }
        if (groupLine_ == 0) refuse(0, 0, "no [gains] group");
        for (std::size_t k = 0; k < GAIN_SET_KEYS.size(); ++k) {
            if (keyLines_[k] == 0) {
                refuse(groupLine_, groupColumn_,
                       "key " + std::string(GAIN_SET_KEYS[k]) + " is missing from [gains]: every one of " +
                           key_list() + " is needed");
            }
        }
        return set_;
    }

private:
    void parse_line(std::string_view line) {
        const std::size_t first = first_non_blank(line);
        if (first == line.size() || line[first] == ';' || line[first] == '#') return;
        if (line[first] == '[') {
            parse_group(line, first);
        } else if (inGains_) {
            parse_entry(line, first);
        }
        // Lines of other groups, and before any group, belong to others.
    }

    void parse_group(std::string_view line, std::size_t first) {
        const std::size_t close = line.find(']', first);
        if (close == std::string_view::npos) refuse(lineNumber_, first + 1, "group name '[' is not closed by ']'");
        const std::size_t rest = close + 1 + first_non_blank(line.substr(close + 1));
        if (rest < line.size() && line[rest] != ';' && line[rest] != '#') {
            refuse(lineNumber_, rest + 1, "unexpected text after the group name");
        }
        inGains_ = trimmed(line.substr(first + 1, close - first - 1)) == kGroup;
        if (!inGains_) return;
        if (groupLine_ != 0) {
            refuse(lineNumber_, first + 1, "[gains] is given twice: first on line " + std::to_string(groupLine_));
        }
        groupLine_ = lineNumber_;
        groupColumn_ = first + 1;
    }

    void parse_entry(std::string_view line, std::size_t first) {
        const std::size_t equals = line.find('=', first);
        if (equals == std::string_view::npos) {
            refuse(lineNumber_, first + 1,
                   "a line of [gains] is key=value; " + echo_quoted(trimmed(line)) + " has no '='");
        }
        const std::string_view key = trimmed(line.substr(first, equals - first));
        if (key.empty()) refuse(lineNumber_, first + 1, "'=' without a key before it");
        const auto known = std::find(GAIN_SET_KEYS.begin(), GAIN_SET_KEYS.end(), key);
        if (known == GAIN_SET_KEYS.end()) {
            refuse(lineNumber_, first + 1,
                   "unknown key " + echo_quoted(key) + ": the keys of [gains] are " + key_list());
        }
        std::size_t& keyLine = keyLines_[static_cast<std::size_t>(known - GAIN_SET_KEYS.begin())];
        if (keyLine != 0) {
            refuse(lineNumber_, first + 1,
                   "key " + std::string(key) + " is given twice: first on line " + std::to_string(keyLine));
        }
        keyLine = lineNumber_;

        std::string_view value = line.substr(equals + 1);
        value = value.substr(0, value.find(';'));
        const std::size_t lead = first_non_blank(value);
        value = trimmed(value);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        std::string error;
        if (!read_gain_value(key, value, set_, error)) {
            refuse(lineNumber_, equals + 2 + lead, "key " + std::string(key) + ": " + error);
        }
    }

    std::string_view text_;
    std::size_t lineNumber_ = 0;
    bool inGains_ = false;
    std::size_t groupLine_ = 0;    // of [gains]; 0 before it
    std::size_t groupColumn_ = 0;  // of its '['
    std::array<std::size_t, GAIN_SET_KEYS.size()> keyLines_{};  // where each key was given; 0 not yet
    GainSet set_;
};

}  // namespace

GainFileParse gain_parse_file(std::string_view text) {
    GainFileParse result;
    if (text.size() > GAIN_FILE_MAX_BYTES) {
        result.error = {0, 0, "the file is larger than 64 KiB (" + std::to_string(GAIN_FILE_MAX_BYTES) +
                                  " bytes), the most a gain file may have"};
        return result;
    }
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    try {
        result.set = Parser(text).run();
        result.ok = true;
    } catch (const Refusal& refusal) {
        result.error = refusal.error;
    }
    return result;
}

std::string gain_file_error_text(std::string_view fileName, const GainFileError& error) {
    std::string text(fileName);
    if (error.line > 0) text += ":" + std::to_string(error.line) + ":" + std::to_string(error.column);
    return text + ": " + error.message;
}

std::string gain_file_text(const GainSet& set) {
    auto entries = gain_set_entries(set);
    std::sort(entries.begin(), entries.end());
    std::string text = "[gains]\n";
    for (const auto& [key, value] : entries) text += std::string(key) + "=" + value + "\n";
    return text;
}
