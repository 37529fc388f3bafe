#include "core/metrics.h"

#include "core/cascade.h"
#include "core/csv.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

constexpr std::int32_t kPwmLimit = 255;
// Dropped responses are cut off the front of the kept tail once they are
// this many and at least half of it, so each is moved O(1) times on average.
constexpr std::size_t kTailCompactAt = 1024;

// The run, the speed-mode step response, the position-mode following, both.
constexpr std::array<std::string_view, 19> kColumns = {
    "mode", "kp", "ki", "kd", "kv", "w", "passes",
    "rise_ms", "overshoot_pct", "peak", "peak_ms", "settling_ms", "steady_error",
    "max_following_error", "max_following_ms", "rms_following_error", "final_error",
    "iae", "pwm_limit_passes",
};

template <typename T>
std::optional<double> cell(const std::optional<T>& value) {
    if (!value) return std::nullopt;
    return static_cast<double>(*value);
}

// Every column after "mode", as numbers.
std::array<std::optional<double>, kColumns.size() - 1> cells(const RegulationGains& gains, const RunMetrics& m) {
    return {double(gains.kp),
            double(gains.ki),
            double(gains.kd),
            double(gains.kv),
            m.speedMode ? std::optional<double>(gains.w) : std::nullopt,
            double(m.passes),
            cell(m.riseMs),
            m.overshootPct,
            cell(m.peak),
            cell(m.peakMs),
            cell(m.settlingMs),
            m.steadyError,
            cell(m.maxFollowingError),
            cell(m.maxFollowingMs),
            m.rmsFollowingError,
            cell(m.finalError),
            double(m.iae),
            double(m.pwmLimitPasses)};
}

const char* mode_name(const RunMetrics& m) { return m.speedMode ? "speed" : "position"; }

RunMetricsAccumulator runAccumulator;  // reused by measure_regulation_run, so its tail keeps its memory

// A headless run's side of a pass: a fixed mode, no pause, "Regelung aus"
// after the last pass wanted, and each completed pass into the metrics.
class MeasuringPass final : public RegulationPassHost {
public:
    MeasuringPass(bool speedMode, std::int16_t w, std::int64_t passLimit)
        : speedMode_(speedMode), w_(w), passLimit_(passLimit) {}

    bool speed_mode() override { return speedMode_; }
    void pause_and_pump() override {
        if (++pass_ == passLimit_) stop_regulation();
    }
    void chart_points(const RegulationRun& run, const RegulationPoints&) override {
        if (speedMode_) runAccumulator.add_pass(w_, actualSpeed, speedController.y);
        else runAccumulator.add_pass(run.commandedPoint.X, actualPosition, speedController.y);
    }

private:
    bool speedMode_;
    std::int16_t w_;
    std::int64_t passLimit_;
    std::int64_t pass_ = 0;
};

}  // namespace

void RunMetricsAccumulator::reset(bool speedMode, std::int16_t w) {
    std::vector<std::int16_t> keep = std::move(tail_);
    *this = RunMetricsAccumulator{};
    tail_ = std::move(keep);
    tail_.clear();
    totals_.speedMode = speedMode;
    totals_.w = speedMode ? w : std::int16_t{0};
    wSign_ = (totals_.w > 0) - (totals_.w < 0);
    wMagnitude_ = std::abs(std::int32_t{totals_.w});
    band50_ = std::max(wMagnitude_, 50);
}

void RunMetricsAccumulator::add_pass(std::int16_t command, std::int16_t response, std::int16_t speedY) {
    RunTotals& t = totals_;
    const std::int64_t pass = ++t.passes;
    const std::int32_t error = std::int32_t{command} - response;
    t.sumAbsError += std::abs(error);
    if (std::abs(std::int32_t{speedY}) > kPwmLimit) ++t.limitPasses;

    if (!t.speedMode) {
        if (pass == 1 || std::abs(error) > std::abs(t.maxError)) {
            t.maxError = error;
            t.maxErrorPass = pass;
        }
        t.sumSquaredError += std::int64_t{error} * error;
        t.lastError = error;
        return;
    }

    keep_for_steady_error(response);
    if (wSign_ == 0) return;
    // The 10 % and 90 % levels and the 2 % band compared in integers, exactly.
    const std::int32_t along = std::int32_t{response} * wSign_;
    if (t.firstAt10 == 0 && 10 * along >= wMagnitude_) t.firstAt10 = pass;
    if (t.firstAt90 == 0 && 10 * along >= 9 * wMagnitude_) t.firstAt90 = pass;
    if (pass == 1 || along > t.peakAlong) {
        t.peakAlong = along;
        t.peak = response;
        t.peakPass = pass;
    }
    if (50 * std::abs(error) > band50_) t.lastOutsideBand = pass;
}

