#include "toolkit/sys/output_file.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Temporary files a signal must remove. The handler may only use
// async-signal-safe calls, so the names live in fixed buffers.
constexpr std::size_t kSlots = 8;
constexpr std::size_t kNameSize = 4096;
char pendingNames[kSlots][kNameSize];
volatile std::sig_atomic_t pendingUsed[kSlots];
// Every signal whose default action ends the process and that a handler may catch.
constexpr std::array<int, 14> kCleanupSignals = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT, SIGUSR1, SIGUSR2,   SIGALRM,
                                                 SIGXFSZ, SIGXCPU, SIGPIPE, SIGPOLL, SIGPROF, SIGVTALRM, SIGABRT};

extern "C" void remove_pending_and_die(int sig) {
    for (std::size_t i = 0; i < kSlots; ++i) {
        if (pendingUsed[i] != 0) ::unlink(pendingNames[i]);
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Signals the program ignores (nohup) or handles itself are left alone.
void install_cleanup_handlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (const int sig : kCleanupSignals) {
        struct sigaction current {};
        if (::sigaction(sig, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
        struct sigaction action {};
        action.sa_handler = remove_pending_and_die;
        sigemptyset(&action.sa_mask);
        ::sigaction(sig, &action, nullptr);
    }
}

// Runs `change` with the cleanup signals blocked, so the handler never sees
// a half-written slot.
template <class Change>
void with_signals_blocked(Change change) {
    sigset_t block;
    sigset_t previous;
    sigemptyset(&block);
    for (const int sig : kCleanupSignals) sigaddset(&block, sig);
    ::sigprocmask(SIG_BLOCK, &block, &previous);
    change();
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void register_temporary(const std::string& name) {
    if (name.size() >= kNameSize) return;
    install_cleanup_handlers();
    with_signals_blocked([&] {
        for (std::size_t i = 0; i < kSlots; ++i) {
            if (pendingUsed[i] != 0) continue;
            std::memcpy(pendingNames[i], name.c_str(), name.size() + 1);
            pendingUsed[i] = 1;
            return;
        }
    });
}

void unregister_temporary(const std::string& name) {
    with_signals_blocked([&] {
        for (std::size_t i = 0; i < kSlots; ++i) {
            if (pendingUsed[i] != 0 && name == pendingNames[i]) pendingUsed[i] = 0;
        }
    });
}

std::string directory_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The descriptor a name stands for: `own` is one of this process'
// (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N, /proc/thread-self/fd/N,
// /proc/<this pid>/fd/N), else another process' (/proc/PID/fd/N,
// /proc/PID/task/TID/fd/N). Nothing for any other name.
enum class Descriptor { None, Own, Foreign };

bool all_digits(const std::string& text) {
    return !text.empty() && text.size() < 10 && text.find_first_not_of("0123456789") == std::string::npos;
}

Descriptor descriptor_name(const std::string& path, int& fd) {
    if (path == "/dev/stdout" || path == "/dev/stderr") {
        fd = path == "/dev/stdout" ? STDOUT_FILENO : STDERR_FILENO;
        return Descriptor::Own;
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = path.substr(0, slash == std::string::npos ? 0 : slash + 1);
    const std::string number = path.substr(folder.size());
    if (!all_digits(number)) return Descriptor::None;
    fd = std::atoi(number.c_str());
    const std::string self = "/proc/" + std::to_string(::getpid()) + "/fd/";
    if (folder == "/dev/fd/" || folder == "/proc/self/fd/" || folder == "/proc/thread-self/fd/" || folder == self) {
        return Descriptor::Own;
    }
    // /proc/PID/fd/ and /proc/PID/task/TID/fd/
    if (folder.rfind("/proc/", 0) != 0 || folder.size() < 10 || folder.compare(folder.size() - 4, 4, "/fd/") != 0) {
        return Descriptor::None;
    }
    std::string middle = folder.substr(6, folder.size() - 10);  // PID or PID/task/TID
    const std::size_t task = middle.find("/task/");
    if (task != std::string::npos) {
        if (!all_digits(middle.substr(task + 6))) return Descriptor::None;
        middle.resize(task);
    }
    return all_digits(middle) ? Descriptor::Foreign : Descriptor::None;
}

// The name with symbolic links at its last component followed, as far as
// they lead (a dangling link gives the name it points to), stopping at the
// name of a descriptor.
bool follow_links(std::string path, std::string& target, int& error) {
    for (int hops = 0; hops < 40; ++hops) {
        int fd = -1;
        struct stat st {};
        if (descriptor_name(path, fd) != Descriptor::None || ::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = path;
            return true;
        }
        std::vector<char> link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4095) + 1);
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length < 0 || static_cast<std::size_t>(length) >= link.size()) {
            error = length < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        std::string next(link.data(), static_cast<std::size_t>(length));
        path = next.front() == '/' ? next : directory_of(path) + "/" + next;
    }
    error = ELOOP;
    return false;
}

// The process' umask, read without changing it (threads may create files).
mode_t current_umask() {
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found) return static_cast<mode_t>(mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// Best effort: the rename is what makes the name durable.
void sync_directory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// An unnamed file in `directory` that linkat can give a name later, or -1
// where the system or the file system offers none.
int open_unnamed(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    // The link is made through /proc; without it the file could never be named.
    if (::access(("/proc/self/fd/" + std::to_string(fd)).c_str(), F_OK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A fresh name for a temporary file beside `target`.
std::string temporary_name(const std::string& target) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char random[6] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        const auto seed = static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(&random));
        for (std::size_t i = 0; i < sizeof random; ++i) random[i] = static_cast<unsigned char>(seed >> (i * 5));
    }
    std::string name = directory_of(target) + "/.vantrel-";
    for (const unsigned char r : random) name += kLetters[r % (sizeof kLetters - 1)];
    return name;
}

}  // namespace

OutputFile::OutputFile(std::string path)
    : path_(std::move(path)), name_(path_ == "-" ? std::string("standard output") : path_) {}

OutputFile::~OutputFile() { discard(); }

std::string OutputFile::error() const {
    return errno_ == 0 ? std::string() : "Cannot save " + name_ + ": " + std::strerror(errno_);
}

bool OutputFile::open(std::string& error) {
    errno_ = 0;
    auto fail = [&](int reason) {
        errno_ = reason;
        error = this->error();
        return false;
    };
    if (path_ == "-") {
        fd_ = STDOUT_FILENO;
        return true;
    }
    if (path_.empty()) return fail(ENOENT);
    int reason = 0;
    if (!follow_links(path_, target_, reason)) return fail(reason);

    int descriptor = -1;
    switch (descriptor_name(target_, descriptor)) {
        case Descriptor::Own:
            // The shell's file goes on where it stands: through the descriptor itself.
            if (::fcntl(descriptor, F_GETFL) < 0) return fail(EBADF);
            fd_ = descriptor;
            return true;
        case Descriptor::Foreign: {
            struct stat behind {};
            const int append = ::stat(target_.c_str(), &behind) == 0 && S_ISREG(behind.st_mode) ? O_APPEND : 0;
            fd_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | append);
            if (fd_ < 0) return fail(errno);
            ownsFd_ = true;
            return true;
        }
        case Descriptor::None:
            break;
    }

    struct stat existing {};
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) return fail(errno);
    if (exists && S_ISDIR(existing.st_mode)) return fail(EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) {
        // Devices, FIFOs and sockets are written where they are.
        fd_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) return fail(errno);
        ownsFd_ = true;
        return true;
    }
    if (exists) {
        // Replacing needs only the directory's permission; the file's own
        // protection is honoured all the same.
        const int probe = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (probe < 0) return fail(errno);
        ::close(probe);
    }
    existed_ = exists;

    fd_ = open_unnamed(directory_of(target_));
    unnamed_ = fd_ >= 0;
    if (!unnamed_) {
        std::string name = directory_of(target_) + "/.vantrel-XXXXXX";
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ < 0) return fail(errno);
        temporary_ = name;
        register_temporary(temporary_);
    }
    ownsFd_ = true;
    if (exists) {
        if ((existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) &&
            ::fchown(fd_, existing.st_uid, existing.st_gid) != 0) {
            (void)::fchown(fd_, static_cast<uid_t>(-1), existing.st_gid);
        }
        ::fchmod(fd_, existing.st_mode & 07777);
    } else {
        ::fchmod(fd_, 0666 & ~current_umask());
    }
    return true;
}

