// The lanes engine against the scalar pass, one worker's CPU time: position
// runs of the demo per CPU second, speed-mode passes per CPU second at 2000
// passes a run, per instruction set this CPU has; what the wrap check adds
// to the lanes (at most 1.3 times their time without it; exits 1 beyond);
// and the peak resident memory as the number of sets grows (streamed a chunk
// at a time, as a sweep worker does), which must stay flat.
#include "core/batch/gain_batch.h"
#include "core/program/nc_program.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double peak_mb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The sets a sweep over kp 0..999, ki 0..999 takes, chunk by chunk of 512.
struct Chunked {
    std::vector<RegulationGains> sets = std::vector<RegulationGains>(512);
    std::vector<RunMetrics> results = std::vector<RunMetrics>(512);
    std::vector<std::uint8_t> wraps = std::vector<std::uint8_t>(512);
    RunMeter meter;

    // Measures `count` sets, with their wraps if asked; returns the CPU seconds taken.
    double run(bool speedMode, std::int64_t passes, std::int64_t count, BatchEngine engine, bool withWraps = false) {
        const double start = cpu_seconds();
        const GainBatchPlan plan = plan_gain_batch(speedMode, passes, engine, nc_chosen_blocks());
        for (std::int64_t first = 0; first < count; first += 512) {
            const std::int64_t n = std::min<std::int64_t>(512, count - first);
            for (std::int64_t i = 0; i < n; ++i) {
                const std::int64_t index = first + i;
                sets[static_cast<std::size_t>(i)] = {static_cast<std::int16_t>(index / 1000 % 1000),
                                                     static_cast<std::int16_t>(index % 1000), 0, 30, 80};
            }
            measure_gain_batch(plan, meter, std::span(sets).first(static_cast<std::size_t>(n)), results,
                               withWraps ? std::span(wraps) : std::span<std::uint8_t>());
        }
        return cpu_seconds() - start;
    }
};

void rates(const char* name, BatchEngine engine, std::int64_t positionRuns, std::int64_t speedRuns) {
    Chunked chunked;
    const double position = chunked.run(false, METRICS_NO_PASS_LIMIT, positionRuns, engine);
    const double speed = chunked.run(true, 2000, speedRuns, engine);
    std::printf("%-8s  %12.0f position runs of the demo per CPU second   %12.3g speed passes per CPU second\n", name,
                static_cast<double>(positionRuns) / position, 2000.0 * static_cast<double>(speedRuns) / speed);
}

// The lanes' time with the wrap check over their time without it, position
// and speed runs: the least of a few alternating tries of each, so that a
// busy machine disturbs both alike.
bool wrap_cost(const char* name) {
    Chunked chunked;
    double ratio[2] = {0, 0};
    for (const bool speedMode : {false, true}) {
        const std::int64_t passes = speedMode ? 300 : METRICS_NO_PASS_LIMIT;
        const std::int64_t count = speedMode ? 200000 : 300000;
        double without = 1e9, with = 1e9;
        for (int round = 0; round < 3; ++round) {
            without = std::min(without, chunked.run(speedMode, passes, count, BatchEngine::Lanes));
            with = std::min(with, chunked.run(speedMode, passes, count, BatchEngine::Lanes, true));
        }
        ratio[speedMode] = with / without;
    }
    std::printf("%-8s  the wrap check costs %.2f times the position runs, %.2f times the speed runs (300 passes)\n",
                name, ratio[0], ratio[1]);
    return ratio[0] <= 1.3 && ratio[1] <= 1.3;
}

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("load average at start: %.1f on %ld cores\n", load[0], sysconf(_SC_NPROCESSORS_ONLN));
    nc_choose_demo();
    rates("scalar", BatchEngine::Scalar, 100000, 1000);
    for (const std::string_view lanes : batch_lane_sets()) {
        batch_use_lanes(lanes);
        rates(std::string(lanes).c_str(), BatchEngine::Lanes, 2000000, 20000);
    }
    bool cheap = true;
    for (const std::string_view lanes : batch_lane_sets()) {
        batch_use_lanes(lanes);
        cheap = wrap_cost(std::string(lanes).c_str()) && cheap;
    }
    batch_use_lanes(batch_lane_sets().front());
    Chunked chunked;
    for (const std::int64_t count : {10000, 100000, 1000000}) {
        chunked.run(false, METRICS_NO_PASS_LIMIT, count, BatchEngine::Auto);
        std::printf("%s, %7lld position sets streamed 512 at a time: peak %.1f MB\n", batch_engine_name(BatchEngine::Auto),
                    static_cast<long long>(count), peak_mb());
    }
    return cheap ? 0 : 1;
}
