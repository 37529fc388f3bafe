#include "trace/sweep_workers.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// Gain sets per chunk: small enough for a prompt stop and smooth progress,
// large enough that the pipe traffic stays a small part of the work, and a
// whole number of the engine's groups.
std::uint64_t chunk_size(const SweepRunSettings& run) {
    const long passes = run.passes > 0 ? run.passes : 200;  // a position run of the demo program
    const auto sets = static_cast<std::uint64_t>(std::clamp(200000L / passes, 1L, 512L));
    const std::uint64_t group = batch_group_size(run.engine);
    return (sets + group - 1) / group * group;
}

struct Chunks {
    std::uint64_t total;  // gain sets of the shard
    std::uint64_t size;   // gain sets per chunk
    std::uint64_t count() const { return (total + size - 1) / size; }
};

bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

enum class ReadEnd { Full, Closed, Stopped, Failed };

ReadEnd read_all(int fd, char* data, std::size_t size, const volatile std::sig_atomic_t& stop) {
    while (size > 0) {
        if (stop != 0) return ReadEnd::Stopped;
        const ssize_t n = ::read(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ReadEnd::Failed;
        if (n == 0) return ReadEnd::Closed;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return ReadEnd::Full;
}

// A worker: chunks j, j + J, j + 2J, ... each framed by its length in bytes.
[[noreturn]] void work(const ChunkProducer& produce, std::uint64_t count, std::uint64_t j, std::uint64_t jobs, int fd) {
    std::string text;
    for (std::uint64_t c = j; c < count; c += jobs) {
        text.assign(sizeof(std::uint32_t), '\0');
        produce(c, text);
        const auto length = static_cast<std::uint32_t>(text.size() - sizeof(std::uint32_t));
        std::memcpy(text.data(), &length, sizeof length);
        if (!write_all(fd, text.data(), text.size())) ::_exit(1);
    }
    ::_exit(0);  // no exit handlers: the parent's open output belongs to the parent
}

struct Worker {
    pid_t pid = -1;
    int fd = -1;
};

void end_workers(std::vector<Worker>& workers, bool kill) {
    for (Worker& w : workers) {
        if (w.fd >= 0) ::close(w.fd);
        if (kill && w.pid > 0) ::kill(w.pid, SIGTERM);
    }
    for (Worker& w : workers) {
        int status = 0;
        while (w.pid > 0 && ::waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    workers.clear();
}

SweepEnd run_here(std::uint64_t count, const ChunkProducer& produce, const ChunkConsumer& consume,
                  const volatile std::sig_atomic_t& stop) {
    std::string text;
    for (std::uint64_t c = 0; c < count; ++c) {
        if (stop != 0) return SweepEnd::Stopped;
        text.clear();
        produce(c, text);
        if (stop != 0) return SweepEnd::Stopped;  // what a stop cut short is never handed on
        consume(c, text);
    }
    return SweepEnd::Finished;
}

// Reads chunk c from worker c mod J, in order, and hands it on.
SweepEnd merge_chunks(std::vector<Worker>& workers, std::uint64_t count, const ChunkConsumer& consume,
                      const volatile std::sig_atomic_t& stop, std::string& error) {
    const std::uint64_t jobs = workers.size();
    std::string text;
    for (std::uint64_t c = 0; c < count; ++c) {
        const Worker& w = workers[c % jobs];
        std::uint32_t length = 0;
        ReadEnd end = read_all(w.fd, reinterpret_cast<char*>(&length), sizeof length, stop);
        if (end == ReadEnd::Full) {
            text.resize(length);
            end = read_all(w.fd, text.data(), length, stop);
        }
        if (end != ReadEnd::Full) {
            end_workers(workers, true);
            if (end == ReadEnd::Stopped) return SweepEnd::Stopped;
            error = "a worker process ended before its rows were done";
            return SweepEnd::Failed;
        }
        consume(c, text);
    }
    end_workers(workers, false);
    return SweepEnd::Finished;
}

}  // namespace

SweepEnd run_chunks(std::uint64_t count, int jobs, const ChunkProducer& produce, const ChunkConsumer& consume,
                    const volatile std::sig_atomic_t& stop, std::string& error) {
    const std::uint64_t workerCount =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max(jobs, 1)), std::max<std::uint64_t>(count, 1));
    if (workerCount == 1) return run_here(count, produce, consume, stop);

    std::vector<Worker> workers;
    const pid_t parent = ::getpid();
    for (std::uint64_t j = 0; j < workerCount; ++j) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            error = std::string("cannot start a worker: ") + std::strerror(errno);
            end_workers(workers, true);
            return SweepEnd::Failed;
        }
        ::fcntl(fds[0], F_SETPIPE_SZ, 1 << 20);  // room for a few chunks ahead; best effort
        const pid_t pid = ::fork();
        if (pid == 0) {
            for (const Worker& w : workers) ::close(w.fd);  // only the parent may hold read ends
            ::close(fds[0]);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::signal(SIGINT, SIG_IGN);  // Ctrl+C reaches the whole group; the parent ends the workers
            ::signal(SIGTERM, SIG_DFL);
            ::signal(SIGHUP, SIG_DFL);
            if (::getppid() != parent) ::_exit(1);  // the parent went before the death signal was set
            work(produce, count, j, workerCount, fds[1]);
        }
        ::close(fds[1]);
        if (pid < 0) {
            ::close(fds[0]);
            error = std::string("cannot start a worker: ") + std::strerror(errno);
            end_workers(workers, true);
            return SweepEnd::Failed;
        }
        workers.push_back({pid, fds[0]});
    }

    try {
        return merge_chunks(workers, count, consume, stop, error);
    } catch (...) {  // the output failed: no worker outlives the sweep
        end_workers(workers, true);
        throw;
    }
}

SweepEnd run_sweep(const SweepPlan& plan, const std::function<void(const std::string& rows)>& write,
                   const std::function<void(std::uint64_t done)>& progress, const volatile std::sig_atomic_t& stop,
                   std::string& error) {
    const Chunks chunks{sweep_shard_size(sweep_grid_size(plan.grid), plan.shard), chunk_size(plan.run)};
    // The rows of a chunk, measured as one batch; the room is reused chunk
    // after chunk, so a worker's memory stays flat however many sets the sweep has.
    std::vector<RegulationGains> sets(chunks.size);
    std::vector<RunMetrics> results(chunks.size);
    const auto produce = [&](std::uint64_t c, std::string& text) {
        const std::uint64_t first = c * chunks.size;
        const std::uint64_t count = std::min(chunks.total, first + chunks.size) - first;
        for (std::uint64_t m = 0; m < count; ++m) {
            sets[m] = sweep_gains_at(plan.grid, sweep_shard_index(plan.shard, first + m));
        }
        sweep_append_rows(text, plan.run, std::span(sets).first(count), results, &stop);
    };
    const auto consume = [&](std::uint64_t c, const std::string& rows) {
        write(rows);
        progress(std::min(chunks.total, (c + 1) * chunks.size));
    };
    return run_chunks(chunks.count(), plan.jobs, produce, consume, stop, error);
}
