#pragma once
// A set of the bench's gains and setpoints as the window's edits hold them,
// and the text of its keys and values in a gain file (the file's format is
// gain_file_format.h).
#include "core/regulation.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

// Every integer of a set is one 16-bit register value: a file value outside
// this range is refused rather than wrapped, so what a file says is what runs.
inline constexpr std::int32_t GAIN_VALUE_MIN = -32768;
inline constexpr std::int32_t GAIN_VALUE_MAX = 32767;

struct GainSet {
    std::int16_t kp = 0;   // speed loop, hundredths
    std::int16_t ki = 0;   // hundredths
    std::int16_t kd = 0;   // hundredths
    std::int16_t kv = 0;   // position loop proportional gain, hundredths
    std::int16_t w = 0;    // speed setpoint (speed mode)
    std::int16_t pos = 0;  // the "Pos" edit; no run uses it
    bool speedMode = false;
    friend bool operator==(const GainSet&, const GainSet&) = default;
};

// The gains a run takes from the set; w only in speed mode, as the window reads it.
RegulationGains regulation_gains(const GainSet& set);

// The keys of a set as a gain file names them, in the order of the window's edits.
inline constexpr std::array<std::string_view, 7> GAIN_SET_KEYS{"kp", "ki", "kd", "kv", "w", "pos", "speed_mode"};

// Keys in GAIN_SET_KEYS order, each with its value as text ("250", "true").
std::array<std::pair<std::string_view, std::string>, 7> gain_set_entries(const GainSet& set);

// Reads `text`, the value a file gives `key` (one of GAIN_SET_KEYS), into
// `set`. False with `error` ("value 'abc' is not a whole number") when it is
// malformed or out of range; `set` is then left as it was.
bool read_gain_value(std::string_view key, std::string_view text, GainSet& set, std::string& error);

// A file's text echoed in a message: quoted, cut, control characters as '?'.
std::string gain_text_echo(std::string_view text);
