#pragma once
// A sweep's progress on standard error: on a terminal a bar redrawn in place
// with the count, the rate and the time left; otherwise a line every few
// seconds, so logs stay readable.
#include <chrono>
#include <cstdint>
#include <cstdio>

class SweepProgress {
public:
    using Clock = std::chrono::steady_clock;

    SweepProgress(std::FILE* stream, bool terminal, std::uint64_t total);
    void update(std::uint64_t done);  // cheap between redraws
    void finish();                    // ends the bar's line

private:
    void draw(std::uint64_t done, Clock::time_point now);

    std::FILE* stream_;
    bool terminal_;
    std::uint64_t total_;
    Clock::time_point start_;
    Clock::time_point next_;
    bool drawn_ = false;
};
