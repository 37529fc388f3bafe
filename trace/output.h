#pragma once
// Where a trace goes: standard output, or a file that appears whole or not
// at all (written beside its final name, then renamed).
#include <cstdio>
#include <string>

class TraceOutput {
public:
    // An empty path means standard output.
    explicit TraceOutput(std::string path);
    ~TraceOutput();  // an output never committed leaves no file behind
    TraceOutput(const TraceOutput&) = delete;
    TraceOutput& operator=(const TraceOutput&) = delete;

    // False with `error` set when the file cannot be created.
    bool open(std::string& error);
    void write(const char* data, std::size_t size);
    void write(const std::string& text) { write(text.data(), text.size()); }
    // Flushes and, for a file, moves it to its final name.
    bool commit(std::string& error);

private:
    void flush_buffer();

    std::string path_;
    std::string temporary_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    int errno_ = 0;
    std::string buffer_;
};
