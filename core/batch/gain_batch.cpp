#include "core/batch/gain_batch.h"

#include "core/batch/gain_lanes.h"
#include "core/engine/nc.h"
#include "core/program/nc_program.h"
#include "core/engine/plant.h"
#include "core/measure/limit_cycle.h"
#include "core/measure/run_wraps.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace {

// The kernels this CPU can run, widest first.
std::vector<const LaneKernel*> kernels_of_this_cpu() {
    std::vector<const LaneKernel*> kernels;
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq")) {
        kernels.push_back(&laneKernelAvx512);
    }
    if (__builtin_cpu_supports("avx2")) kernels.push_back(&laneKernelAvx2);
#endif
    kernels.push_back(&laneKernelBase);
    return kernels;
}

const LaneKernel* chosenKernel = nullptr;  // null until the first use: the widest

const LaneKernel& kernel() {
    if (chosenKernel == nullptr) chosenKernel = usable_lane_kernels().front();
    return *chosenKernel;
}

// The commanded X of every pass of the chosen program, as a run's nc_step
// calls give it: the same for every gain set, so worked out once per program
// (and again only when a run needs more passes than were worked out).
struct Setpoints {
    std::uint64_t choice = 0;  // nc_chosen_count() when made
    bool made = false;
    bool complete = false;     // to the program's end, not cut at a pass limit
    std::vector<std::int16_t> x;
};
Setpoints setpoints;

// The passes a position run makes under `passLimit`, with setpoints.x holding them.
std::int64_t position_passes(std::int64_t passLimit) {
    const auto known = static_cast<std::int64_t>(setpoints.x.size());
    const bool current = setpoints.made && setpoints.choice == nc_chosen_count();
    if (!current || (!setpoints.complete && known < passLimit)) {
        setpoints.x.clear();
        nc_load_chosen();
        NcPoint point{0, 0, 0};
        while (static_cast<std::int64_t>(setpoints.x.size()) < passLimit && nc_step(point) == NC_STEPPED) {
            setpoints.x.push_back(point.X);
        }
        setpoints.complete = static_cast<std::int64_t>(setpoints.x.size()) < passLimit;
        setpoints.choice = nc_chosen_count();
        setpoints.made = true;
    }
    return std::min(passLimit, static_cast<std::int64_t>(setpoints.x.size()));
}

void measure_lanes(bool speedMode, std::int64_t passLimit, std::span<const RegulationGains> sets,
                   std::span<RunMetrics> results, std::span<std::uint8_t> wraps, RunStop stop) {
    const LaneKernel& k = kernel();
    LaneRunJob job;
    job.speedMode = speedMode;
    job.passes = passLimit < 1 ? 0 : speedMode ? passLimit : position_passes(passLimit);
    job.setpoints = setpoints.x.data();
    job.dt = plant.dt;
    job.damping = plant.damping;
    job.inputGain = plant.inputGain;
    job.stop = stop;

    std::array<RegulationGains, LANES_MOST> group;
    std::array<RunTotals, LANES_MOST> totals;
    std::array<std::uint8_t, LANES_MOST> wrapped{};
    const auto lanes = static_cast<std::size_t>(k.lanes);
    // The limit cycle's stretch, as the accumulator keeps it.
    std::vector<std::int16_t> stretch;
    std::array<std::int32_t, LANES_MOST> period{}, amplitude{};
    if (speedMode) {
        job.stretchPasses = limit_cycle_stretch(job.passes);
        stretch.resize(static_cast<std::size_t>(job.stretchPasses) * lanes);
        job.stretch = stretch.data();
        job.stretchPeriod = period.data();
        job.stretchAmplitude = amplitude.data();
    }
    for (std::size_t first = 0; first < sets.size() && !run_stop_asked(stop); first += lanes) {
        const std::size_t count = std::min(lanes, sets.size() - first);
        std::copy_n(sets.begin() + static_cast<std::ptrdiff_t>(first), count, group.begin());
        std::fill(group.begin() + static_cast<std::ptrdiff_t>(count), group.begin() + k.lanes, group[count - 1]);
        k.run(job, group.data(), totals.data(), wraps.empty() ? nullptr : wrapped.data());
        for (std::size_t i = 0; i < count; ++i) {
            if (speedMode && period[i] != 0) totals[i].limitCycle = LimitCycle{amplitude[i], period[i]};
            results[first + i] = run_metrics_of(totals[i]);
        }
        if (!wraps.empty()) std::copy_n(wrapped.begin(), count, wraps.begin() + static_cast<std::ptrdiff_t>(first));
    }
}

}  // namespace

const std::vector<const LaneKernel*>& usable_lane_kernels() {
    static const std::vector<const LaneKernel*> usable = kernels_of_this_cpu();
    return usable;
}

bool measure_gain_batch(bool speedMode, std::int64_t passLimit, std::span<const RegulationGains> sets,
                        std::span<RunMetrics> results, BatchEngine engine, std::span<std::uint8_t> wraps,
                        RunStop stop) {
    if (engine == BatchEngine::Scalar) {
        for (std::size_t i = 0; i < sets.size() && !run_stop_asked(stop); ++i) {
            results[i] = measure_regulation_run(speedMode, sets[i], passLimit, stop);
            if (!wraps.empty()) wraps[i] = regulation_run_wraps(speedMode, sets[i], passLimit, stop) ? 1 : 0;
        }
    } else {
        measure_lanes(speedMode, passLimit, sets, results, wraps, stop);
    }
    return !run_stop_asked(stop);
}

std::int64_t batch_run_passes(bool speedMode, std::int64_t passLimit) {
    if (passLimit < 1) return 0;
    return speedMode ? passLimit : position_passes(passLimit);
}

const char* batch_engine_name(BatchEngine engine) { return engine == BatchEngine::Scalar ? "scalar" : kernel().name; }

std::size_t batch_group_size(BatchEngine engine) {
    return engine == BatchEngine::Scalar ? 1 : static_cast<std::size_t>(kernel().lanes);
}

std::vector<std::string_view> batch_lane_sets() {
    std::vector<std::string_view> names;
    for (const LaneKernel* k : usable_lane_kernels()) names.emplace_back(k->name);
    return names;
}

bool batch_use_lanes(std::string_view name) {
    for (const LaneKernel* k : usable_lane_kernels()) {
        if (name == k->name) {
            chosenKernel = k;
            return true;
        }
    }
    return false;
}
