#include "core/batch/chunk_runner.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

// Chunk c's result is c * c, made with an uneven amount of work so that the
// workers finish out of order.
std::uint64_t made_slowly(std::uint64_t c) {
    volatile std::uint64_t spin = 0;
    for (std::uint64_t i = 0; i < (c * 7919) % 20000; ++i) spin = spin + i;
    return c * c;
}

TEST(ChunkRunner, HandsEveryChunkOnOnceInOrder) {
    for (const int threads : {1, 2, 3, 8}) {
        for (const std::uint64_t count : {0u, 1u, 5u, 300u}) {
            SCOPED_TRACE(testing::Message() << threads << " threads, " << count << " chunks");
            StopFlag stop{0};
            std::vector<int> perWorker(static_cast<std::size_t>(threads), 0);  // a worker's own state
            std::vector<std::uint64_t> taken;
            const RunnerEnd end = run_in_order<std::uint64_t>(
                count, threads,
                [&](int worker, std::uint64_t c, std::uint64_t& result) {
                    ++perWorker[static_cast<std::size_t>(worker)];
                    result = made_slowly(c);
                },
                [&](std::uint64_t c, const std::uint64_t& result) {
                    EXPECT_EQ(c * c, result);
                    taken.push_back(c);
                },
                stop);
            EXPECT_EQ(RunnerEnd::Finished, end);
            ASSERT_EQ(count, taken.size());
            for (std::uint64_t c = 0; c < count; ++c) ASSERT_EQ(c, taken[c]);
            int made = 0;
            for (const int n : perWorker) made += n;
            EXPECT_EQ(static_cast<int>(count), made);
        }
    }
}

TEST(ChunkRunner, AStopEndsChunksThatWaitForItAndNothingIsTakenAfter) {
    for (const int threads : {1, 4}) {
        SCOPED_TRACE(threads);
        StopFlag stop{0};
        std::vector<std::uint64_t> taken;
        const RunnerEnd end = run_in_order<std::uint64_t>(
            1000, threads,
            [&](int, std::uint64_t c, std::uint64_t& result) {
                // Chunks after 10 last until the stop: it must reach them.
                while (c > 10 && !stop_asked(&stop)) {
                }
                result = c;
            },
            [&](std::uint64_t c, const std::uint64_t&) {
                taken.push_back(c);
                if (c == 10) stop = 2;
            },
            stop);
        EXPECT_EQ(RunnerEnd::Stopped, end);
        ASSERT_EQ(11u, taken.size());
        EXPECT_EQ(10u, taken.back());
    }
}

TEST(ChunkRunner, AFailureOfAChunkReachesTheCaller) {
    for (const int threads : {1, 3}) {
        SCOPED_TRACE(threads);
        StopFlag stop{0};
        std::uint64_t takenBelow = 0;
        const auto run = [&] {
            run_in_order<int>(
                100, threads,
                [](int, std::uint64_t c, int&) {
                    if (c == 5) throw std::runtime_error("chunk 5");
                },
                [&](std::uint64_t c, const int&) { takenBelow += c < 5 ? 1 : 100; }, stop);
        };
        EXPECT_THROW(run(), std::runtime_error);
        EXPECT_LE(takenBelow, 5u);
    }
}

}  // namespace
