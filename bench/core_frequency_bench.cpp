// Costs of the frequency response: a 60-point measurement of the speed loop
// (as `vantrel-trace freq --mode speed` makes it, on one thread), and the
// twin's margins of one gain set (what `margins` and a search limiting them
// pay per set). Read CPU time: the goals are 0.1 s and 1 ms.
#include "core/frequency/frequency_response.h"
#include "core/frequency/loop_margins.h"

#include <benchmark/benchmark.h>

namespace {

constexpr RegulationGains kInitialGains{250, 60, 0, 30, 0};

void BM_measure_60_points(benchmark::State& state) {
    ResponseSetup setup;
    setup.speedMode = state.range(0) != 0;
    setup.gains = kInitialGains;
    const std::vector<double> hz = log_spaced(0.1, 125.0, 60);
    Engine engine;
    for (auto _ : state) {
        for (const double f : hz) benchmark::DoNotOptimize(measure_point(engine, setup, sine_plan(f)));
    }
}
BENCHMARK(BM_measure_60_points)->ArgName("speed")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_twin_margins(benchmark::State& state) {
    const bool speedMode = state.range(0) != 0;
    std::int16_t kp = 100;
    for (auto _ : state) {
        // A new gain set each time, as a search would ask.
        kp = static_cast<std::int16_t>(kp % 900 + 7);
        benchmark::DoNotOptimize(twin_margins(TwinLoop(speedMode, {kp, 60, 20, 30, 0}, PLANT_AT_REST), 0.1, 125.0));
    }
}
BENCHMARK(BM_twin_margins)->ArgName("speed")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
