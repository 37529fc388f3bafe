#pragma once
// Where a trace goes: standard output, or a file written through OutputFile
// (whole or not at all; devices and FIFOs written in place).
#include "core/engine/stop_flag.h"
#include "toolkit/sys/output_file.h"

#include <string>

// Thrown by TraceOutput::write at the first failed write, so that a trace
// stops computing instead of running on into a full disk or a closed pipe.
struct TraceOutputError {
    std::string message;  // "Cannot save PATH: reason"
};

// Thrown where a command meets the stop flag (command_frame.h); `detail`
// adds to the message ("after 300 of 1000 gain sets").
struct CommandStopped {
    std::string detail;
};

// Thrown once a trace has written all it could but did not end as asked
// (the arc never met its end point): the output is kept, the message goes
// to standard error and the exit status is 3.
struct TraceIncomplete {
    std::string message;
};

class TraceOutput {
public:
    // An empty path or "-" means standard output. Once `stop` turns non-zero
    // every write throws CommandStopped.
    explicit TraceOutput(std::string path, const StopFlag* stop = nullptr);
    ~TraceOutput() = default;  // an output never committed leaves no file behind
    TraceOutput(const TraceOutput&) = delete;
    TraceOutput& operator=(const TraceOutput&) = delete;

    // False with `error` set when the file cannot be created.
    bool open(std::string& error);
    // Buffered; throws TraceOutputError when the data cannot be written.
    // Once the stop flag is set, throws CommandStopped instead.
    void write(const char* data, std::size_t size);
    void write(const std::string& text) { write(text.data(), text.size()); }
    // Writes what is buffered now (a reader follows the output as it grows).
    void flush() {
        if (!buffer_.empty()) flush_buffer();
    }
    // Flushes and, for a file, moves it to its final name.
    bool commit(std::string& error);

private:
    void flush_buffer();

    OutputFile file_;
    std::string buffer_;
    const StopFlag* stop_;
};
