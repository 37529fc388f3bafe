#include "core/batch/gain_batch.h"

#include "core/batch/gain_lanes.h"
#include "core/engine/nc.h"
#include "core/measure/limit_cycle.h"
#include "core/measure/run_wraps.h"

#include <algorithm>
#include <array>
#include <atomic>
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

// The process's choice of instruction set: null until the first use, which
// takes the widest. Read when a plan is made.
std::atomic<const LaneKernel*> chosenKernel{nullptr};

const LaneKernel& kernel() {
    const LaneKernel* k = chosenKernel.load();
    if (k == nullptr) {
        const LaneKernel* widest = usable_lane_kernels().front();
        chosenKernel.compare_exchange_strong(k, widest);
        k = chosenKernel.load();
    }
    return *k;
}

bool lane_stop_asked(const StopFlag* stop) { return stop_asked(stop); }

// The commanded X of every pass of `program` up to `passLimit`, as a run's
// nc_step calls give it.
std::vector<std::int16_t> setpoints_of(const NcProgramBlocks* program, std::int64_t passLimit) {
    std::vector<std::int16_t> setpoints;
    NcInterpreter nc;
    nc_load(nc, program);
    NcPoint point{0, 0, 0};
    while (static_cast<std::int64_t>(setpoints.size()) < passLimit && nc_step(nc, point) == NC_STEPPED) {
        setpoints.push_back(point.X);
    }
    return setpoints;
}

bool measure_lanes(const GainBatchPlan& plan, std::span<const RegulationGains> sets, std::span<RunMetrics> results,
                   std::span<std::uint8_t> wraps, const StopFlag* stop) {
    const LaneKernel& k = *plan.kernel;
    LaneRunJob job;
    job.speedMode = plan.speedMode;
    job.passes = plan.passes;
    job.setpoints = plan.setpoints.data();
    job.dt = PLANT_AT_REST.dt;
    job.damping = PLANT_AT_REST.damping;
    job.inputGain = PLANT_AT_REST.inputGain;
    job.stop = stop;
    job.stopped = lane_stop_asked;

    std::array<RegulationGains, LANES_MOST> group;
    std::array<RunTotals, LANES_MOST> totals;
    std::array<std::uint8_t, LANES_MOST> wrapped{};
    const auto lanes = static_cast<std::size_t>(k.lanes);
    // The limit cycle's stretch, as the accumulator keeps it.
    std::vector<std::int16_t> stretch;
    std::array<std::int32_t, LANES_MOST> period{}, amplitude{};
    if (plan.speedMode) {
        job.stretchPasses = limit_cycle_stretch(job.passes);
        stretch.resize(static_cast<std::size_t>(job.stretchPasses) * lanes);
        job.stretch = stretch.data();
        job.stretchPeriod = period.data();
        job.stretchAmplitude = amplitude.data();
    }
    for (std::size_t first = 0; first < sets.size(); first += lanes) {
        const std::size_t count = std::min(lanes, sets.size() - first);
        std::copy_n(sets.begin() + static_cast<std::ptrdiff_t>(first), count, group.begin());
        std::fill(group.begin() + static_cast<std::ptrdiff_t>(count), group.begin() + k.lanes, group[count - 1]);
        k.run(job, group.data(), totals.data(), wraps.empty() ? nullptr : wrapped.data());
        if (stop_asked(stop)) return false;
        for (std::size_t i = 0; i < count; ++i) {
            if (plan.speedMode && period[i] != 0) totals[i].limitCycle = LimitCycle{amplitude[i], period[i]};
            results[first + i] = run_metrics_of(totals[i]);
        }
        if (!wraps.empty()) std::copy_n(wrapped.begin(), count, wraps.begin() + static_cast<std::ptrdiff_t>(first));
    }
    return true;
}

}  // namespace

const std::vector<const LaneKernel*>& usable_lane_kernels() {
    static const std::vector<const LaneKernel*> usable = kernels_of_this_cpu();
    return usable;
}

GainBatchPlan plan_gain_batch(bool speedMode, std::int64_t passLimit, BatchEngine engine,
                              std::shared_ptr<const NcProgramBlocks> program) {
    GainBatchPlan plan;
    plan.speedMode = speedMode;
    plan.passLimit = passLimit;
    plan.engine = engine;
    plan.program = std::move(program);
    plan.kernel = &kernel();
    if (passLimit < 1) return plan;
    if (speedMode) {
        plan.passes = passLimit;
        return plan;
    }
    plan.setpoints = setpoints_of(plan.program.get(), passLimit);
    plan.passes = static_cast<std::int64_t>(plan.setpoints.size());
    return plan;
}

std::int64_t batch_run_passes(bool speedMode, std::int64_t passLimit, const NcProgramBlocks* program) {
    if (passLimit < 1) return 0;
    return speedMode ? passLimit : static_cast<std::int64_t>(setpoints_of(program, passLimit).size());
}

bool measure_gain_batch(const GainBatchPlan& plan, RunMeter& meter, std::span<const RegulationGains> sets,
                        std::span<RunMetrics> results, std::span<std::uint8_t> wraps, const StopFlag* stop) {
    if (plan.engine != BatchEngine::Scalar) return measure_lanes(plan, sets, results, wraps, stop);
    Engine& engine = meter.engine;
    if (engine.program != plan.program) engine.program = plan.program;  // loads what the plan's runs load
    for (std::size_t i = 0; i < sets.size(); ++i) {
        results[i] = measure_regulation_run(meter, plan.speedMode, sets[i], plan.passLimit, stop);
        if (!wraps.empty()) wraps[i] = regulation_run_wraps(engine, plan.speedMode, sets[i], plan.passLimit, stop) ? 1 : 0;
        if (stop_asked(stop)) return false;
    }
    return true;
}

bool measure_gain_batch(const GainBatchPlan& plan, std::span<const RegulationGains> sets,
                        std::span<RunMetrics> results, std::span<std::uint8_t> wraps, const StopFlag* stop) {
    if (plan.engine != BatchEngine::Scalar) return measure_lanes(plan, sets, results, wraps, stop);
    RunMeter meter;
    return measure_gain_batch(plan, meter, sets, results, wraps, stop);
}

RunnerEnd measure_gain_sets(const GainBatchPlan& plan, std::span<const RegulationGains> sets, int threads,
                            bool withWraps, const GainSetsTake& take, const StopFlag& stop) {
    const std::uint64_t chunks = (sets.size() + GAIN_SETS_CHUNK - 1) / GAIN_SETS_CHUNK;
    std::vector<RunMeter> meters(static_cast<std::size_t>(std::max(threads, 1)));
    const auto first_of = [](std::uint64_t c) { return static_cast<std::size_t>(c) * GAIN_SETS_CHUNK; };
    struct Chunk {
        std::vector<RunMetrics> results;
        std::vector<std::uint8_t> wraps;
    };
    const auto make = [&](int worker, std::uint64_t c, Chunk& chunk) {
        const std::size_t count = std::min(sets.size() - first_of(c), GAIN_SETS_CHUNK);
        chunk.results.resize(count);
        chunk.wraps.resize(withWraps ? count : 0);
        measure_gain_batch(plan, meters[static_cast<std::size_t>(worker)], sets.subspan(first_of(c), count),
                           chunk.results, chunk.wraps, &stop);
    };
    return run_in_order<Chunk>(
        chunks, threads, make, [&](std::uint64_t c, const Chunk& chunk) { take(first_of(c), chunk.results, chunk.wraps); },
        stop);
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
            chosenKernel.store(k);
            return true;
        }
    }
    return false;
}
