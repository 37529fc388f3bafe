#pragma once
// Where a trace goes: standard output, or a file written through OutputFile
// (whole or not at all; devices and FIFOs written in place).
#include "toolkit/sys/output_file.h"

#include <string>

// Thrown by TraceOutput::write at the first failed write, so that a trace
// stops computing instead of running on into a full disk or a closed pipe.
struct TraceOutputError {
    std::string message;  // "Cannot save PATH: reason"
};

class TraceOutput {
public:
    // An empty path or "-" means standard output.
    explicit TraceOutput(std::string path);
    ~TraceOutput() = default;  // an output never committed leaves no file behind
    TraceOutput(const TraceOutput&) = delete;
    TraceOutput& operator=(const TraceOutput&) = delete;

    // False with `error` set when the file cannot be created.
    bool open(std::string& error);
    // Buffered; throws TraceOutputError when the data cannot be written.
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
};
