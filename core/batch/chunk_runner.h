#pragma once
// Work cut into chunks, made on worker threads and handed on in order: the
// sweep's rows, the search's batches, a gain map's cells. The workers share
// nothing but the chunk counter: each has its own state (an engine, scratch
// room), picked by its number, so the results are the same bytes whatever
// the number of threads.
//
// A front end with a message loop runs it off that loop's thread and lets
// `take` post each result (numbers, not text) back to it; its cancel sets the
// stop flag, and the runner returns once every worker has let go.
#include "core/engine/stop_flag.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

enum class RunnerEnd { Finished, Stopped };

// The threads this machine runs at once, at least 1.
int runner_hardware_threads();

// Chunks 0 ... count - 1 on `threads` workers (at most count; 1 or less runs
// everything on the calling thread):
// - make(worker, c, result) fills chunk c's result on worker `worker` (0 ...
//   threads - 1, one thread each, so state kept per worker needs no lock).
//   The Result object is reused from chunk to chunk: make fills it whole.
//   A long chunk should look at `stop` itself (the engine's runs do, given it)
//   and may then return with the result unfinished: it is never taken.
// - take(c, result) gets the chunks on the calling thread in the order of c,
//   each once, as soon as it and every chunk before it are made.
// A non-zero `stop` ends it: no chunk is taken once the stop is seen, and
// it returns Stopped when every worker has returned. Workers run at most
// 2 x threads chunks ahead of take. An exception from make or take stops
// the rest and is thrown again here, after the workers have returned.
template <class Result, class Make, class Take>
RunnerEnd run_in_order(std::uint64_t count, int threads, Make&& make, Take&& take, const StopFlag& stop);

// ---- the template's body ----

namespace runner_detail {

// The runner proper, over slots: make(worker, c, slot), take(c, slot), slot = c mod slots.
RunnerEnd run(std::uint64_t count, int threads, std::size_t slots,
              const std::function<void(int worker, std::uint64_t c, std::size_t slot)>& make,
              const std::function<void(std::uint64_t c, std::size_t slot)>& take, const StopFlag& stop);

std::size_t slots_for(std::uint64_t count, int threads);

}  // namespace runner_detail

template <class Result, class Make, class Take>
RunnerEnd run_in_order(std::uint64_t count, int threads, Make&& make, Take&& take, const StopFlag& stop) {
    std::vector<Result> results(runner_detail::slots_for(count, threads));
    return runner_detail::run(
        count, threads, results.size(),
        [&](int worker, std::uint64_t c, std::size_t slot) { make(worker, c, results[slot]); },
        [&](std::uint64_t c, std::size_t slot) { take(c, static_cast<const Result&>(results[slot])); }, stop);
}
