#pragma once
// The inside of the lanes engine: one kernel per instruction set, each built
// from core/gain_lanes_kernel.h in a unit of its own (gain_lanes_*.cpp) with
// its compiler flags; gain_batch.cpp picks one at run time and feeds it.
#include "core/measure/metrics.h"
#include "core/engine/pid.h"
#include "core/engine/plant.h"
#include "core/engine/regulation.h"
#include "core/engine/stop_flag.h"

#include <cstdint>
#include <vector>

// What every lane of a group shares.
struct LaneRunJob {
    bool speedMode = false;
    std::int64_t passes = 0;  // every run of the group makes exactly this many
    // Position mode: the commanded X of passes 1 ... passes, the same for every gain set.
    const std::int16_t* setpoints = nullptr;
    // The drive model's constants, as in PLANT_AT_REST.
    double dt = 0.0;
    double damping = 0.0;
    double inputGain = 0.0;
    // Speed mode: the responses of the last `stretchPasses` passes (the limit
    // cycle's stretch), a row of the call's lanes per pass, kept in `stretch`;
    // per lane the smallest period with which they repeat (1 when constant,
    // 0 for none of at most half the stretch) into `stretchPeriod`, and their
    // largest less their smallest into `stretchAmplitude`.
    std::int64_t stretchPasses = 0;
    std::int16_t* stretch = nullptr;
    std::int32_t* stretchPeriod = nullptr;
    std::int32_t* stretchAmplitude = nullptr;
    // Asked between blocks of passes, when given: true cuts the group short
    // (its totals are then of no use). A call, not the flag itself, so the
    // kernels use no function they would have to share.
    const StopFlag* stop = nullptr;
    bool (*stopped)(const StopFlag* stop) = nullptr;
};

// The most gain sets a kernel steps together.
inline constexpr int LANES_MOST = 64;

struct LaneKernel {
    const char* name;  // "avx512", "avx2", "sse2", "portable"
    int lanes;         // gain sets per group, L
    // One group: the runs of sets[0 ... L-1] from a fresh start, as
    // measure_regulation_run makes them; totals[i] for sets[i]. With
    // `wraps`, also wraps[i] = 1 when the run of sets[i] wraps an error, sum
    // or output of either loop, as regulation_run_wraps says, else 0.
    void (*run)(const LaneRunJob& job, const RegulationGains* sets, RunTotals* totals, std::uint8_t* wraps);
    // One pid_update of each of L controllers, on actual[i]: the lanes'
    // controller arithmetic on its own, any ta, for the tests.
    void (*pid_update)(PidController* controllers, const std::int16_t* actual);
    // One plant_step of each of L drive models under u[i], the speed kept to
    // 16 bits in speed[i]: the lanes' double step on its own, for the tests.
    void (*plant_step)(Plant* drives, const std::int16_t* u, std::int16_t* speed);
};

// The kernel built without extra instruction sets: "sse2" on x86-64 (its
// baseline), "portable" elsewhere.
extern const LaneKernel laneKernelBase;
#if defined(__x86_64__)
extern const LaneKernel laneKernelAvx2;
extern const LaneKernel laneKernelAvx512;
#endif

// The kernels this CPU can run, widest first.
const std::vector<const LaneKernel*>& usable_lane_kernels();
