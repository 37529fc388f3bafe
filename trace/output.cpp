#include "trace/output.h"

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

}  // namespace

TraceOutput::TraceOutput(std::string path, const StopFlag* stop)
    : file_(path.empty() ? std::string("-") : std::move(path)), stop_(stop) {
    buffer_.reserve(kBufferSize);
}

bool TraceOutput::open(std::string& error) { return file_.open(error); }

void TraceOutput::flush_buffer() {
    const bool written = file_.write(buffer_.data(), buffer_.size());
    buffer_.clear();
    if (!written) throw TraceOutputError{file_.error()};
}

void TraceOutput::write(const char* data, std::size_t size) {
    if (stop_asked(stop_)) throw CommandStopped{};
    buffer_.append(data, size);
    if (buffer_.size() >= kBufferSize) flush_buffer();
}

bool TraceOutput::commit(std::string& error) {
    if (!file_.failed() && !buffer_.empty()) file_.write(buffer_.data(), buffer_.size());
    buffer_.clear();
    return file_.commit(error);
}
