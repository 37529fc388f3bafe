#pragma once
// A set of the bench's gains and setpoints as the window's edits hold them,
// and the text of its keys and values in a gain file (the file's format is
// gain_file_format.h).
#include "core/engine/regulation.h"

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

// The window's edits as the program starts: Kp 2.5, Ki 0.6, Kd 0, Kv 0.3,
// w 80, Pos 20, position mode. The command line's defaults are the same.
inline constexpr GainSet GAIN_SET_INITIAL{250, 60, 0, 30, 80, 20, false};

// The keys of a set as a gain file names them, in the order of the window's
// edits. The first five are the gains a run takes (RegulationGains), in the
// order of the sweep's grid, its rows, the gain map and the trace's options.
inline constexpr std::array<std::string_view, 7> GAIN_SET_KEYS{"kp", "ki", "kd", "kv", "w", "pos", "speed_mode"};
inline constexpr std::size_t RUN_GAIN_COUNT = 5;
inline constexpr std::size_t GAIN_KP = 0, GAIN_KI = 1, GAIN_KD = 2, GAIN_KV = 3, GAIN_W = 4;

// The integer fields of a set, in GAIN_SET_KEYS order (speed_mode aside).
inline constexpr std::array<std::int16_t GainSet::*, 6> GAIN_SET_FIELDS{
    &GainSet::kp, &GainSet::ki, &GainSet::kd, &GainSet::kv, &GainSet::w, &GainSet::pos};
// A run's gains, in GAIN_SET_KEYS order.
inline constexpr std::array<std::int16_t RegulationGains::*, RUN_GAIN_COUNT> RUN_GAIN_FIELDS{
    &RegulationGains::kp, &RegulationGains::ki, &RegulationGains::kd, &RegulationGains::kv, &RegulationGains::w};

// Gain `which` (an index into RUN_GAIN_FIELDS) of a run's gains.
inline std::int16_t run_gain(const RegulationGains& gains, std::size_t which) { return gains.*RUN_GAIN_FIELDS[which]; }

// How an edit's text relates to the value a run takes from it.
enum class GainTextKind {
    AsWritten,   // the text says exactly the value
    NotANumber,  // no whole number: the run takes 0
    TooLong,     // digits beyond what the reader takes: the run takes 0
    Wrapped,     // a whole number outside 16 bits: the run takes its low 16 bits
};

struct GainText {
    std::int16_t value = 0;  // what the run takes
    std::string text;        // as written
    GainTextKind kind = GainTextKind::AsWritten;
    std::int32_t number = 0;  // the number the text says (AsWritten, Wrapped)
    std::string why;          // unless as written: the value taken and why, one sentence
    bool as_written() const { return kind == GainTextKind::AsWritten; }
};

// An edit's text as a run reads it (the window at a run's start, the command
// line's gain options): blanks, a sign and decimal digits, nothing else,
// within 32 bits, else 0; then the low 16 bits (70000 becomes 4464).
GainText read_gain_text(std::string_view text);

// Keys in GAIN_SET_KEYS order, each with its value as text ("250", "true").
std::array<std::pair<std::string_view, std::string>, 7> gain_set_entries(const GainSet& set);

// Reads `text`, the value a file gives `key` (one of GAIN_SET_KEYS), into
// `set`. False with `error` ("value 'abc' is not a whole number") when it is
// malformed or out of range; `set` is then left as it was.
bool read_gain_value(std::string_view key, std::string_view text, GainSet& set, std::string& error);
