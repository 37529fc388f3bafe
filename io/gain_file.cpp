#include "io/gain_file.h"

#include "toolkit/app/exception.h"
#include "toolkit/sys/files.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& reason) { throw Exception(path + ": " + reason); }

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The keys and values of the [gains] group, the last of a key winning, as
// the files saved so far were read. Blank lines and lines starting with ';'
// or '#' are comments; other groups are passed over. False without a
// [gains] group.
bool read_gains_group(std::string_view text, std::map<std::string, std::string, std::less<>>& values) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    bool found = false, inGains = false;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.ends_with('\r')) line.remove_suffix(1);
        line = trimmed(line);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            inGains = trimmed(line.substr(1, line.size() - 2)) == "gains";
            found = found || inGains;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inGains || equals == std::string_view::npos) continue;
        std::string_view value = trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        values[std::string(trimmed(line.substr(0, equals)))] = std::string(value);
    }
    return found;
}

}  // namespace

GainSet LoadGainFile(const std::string& path) {
    const std::string text = ReadTextFile(path, GAIN_FILE_MAX_BYTES);  // throws "Cannot read PATH: reason"
    if (text.size() > GAIN_FILE_MAX_BYTES) fail(path, "larger than 64 KiB, no gain file");
    std::map<std::string, std::string, std::less<>> values;
    if (!read_gains_group(text, values)) fail(path, "no [gains] group");
    const auto lookup = [&values](std::string_view key) -> std::optional<std::string> {
        const auto found = values.find(key);
        if (found == values.end()) return std::nullopt;
        return found->second;
    };
    GainSet set;
    std::string error;
    if (!read_gain_set(lookup, set, error)) fail(path, error);
    return set;
}

void SaveGainFile(const std::string& path, const GainSet& set) {
    // Keys in alphabetical order, as every file saved so far has them.
    auto entries = gain_set_entries(set);
    std::sort(entries.begin(), entries.end());
    std::string text = "[gains]\n";
    for (const auto& [key, value] : entries) text.append(key).append("=").append(value).append("\n");
    SaveTextFile(path, text);
}
