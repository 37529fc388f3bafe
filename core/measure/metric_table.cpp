#include "core/measure/metric_table.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace {

template <typename T>
std::optional<double> number(const std::optional<T>& value) {
    if (!value) return std::nullopt;
    return static_cast<double>(*value);
}

using G = const RegulationGains&;
using M = const RunMetrics&;
using enum Metric;
using enum MetricModes;
using enum MetricBetter;
constexpr bool kFraction = true, kWhole = false;
constexpr bool kMagnitude = true, kSigned = false;

constexpr std::optional<double> none(G, M) { return std::nullopt; }

constexpr std::array<MetricColumn, METRIC_COUNT + METRIC_TWIN_COUNT> kTable{{
    {kKp, "kp", "Kp", "", kBoth, kSigned, kNone, kWhole,
     "The speed loop's proportional gain, in hundredths.",
     [](G g, M) -> std::optional<double> { return g.kp; }},
    {kKi, "ki", "Ki", "", kBoth, kSigned, kNone, kWhole,
     "The speed loop's integral gain, in hundredths.",
     [](G g, M) -> std::optional<double> { return g.ki; }},
    {kKd, "kd", "Kd", "", kBoth, kSigned, kNone, kWhole,
     "The speed loop's derivative gain, in hundredths.",
     [](G g, M) -> std::optional<double> { return g.kd; }},
    {kKv, "kv", "Kv", "", kBoth, kSigned, kNone, kWhole,
     "The position loop's proportional gain, in hundredths.",
     [](G g, M) -> std::optional<double> { return g.kv; }},
    {kW, "w", "W", "count", kSpeed, kSigned, kNone, kWhole,
     "The speed setpoint.",
     [](G g, M m) -> std::optional<double> { return m.speedMode ? std::optional<double>(g.w) : std::nullopt; }},
    {kPasses, "passes", "Passes", "", kBoth, kSigned, kNone, kWhole,
     "The passes of the run, 4 ms apart.",
     [](G, M m) -> std::optional<double> { return double(m.passes); }},
    {kRiseMs, "rise_ms", "Rise time", "ms", kSpeed, kSigned, kLower, kWhole,
     "From first reaching 10 % of |w| to first reaching 90 %.",
     [](G, M m) { return number(m.riseMs); }},
    {kOvershootPct, "overshoot_pct", "Overshoot", "%", kSpeed, kSigned, kLower, kFraction,
     "How far the speed went beyond w, in percent of |w|.",
     [](G, M m) { return m.overshootPct; }},
    {kPeak, "peak", "Peak", "count", kSpeed, kMagnitude, kNone, kWhole,
     "The speed farthest in the direction of w.",
     [](G, M m) { return number(m.peak); }},
    {kPeakMs, "peak_ms", "Peak time", "ms", kSpeed, kSigned, kNone, kWhole,
     "When the speed first reached its peak.",
     [](G, M m) { return number(m.peakMs); }},
    {kSettlingMs, "settling_ms", "Settling time", "ms", kSpeed, kSigned, kLower, kWhole,
     "From when on the speed stays within 2 % of |w| (at least 1) around w; empty unless that lasts.",
     [](G, M m) { return number(m.settlingMs); }},
    {kSteadyError, "steady_error", "Steady error", "count", kSpeed, kMagnitude, kNearestZero, kFraction,
     "w minus the mean speed over the last tenth of the run.",
     [](G, M m) { return m.steadyError; }},
    {kMaxFollowingError, "max_following_error", "Max following error", "count", kPosition, kMagnitude, kNearestZero,
     kWhole, "The commanded minus the actual position of largest magnitude.",
     [](G, M m) { return number(m.maxFollowingError); }},
    {kMaxFollowingMs, "max_following_ms", "Max following time", "ms", kPosition, kSigned, kNone, kWhole,
     "When the largest following error first occurred.",
     [](G, M m) { return number(m.maxFollowingMs); }},
    {kRmsFollowingError, "rms_following_error", "RMS following error", "count", kPosition, kSigned, kLower, kFraction,
     "The root mean square of the commanded minus the actual position.",
     [](G, M m) { return m.rmsFollowingError; }},
    {kFinalError, "final_error", "Final error", "count", kPosition, kMagnitude, kNearestZero, kWhole,
     "The commanded minus the actual position at the last pass.",
     [](G, M m) { return number(m.finalError); }},
    {kIae, "iae", "IAE", "count ms", kBoth, kSigned, kLower, kWhole,
     "The integral of the absolute error between command and response.",
     [](G, M m) -> std::optional<double> { return double(m.iae); }},
    {kPwmLimitPasses, "pwm_limit_passes", "Passes at PWM limit", "", kBoth, kSigned, kLower, kWhole,
     "The passes whose speed controller output lies beyond ±255.",
     [](G, M m) -> std::optional<double> { return double(m.pwmLimitPasses); }},
    {kLimitCycleAmplitude, "limit_cycle_amplitude", "Limit cycle", "count", kSpeed, kSigned, kLower, kWhole,
     "The peak-to-peak speed of the oscillation the run's last tenth repeats (quantisation hunting); "
     "empty when it settles to a constant or does not repeat. A limit counts a settled run as 0.",
     [](G, M m) -> std::optional<double> {
         if (!m.limitCycle || m.limitCycle->amplitude == 0) return std::nullopt;
         return m.limitCycle->amplitude;
     },
     [](G, M m) -> std::optional<double> {
         if (!m.limitCycle) return std::nullopt;
         return m.limitCycle->amplitude;
     }},
    {kLimitCyclePeriodMs, "limit_cycle_period_ms", "Limit cycle period", "ms", kSpeed, kSigned, kNone, kWhole,
     "The period of that oscillation: the shortest after which the last tenth repeats.",
     [](G, M m) -> std::optional<double> {
         if (!m.limitCycle || m.limitCycle->amplitude == 0) return std::nullopt;
         return double(METRICS_PASS_MS * m.limitCycle->periodPasses);
     }},
    {kTwinGainMarginDb, "twin_gain_margin_db", "Twin gain margin", "dB", kBoth, kSigned, kHigher, kFraction,
     "How far the twin's loop gain may grow before it is unstable, where its phase is -180 degrees.", none},
    {kTwinPhaseMarginDeg, "twin_phase_margin_deg", "Twin phase margin", "deg", kBoth, kSigned, kHigher, kFraction,
     "How far the twin's phase lies above -180 degrees where its loop gain is 1.", none},
    {kTwinCrossoverHz, "twin_crossover_hz", "Twin crossover", "Hz", kBoth, kSigned, kNone, kFraction,
     "Where the twin's loop gain is 1.", none},
    {kTwinPhaseCrossoverHz, "twin_phase_crossover_hz", "Twin phase crossover", "Hz", kBoth, kSigned, kNone, kFraction,
     "Where the twin's phase is -180 degrees.", none},
    {kTwinMs, "twin_ms", "Twin Ms", "", kBoth, kSigned, kLower, kFraction,
     "The largest |1 / (1 + L)| of the twin: how much its loop amplifies a disturbance at worst.", none},
    {kTwinBandwidthHz, "twin_bandwidth_hz", "Twin bandwidth", "Hz", kBoth, kSigned, kHigher, kFraction,
     "Where the twin's closed loop falls 3 dB below its value at 0.1 Hz.", none},
}};

