#pragma once
// What a regulation run of the command-line front end starts from: the mode,
// the pass limit and the gains, from a gain file (--gains) and the options
// that stand in for the window's edit texts. An option given after --gains
// overrides the file's value; the file overrides options given before it.
#include "core/regulation.h"
#include "trace/options.h"

#include <cstdint>
#include <iosfwd>

struct RegulationSetup {
    bool speedMode = false;
    std::int64_t passLimit = 0;  // speed mode: the passes to make; position mode: at most this many
    RegulationGains gains{};
};

// Throws UsageError for bad options and Exception for a gain file that cannot
// be read; edit texts that are no number or wrap earn a warning line.
RegulationSetup read_regulation_setup(const ParsedOptions& options, std::ostream& warnings);
