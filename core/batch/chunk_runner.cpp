#include "core/batch/chunk_runner.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace {

std::uint64_t workers_for(std::uint64_t count, int threads) {
    return std::max<std::uint64_t>(1, std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max(threads, 1)), count));
}

// What the workers and the taking thread share, under `lock`. Chunk c lives
// in slot c mod slots from its claim until it is taken; a worker claims c
// only once chunk c - slots is taken, so a slot never holds two chunks.
struct Board {
    std::mutex lock;
    std::condition_variable made;  // the taker waits for its next chunk
    std::condition_variable room;  // workers wait for a free slot
    std::uint64_t next = 0;        // the next chunk to claim
    std::uint64_t taken = 0;       // chunks taken so far
    std::vector<char> ready;       // per slot: its chunk is made
    bool quit = false;             // a stop seen, a failure, or the end
    std::exception_ptr failure;    // the first exception of a worker or of take
};

void fail(Board& board, std::exception_ptr failure) {
    {
        const std::lock_guard<std::mutex> hold(board.lock);
        if (!board.failure) board.failure = std::move(failure);
        board.quit = true;
    }
    board.made.notify_all();
    board.room.notify_all();
}

void work(Board& board, int worker, std::uint64_t count,
          const std::function<void(int, std::uint64_t, std::size_t)>& make, const StopFlag& stop) {
    const std::size_t slots = board.ready.size();
    for (;;) {
        std::uint64_t c = 0;
        {
            std::unique_lock<std::mutex> hold(board.lock);
            board.room.wait(hold, [&] { return board.quit || board.next >= count || board.next < board.taken + slots; });
            if (board.quit || board.next >= count || stop_asked(&stop)) break;
            c = board.next++;
        }
        try {
            make(worker, c, c % slots);
        } catch (...) {
            fail(board, std::current_exception());
            return;
        }
        {
            const std::lock_guard<std::mutex> hold(board.lock);
            board.ready[c % slots] = 1;
        }
        board.made.notify_one();
    }
    // A stop seen here may be one the taker waits to hear of.
    board.made.notify_all();
}

RunnerEnd run_here(std::uint64_t count, const std::function<void(int, std::uint64_t, std::size_t)>& make,
                   const std::function<void(std::uint64_t, std::size_t)>& take, const StopFlag& stop) {
    for (std::uint64_t c = 0; c < count; ++c) {
        if (stop_asked(&stop)) return RunnerEnd::Stopped;
        make(0, c, 0);
        if (stop_asked(&stop)) return RunnerEnd::Stopped;  // the chunk may be unfinished
        take(c, 0);
    }
    return RunnerEnd::Finished;
}

}  // namespace

int runner_hardware_threads() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

std::size_t runner_detail::slots_for(std::uint64_t count, int threads) {
    const std::uint64_t workers = workers_for(count, threads);
    return workers == 1 ? 1 : static_cast<std::size_t>(2 * workers);
}

RunnerEnd runner_detail::run(std::uint64_t count, int threads, std::size_t slots,
                             const std::function<void(int, std::uint64_t, std::size_t)>& make,
                             const std::function<void(std::uint64_t, std::size_t)>& take, const StopFlag& stop) {
    const std::uint64_t workers = workers_for(count, threads);
    if (workers == 1) return run_here(count, make, take, stop);

    Board board;
    board.ready.assign(slots, 0);
    std::vector<std::thread> pool;
    // Every worker has returned before the board goes, however this returns.
    struct Joiner {
        Board& board;
        std::vector<std::thread>& pool;
        void finish() {
            {
                const std::lock_guard<std::mutex> hold(board.lock);
                board.quit = true;
            }
            board.room.notify_all();
            for (std::thread& t : pool) t.join();
            pool.clear();
        }
        ~Joiner() { finish(); }
    } joiner{board, pool};
    for (std::uint64_t w = 0; w < workers; ++w) {
        pool.emplace_back(work, std::ref(board), static_cast<int>(w), count, std::cref(make), std::cref(stop));
    }

    std::uint64_t c = 0;
    for (; c < count; ++c) {
        const std::size_t slot = c % slots;
        {
            std::unique_lock<std::mutex> hold(board.lock);
            // A stop set by a signal handler wakes nobody; the worker making
            // this chunk sees it, returns early and wakes this wait.
            board.made.wait(hold, [&] { return board.ready[slot] != 0 || board.quit || stop_asked(&stop); });
            if (board.quit || stop_asked(&stop)) break;
        }
        try {
            take(c, slot);
        } catch (...) {
            fail(board, std::current_exception());
            break;
        }
        {
            const std::lock_guard<std::mutex> hold(board.lock);
            board.ready[slot] = 0;
            board.taken = c + 1;
        }
        board.room.notify_all();
    }
    joiner.finish();
    if (board.failure) std::rethrow_exception(board.failure);
    return c == count ? RunnerEnd::Finished : RunnerEnd::Stopped;
}
