#include "trace/sweep_progress.h"

#include <string>

namespace {

constexpr auto kBarInterval = std::chrono::milliseconds(100);
constexpr auto kLineInterval = std::chrono::seconds(5);
constexpr int kBarWidth = 30;

std::string duration_text(double seconds) {
    const auto s = static_cast<long>(seconds + 0.5);
    if (s < 60) return std::to_string(s) + " s";
    if (s < 3600) return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
    return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

}  // namespace

SweepProgress::SweepProgress(std::FILE* stream, bool terminal, std::uint64_t total)
    : stream_(stream), terminal_(terminal), total_(total), start_(Clock::now()),
      next_(start_ + (terminal ? kBarInterval : kLineInterval)) {}

void SweepProgress::update(std::uint64_t done) {
    const Clock::time_point now = Clock::now();
    if (now < next_) return;
    next_ = now + (terminal_ ? kBarInterval : kLineInterval);
    draw(done, now);
}

void SweepProgress::finish() {
    if (terminal_ && drawn_) std::fputc('\n', stream_);
}

void SweepProgress::draw(std::uint64_t done, Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    const std::string left = rate > 0 ? duration_text(static_cast<double>(total_ - done) / rate) : "?";
    const double fraction = total_ > 0 ? static_cast<double>(done) / static_cast<double>(total_) : 1;
    if (terminal_) {
        std::string bar(kBarWidth, ' ');
        for (int i = 0; i < static_cast<int>(fraction * kBarWidth); ++i) bar[static_cast<std::size_t>(i)] = '#';
        std::fprintf(stream_, "\r[%s] %3d%% %llu/%llu  %.0f runs/s  %s left \x1b[K", bar.c_str(),
                     static_cast<int>(fraction * 100), static_cast<unsigned long long>(done),
                     static_cast<unsigned long long>(total_), rate, left.c_str());
    } else {
        std::fprintf(stream_, "vantrel-trace: sweep: %llu of %llu gain sets (%d%%), %.0f runs/s, %s left\n",
                     static_cast<unsigned long long>(done), static_cast<unsigned long long>(total_),
                     static_cast<int>(fraction * 100), rate, left.c_str());
    }
    std::fflush(stream_);
    drawn_ = true;
}