constexpr bool in_order() {
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        if (static_cast<std::size_t>(kTable[i].id) != i) return false;
    }
    return true;
}
static_assert(in_order(), "row i of the table is Metric i");

constexpr std::array<std::string_view, METRIC_COUNT + METRIC_TWIN_COUNT> kNames = [] {
    std::array<std::string_view, METRIC_COUNT + METRIC_TWIN_COUNT> names{};
    for (std::size_t i = 0; i < kTable.size(); ++i) names[i] = kTable[i].name;
    return names;
}();

}  // namespace

std::span<const MetricColumn> metric_table() { return std::span(kTable).first(METRIC_COUNT); }

std::span<const MetricColumn> twin_margin_columns() { return std::span(kTable).subspan(METRIC_COUNT); }

const MetricColumn& metric_column(Metric id) { return kTable[static_cast<std::size_t>(id)]; }

const MetricColumn* metric_column_named(std::string_view name) {
    const auto it = std::find(kNames.begin(), kNames.end(), name);
    return it == kNames.end() ? nullptr : &kTable[static_cast<std::size_t>(it - kNames.begin())];
}

std::span<const std::string_view> metric_names() { return std::span(kNames).first(METRIC_COUNT); }

MetricsCells metrics_cells(const RegulationGains& gains, const RunMetrics& metrics) {
    // Each row's own function called directly (a sweep makes millions of rows).
    return [&]<std::size_t... I>(std::index_sequence<I...>) {
        return MetricsCells{kTable[I].cell(gains, metrics)...};
    }(std::make_index_sequence<METRIC_COUNT>());
}

std::optional<double> metric_counted(const MetricColumn& column, std::optional<double> value) {
    if (value && column.magnitude) return std::abs(*value);
    return value;
}

std::optional<double> metric_counted(const MetricColumn& column, const RegulationGains& gains, const RunMetrics& metrics) {
    if (column.counted) return column.counted(gains, metrics);
    return metric_counted(column, column.cell(gains, metrics));
}

bool metric_applies(const MetricColumn& column, bool speedMode) {
    return column.modes == kBoth || (column.modes == kSpeed) == speedMode;
}

bool metric_better(const MetricColumn& column, double value, double than) {
    switch (column.better) {
    case kLower:
        return value < than;
    case kNearestZero:
        return std::abs(value) < std::abs(than);
    case kHigher:
        return value > than;
    case kNone:
        break;
    }
    return false;
}

std::string metric_limit_refusal(const MetricColumn& column, double most) {
    if (!column.magnitude || most >= 0) return {};
    const std::string name(column.name);
    return name + " counts by its magnitude, so its limit is 0 or more (" + name + "=10 allows -10 to 10)";
}

std::string metric_caption(const MetricColumn& column, bool counted) {
    std::string text(column.label);
    if (counted && column.magnitude) text = "|" + text + "|";
    if (!column.unit.empty()) text += " (" + std::string(column.unit) + ")";
    return text;
}

std::string metric_description(const MetricColumn& column) {
    std::string text(column.meaning);
    if (!column.unit.empty()) text += "\nIn " + std::string(column.unit) + ".";
    switch (column.better) {
    case kLower:
        text += "\nLower is better.";
        break;
    case kNearestZero:
        text += "\nNearer zero is better.";
        break;
    case kHigher:
        text += "\nHigher is better.";
        break;
    case kNone:
        break;
    }
    if (column.magnitude) text += "\nSearches and the map count its magnitude.";
    if (column.modes != kBoth) text += column.modes == kSpeed ? "\nSpeed mode only." : "\nPosition mode only.";
    return text;
}
