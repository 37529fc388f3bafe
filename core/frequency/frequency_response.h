#pragma once
// The loop's frequency response measured as it runs: one headless run per
// frequency, through the engine's one regulation pass, with a sine injected
// where the loop is broken (loop_response.h) and the loop's own signal and
// what the loop then gets read by their single-bin transforms.
//
// d = round(A sin(2 pi f t)) at pass k, t = 4k ms, at a constant setpoint:
// the speed w in speed mode, the position `position` in position mode.
#include "core/frequency/loop_response.h"
#include "core/engine/regulation.h"

#include <complex>
#include <cstdint>
#include <optional>
#include <vector>

// The amplitude A a measurement takes unless told otherwise, in counts.
inline constexpr int RESPONSE_DEFAULT_AMPLITUDE = 50;
inline constexpr int RESPONSE_AMPLITUDE_MOST = 255;

struct ResponseSetup {
    bool speedMode = true;
    RegulationGains gains{};     // w is the speed held in speed mode
    std::int16_t position = 0;   // the position held in position mode
    int amplitude = RESPONSE_DEFAULT_AMPLITUDE;  // A, 1 ... 255
};

struct MeasuredPoint {
    double hz = 0.0;  // the frequency measured, plan.hz()
    // L = -C / U; empty where the loop gave nothing back at hz (C = 0).
    std::optional<std::complex<double>> loop;
    // The share of the loop signal's energy not at hz; empty when it was constant.
    std::optional<double> distortion;
};

// One frequency, a run on `engine` (which it leaves as the run left it).
MeasuredPoint measure_point(Engine& engine, const ResponseSetup& setup, const SinePlan& plan);

