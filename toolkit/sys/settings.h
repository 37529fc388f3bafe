#pragma once
// Values that survive a restart (the panel's state, the prompts' last
// folders), in Qt's settings store under the program's organisation and
// name. Tests point the store at a folder of their own.
#include <string>
#include <utility>
#include <vector>

inline constexpr const char* SETTINGS_ORGANISATION = "Vantrel";
inline constexpr const char* SETTINGS_APPLICATION = "vantrel";

// The value under `key` ("panel/width"), or `fallback` when none is kept.
std::string ReadSetting(const std::string& key, const std::string& fallback = "");
void WriteSetting(const std::string& key, const std::string& value);
// Several values in one go: the store is written once, not once per value.
void WriteSettings(const std::vector<std::pair<std::string, std::string>>& values);
// Forgets every kept value (tests start from nothing).
void ClearSettings();
