#include "trace/output.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

}  // namespace

TraceOutput::TraceOutput(std::string path) : path_(std::move(path)) { buffer_.reserve(kBufferSize); }

TraceOutput::~TraceOutput() {
    if (file_ != nullptr && file_ != stdout) {
        std::fclose(file_);
        std::remove(temporary_.c_str());
    }
}

bool TraceOutput::open(std::string& error) {
    if (path_.empty()) {
        file_ = stdout;
        return true;
    }
    temporary_ = path_ + ".tmp." + std::to_string(::getpid());
    file_ = std::fopen(temporary_.c_str(), "wb");
    if (file_ == nullptr) {
        error = "cannot write " + path_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void TraceOutput::flush_buffer() {
    if (buffer_.empty() || failed_) {
        buffer_.clear();
        return;
    }
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
        failed_ = true;
        errno_ = errno;
    }
    buffer_.clear();
}

void TraceOutput::write(const char* data, std::size_t size) {
    buffer_.append(data, size);
    if (buffer_.size() >= kBufferSize) flush_buffer();
}

bool TraceOutput::commit(std::string& error) {
    flush_buffer();
    if (std::fflush(file_) != 0 && !failed_) {
        failed_ = true;
        errno_ = errno;
    }
    const std::string name = path_.empty() ? "standard output" : path_;
    if (file_ == stdout) {
        if (failed_) error = "cannot write " + name + ": " + std::strerror(errno_);
        return !failed_;
    }
    if (std::fclose(file_) != 0 && !failed_) {
        failed_ = true;
        errno_ = errno;
    }
    file_ = nullptr;
    if (!failed_ && std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        failed_ = true;
        errno_ = errno;
    }
    if (failed_) {
        std::remove(temporary_.c_str());
        error = "cannot write " + name + ": " + std::strerror(errno_);
        return false;
    }
    return true;
}