bool OutputFile::write(const char* data, std::size_t size) {
    if (errno_ != 0 || fd_ < 0) {
        if (errno_ == 0) errno_ = EBADF;
        return false;
    }
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            errno_ = errno;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Gives the unnamed file its final name: linked there directly when the name
// is free, else linked under a temporary name and moved over the file. Every
// catchable signal waits meanwhile, so the temporary name outlives the move
// only if the process is killed in those few microseconds.
bool OutputFile::link_unnamed() {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (!existed_) {
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
        if (errno != EEXIST) {
            errno_ = errno;
            return false;
        }
    }
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &previous);
    std::string name;
    int result = -1;
    for (int attempt = 0; attempt < 100 && result != 0; ++attempt) {
        name = temporary_name(target_);
        result = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
        if (result != 0 && errno != EEXIST) break;
    }
    if (result == 0 && ::rename(name.c_str(), target_.c_str()) != 0) {
        result = -1;
        const int reason = errno;
        ::unlink(name.c_str());
        errno = reason;
    }
    if (result != 0) errno_ = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return result == 0;
}

bool OutputFile::commit(std::string& error) {
    const bool replaces = unnamed_ || !temporary_.empty();
    if (fd_ < 0 && errno_ == 0) errno_ = EBADF;
    if (errno_ == 0 && replaces && ::fsync(fd_) != 0) errno_ = errno;
    if (errno_ == 0 && unnamed_ && link_unnamed()) unnamed_ = false;
    if (ownsFd_) {
        if (::close(fd_) != 0 && errno_ == 0 && errno != EINTR) errno_ = errno;
        ownsFd_ = false;
    }
    fd_ = -1;
    if (errno_ == 0 && !temporary_.empty()) {
        if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
            errno_ = errno;
        } else {
            unregister_temporary(temporary_);
            temporary_.clear();
        }
    }
    if (errno_ == 0 && replaces) sync_directory(directory_of(target_));
    if (errno_ != 0) {
        discard();
        error = this->error();
        return false;
    }
    return true;
}

void OutputFile::discard() {
    if (ownsFd_) ::close(fd_);  // an unnamed file goes with its last descriptor
    ownsFd_ = false;
    unnamed_ = false;
    fd_ = -1;
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        unregister_temporary(temporary_);
        temporary_.clear();
    }
}
