// Costs of the run metrics: one pass into the accumulator, a whole
// 10^6-pass speed run measured, and headless position-mode runs per second
// (what a sweep of gains pays per point).
#include "core/measure/headless_run.h"
#include "core/formats/metrics_format.h"

#include <benchmark/benchmark.h>

namespace {

constexpr RegulationGains kInitialGains{250, 60, 0, 30, 80};

void BM_accumulator_add_pass(benchmark::State& state) {
    const bool speedMode = state.range(0) != 0;
    RunMetricsAccumulator acc;
    acc.reset(speedMode, 80);
    std::int16_t r = 0;
    std::int16_t c = 0;
    for (auto _ : state) {
        acc.add_pass(speedMode ? std::int16_t{80} : c, r, static_cast<std::int16_t>(r * 3));
        r = static_cast<std::int16_t>((r + 7) % 97);
        c = static_cast<std::int16_t>((c + 1) & 0x7F);
    }
    benchmark::DoNotOptimize(acc.result());
}
BENCHMARK(BM_accumulator_add_pass)->ArgName("speed")->Arg(1)->Arg(0);

// The whole run behind `vantrel-trace metrics --mode speed --passes 1000000`.
void BM_metrics_of_speed_run_1e6_passes(benchmark::State& state) {
    RunMeter meter;
    for (auto _ : state) benchmark::DoNotOptimize(measure_regulation_run(meter, true, kInitialGains, 1000000));
}
BENCHMARK(BM_metrics_of_speed_run_1e6_passes)->Unit(benchmark::kMillisecond);

// A position-mode run over the demo program to its end (195 passes).
void BM_measure_position_run(benchmark::State& state) {
    RunMeter meter;
    for (auto _ : state) benchmark::DoNotOptimize(measure_regulation_run(meter, false, kInitialGains, METRICS_NO_PASS_LIMIT));
    state.counters["runs_per_s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_measure_position_run)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
