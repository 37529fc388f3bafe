#pragma once
// The frame every vantrel-trace command runs in, from the opening of its
// output to its exit status, so that no command catches signals, commits its
// output or picks its status its own way:
// - SIGINT, SIGTERM and SIGHUP (unless ignored, as under nohup) only set the
//   stop flag. Every long step looks at it (the runs every 16,384 passes, the
//   lanes every block, the sweep's and the search's chunks, every write), so
//   a command stops within a fraction of a second: a line on standard error,
//   nothing committed (an --out file is neither made nor replaced), status
//   128 + the signal's number. Worker threads return and are waited for.
// - The output (--out FILE, "-" or none for standard output) is opened before
//   the command computes and committed only when the body returns 0, or
//   throws TraceIncomplete (the arc's trace is kept, status 3), and no stop
//   came meanwhile: a stop in a command's last moments is not lost.
// - A write that fails ends the command with "Cannot save ..." and status 1.
// A refused command line (UsageError) and an unusable input file (Exception)
// pass through to the caller, with nothing committed.
#include "core/engine/stop_flag.h"
#include "trace/output.h"

#include <csignal>
#include <functional>
#include <string>

// The stop flag: 0, or the number of the signal that asked to stop. The
// runs, the lanes, the batches, the runner's threads and the search are
// given it and look at it themselves.
const StopFlag& command_stop();

// Runs body(out) with `out` open on `outPath` and returns the exit status.
// The body returns 0 when done, or another status after saying why on
// standard error; it throws CommandStopped where it meets the stop flag.
// `name` is the command's, for the messages.
int run_in_frame(const std::string& name, const std::string& outPath, const std::function<int(TraceOutput&)>& body);
