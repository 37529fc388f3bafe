// Costs of the engine's single operations and of one regulation pass.
#include "core/engine/module.h"
#include "core/engine/isqrt.h"
#include "core/measure/twin.h"
#include "core/measure/regulation_events.h"

#include <benchmark/benchmark.h>

namespace {

void BM_pid_update(benchmark::State& state) {
    PidController c{80, 0, 0, 1, 0, 0, 0, 250, 60, 10};
    std::int16_t actual = 0;
    for (auto _ : state) {
        pid_update(c, actual);
        benchmark::DoNotOptimize(c);
        actual = static_cast<std::int16_t>((actual + 7) & 0xFF);
    }
}
BENCHMARK(BM_pid_update);

void BM_plant_step(benchmark::State& state) {
    plant_reset();
    std::int16_t u = 255;
    for (auto _ : state) {
        benchmark::DoNotOptimize(plant_step(u));
        u = static_cast<std::int16_t>(-u);
    }
}
BENCHMARK(BM_plant_step);

// One position-mode pass: plant step, position sum, position loop, speed loop.
void BM_regulation_pass_position_mode(benchmark::State& state) {
    plant_reset();
    speedController = PidController{0, 0, 0, 1, 0, 0, 0, 250, 60, 0};
    positionController = PidController{0, 0, 0, 1, 0, 0, 0, 30, 0, 0};
    actualSpeed = actualPosition = 0;
    std::int16_t setpoint = 0;
    for (auto _ : state) {
        actualSpeed = plant_step(static_cast<std::int16_t>(pwmDirection * pwmDuty));
        actualPosition = static_cast<std::int16_t>(actualPosition + actualSpeed);
        regulate_position(setpoint);
        regulate_speed();
        setpoint = static_cast<std::int16_t>((setpoint + 1) & 0x7F);
        benchmark::DoNotOptimize(pwmDuty);
    }
}
BENCHMARK(BM_regulation_pass_position_mode);

// The same pass on an engine of its own, as the batches and the threads run it.
void BM_regulation_pass_position_mode_own_engine(benchmark::State& state) {
    Engine engine;
    Cascade& c = engine.cascade;
    c.speedController = PidController{0, 0, 0, 1, 0, 0, 0, 250, 60, 0};
    c.positionController = PidController{0, 0, 0, 1, 0, 0, 0, 30, 0, 0};
    std::int16_t setpoint = 0;
    for (auto _ : state) {
        c.actualSpeed = plant_step(engine.plant, static_cast<std::int16_t>(c.pwmDirection * c.pwmDuty));
        c.actualPosition = static_cast<std::int16_t>(c.actualPosition + c.actualSpeed);
        regulate_position(c, setpoint);
        regulate_speed(c);
        setpoint = static_cast<std::int16_t>((setpoint + 1) & 0x7F);
        benchmark::DoNotOptimize(c.pwmDuty);
    }
}
BENCHMARK(BM_regulation_pass_position_mode_own_engine);

// The same pass watched: every wrap and limit recorded, the real-valued twin
// stepped beside it.
void BM_regulation_pass_with_events_and_twin(benchmark::State& state) {
    Engine engine;
    Cascade& c = engine.cascade;
    c.speedController = PidController{0, 0, 0, 1, 0, 0, 0, 250, 60, 0};
    c.positionController = PidController{0, 0, 0, 1, 0, 0, 0, 30, 0, 0};
    PassEvents events;
    Twin twin;
    twin_start(twin, false, RegulationGains{250, 60, 0, 30, 0});
    std::int16_t setpoint = 0;
    for (auto _ : state) {
        events.begin_pass();
        c.actualSpeed = plant_step(engine.plant, static_cast<std::int16_t>(c.pwmDirection * c.pwmDuty));
        sum_position(c, events);
        regulate_position(c, setpoint, events);
        regulate_speed(c, events);
        twin_pass(twin, false, setpoint);
        setpoint = static_cast<std::int16_t>((setpoint + 1) & 0x7F);
        benchmark::DoNotOptimize(c.pwmDuty);
        benchmark::DoNotOptimize(events);
        benchmark::DoNotOptimize(twin);
    }
}
BENCHMARK(BM_regulation_pass_with_events_and_twin);

void BM_isqrt16_all_operands(benchmark::State& state) {
    for (auto _ : state) {
        for (std::uint32_t n = 0; n <= 0xFFFF; ++n) benchmark::DoNotOptimize(isqrt16(static_cast<std::uint16_t>(n)));
    }
    // Seconds per operand, printed with an SI prefix ("6.1n" is 6.1 ns).
    state.counters["per_isqrt16"] =
        benchmark::Counter(65536, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_isqrt16_all_operands);

// Building the demo program and stepping it to its end, as both callers do.
void BM_nc_demo_program(benchmark::State& state) {
    for (auto _ : state) {
        nc_load_demo();
        NcPoint point{0, 0, 0};
        while (nc_step(point) == NC_STEPPED) benchmark::DoNotOptimize(point);
    }
    nc_release_program();
}
BENCHMARK(BM_nc_demo_program)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