void RunMetricsAccumulator::keep_for_steady_error(std::int16_t response) {
    // The window is the last max(1, n / 10) responses; it grows by one every
    // ten passes, so at most one response leaves it per pass.
    tail_.push_back(response);
    totals_.tailSum += response;
    ++totals_.tailCount;
    // max(1, n / 10) kept by counting, without a division per pass.
    if (++sinceWindowGrew_ == 10) {
        sinceWindowGrew_ = 0;
        if (totals_.passes >= 20) ++window_;
    }
    if (totals_.tailCount > window_) {
        totals_.tailSum -= tail_[tailHead_++];
        --totals_.tailCount;
    }
    if (tailHead_ >= kTailCompactAt && 2 * tailHead_ >= tail_.size()) {
        tail_.erase(tail_.begin(), tail_.begin() + static_cast<std::ptrdiff_t>(tailHead_));
        tailHead_ = 0;
    }
}

RunMetrics RunMetricsAccumulator::result() const { return run_metrics_of(totals_); }

RunMetrics run_metrics_of(const RunTotals& t) {
    RunMetrics m;
    m.speedMode = t.speedMode;
    m.w = t.w;
    m.passes = t.passes;
    m.iae = METRICS_PASS_MS * t.sumAbsError;
    m.pwmLimitPasses = t.limitPasses;
    if (t.passes == 0) return m;

    if (!t.speedMode) {
        m.maxFollowingError = t.maxError;
        m.maxFollowingMs = METRICS_PASS_MS * t.maxErrorPass;
        m.rmsFollowingError = std::sqrt(static_cast<double>(t.sumSquaredError) / static_cast<double>(t.passes));
        m.finalError = t.lastError;
        return m;
    }

    // One division of exact integers, so the figure is the correctly rounded one.
    m.steadyError = static_cast<double>(std::int64_t{t.w} * t.tailCount - t.tailSum) / static_cast<double>(t.tailCount);
    if (t.w == 0) return m;
    const std::int32_t wMagnitude = std::abs(std::int32_t{t.w});
    if (t.firstAt10 != 0 && t.firstAt90 != 0) m.riseMs = METRICS_PASS_MS * (t.firstAt90 - t.firstAt10);
    m.overshootPct =
        100.0 * static_cast<double>(std::max(0, t.peakAlong - wMagnitude)) / static_cast<double>(wMagnitude);
    m.peak = t.peak;
    m.peakMs = METRICS_PASS_MS * t.peakPass;
    // Settled only if the final stretch inside the band, passes k ... n, is long
    // enough to tell: max(10, n / 10) passes; a response that merely passes
    // through the band at the end has not settled.
    if (t.passes - t.lastOutsideBand >= std::max<std::int64_t>(10, t.passes / 10)) {
        m.settlingMs = METRICS_PASS_MS * (t.lastOutsideBand + 1);
    }
    return m;
}

std::string metrics_csv_header() {
    std::string out;
    csv_append_header(out, kColumns);
    return out;
}

std::string metrics_csv_row(const RegulationGains& gains, const RunMetrics& metrics) {
    std::string out = mode_name(metrics);
    out += ',';
    csv_append_row(out, cells(gains, metrics));
    return out;
}

std::string metrics_json(const RegulationGains& gains, const RunMetrics& metrics) {
    std::string out = "{\"mode\":\"";
    out += mode_name(metrics);
    out += '"';
    const auto values = cells(gains, metrics);
    for (std::size_t i = 0; i < values.size(); ++i) {
        out += ",\"";
        out += kColumns[i + 1];
        out += "\":";
        if (values[i]) csv_append_number(out, *values[i]);
        else out += "null";
    }
    out += "}\n";
    return out;
}

RunMetrics measure_regulation_run(bool speedMode, const RegulationGains& gains, std::int64_t passLimit) {
    runAccumulator.reset(speedMode, gains.w);
    if (passLimit < 1) return runAccumulator.result();
    MeasuringPass host{speedMode, gains.w, passLimit};
    RegulationRun run;
    regulationRunning = true;
    regulation_start(run, speedMode, gains);
    while (regulationRunning && regulation_pass(run, host)) {
    }
    return runAccumulator.result();
}
