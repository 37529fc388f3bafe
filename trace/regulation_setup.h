#pragma once
// What a regulation run of the command-line front end starts from: the mode,
// the pass limit and the gains, from a gain file (--gains) and the options
// that stand in for the window's edit texts. An option given after --gains
// overrides the file's value; the file overrides options given before it;
// what neither gives is the window's initial value.
#include "core/batch/gain_batch.h"
#include "core/measure/gain_set.h"
#include "core/measure/headless_run.h"
#include "core/engine/regulation.h"
#include "trace/options.h"

#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

// Where each value comes from, before the gains are read: every command that
// runs the cascade (regulation, insight, metrics, sweep) reads its options
// through this. Throws UsageError for a bad mode, speed mode without
// --passes (where `passesNeeded`) or a bad --passes, and Exception for a gain
// file that cannot be read.
struct SetupSources {
    bool speedMode = false;
    std::optional<long> passes;  // --passes when given
    // Per gain, in GAIN_SET_KEYS order: the option's text where it decides,
    // else the file's or the initial value in `values`.
    std::array<std::optional<std::string>, RUN_GAIN_COUNT> optionTexts;
    RegulationGains values{};
    // The gain file's pos, unless --pos came after --gains.
    std::optional<std::int16_t> filePos;
};
SetupSources read_setup_sources(const ParsedOptions& options, bool passesNeeded = true);


// --engine auto|lanes|scalar (default auto) and --jobs J (1 ... 256, default
// the number of cores) of the commands that run many gain sets.
BatchEngine engine_option(const ParsedOptions& options);
int jobs_option(const ParsedOptions& options);

// --program FILE: the file becomes the program the runs load. Throws
// Exception when it does not load.
void load_program_option(const ParsedOptions& options);

// An engine of its own that loads the chosen program (--program, or the demo).
Engine chosen_program_engine();

// The run the options give: option texts read as the window reads its edits,
// each surprise (no number, a wrap, --w in position mode) one warning line.
RunSetup read_regulation_setup(const ParsedOptions& options, std::ostream& warnings);
// The same from sources read already.
RunSetup regulation_setup_of(const SetupSources& sources, std::ostream& warnings);
