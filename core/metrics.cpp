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
    speedMode_ = speedMode;
    w_ = speedMode ? w : std::int16_t{0};
    wSign_ = (w_ > 0) - (w_ < 0);
    wMagnitude_ = std::abs(std::int32_t{w_});
    band50_ = std::max(wMagnitude_, 50);
}

void RunMetricsAccumulator::add_pass(std::int16_t command, std::int16_t response, std::int16_t speedY) {
    ++passes_;
    const std::int32_t error = std::int32_t{command} - response;
    sumAbsError_ += std::abs(error);
    if (std::abs(std::int32_t{speedY}) > kPwmLimit) ++limitPasses_;

    if (!speedMode_) {
        if (passes_ == 1 || std::abs(error) > std::abs(maxError_)) {
            maxError_ = error;
            maxErrorPass_ = passes_;
        }
        sumSquaredError_ += std::int64_t{error} * error;
        lastError_ = error;
        return;
    }

    keep_for_steady_error(response);
    if (wSign_ == 0) return;
    // The 10 % and 90 % levels and the 2 % band compared in integers, exactly.
    const std::int32_t along = std::int32_t{response} * wSign_;
    if (firstAt10_ == 0 && 10 * along >= wMagnitude_) firstAt10_ = passes_;
    if (firstAt90_ == 0 && 10 * along >= 9 * wMagnitude_) firstAt90_ = passes_;
    if (passes_ == 1 || along > peakAlong_) {
        peakAlong_ = along;
        peak_ = response;
        peakPass_ = passes_;
    }
    if (50 * std::abs(error) > band50_) lastOutsideBand_ = passes_;
}

void RunMetricsAccumulator::keep_for_steady_error(std::int16_t response) {
    // The window is the last max(1, n / 10) responses; it grows by one every
    // ten passes, so at most one response leaves it per pass.
    tail_.push_back(response);
    tailSum_ += response;
    ++tailCount_;
    // max(1, n / 10) kept by counting, without a division per pass.
    if (++sinceWindowGrew_ == 10) {
        sinceWindowGrew_ = 0;
        if (passes_ >= 20) ++window_;
    }
    if (tailCount_ > window_) {
        tailSum_ -= tail_[tailHead_++];
        --tailCount_;
    }
    if (tailHead_ >= kTailCompactAt && 2 * tailHead_ >= tail_.size()) {
        tail_.erase(tail_.begin(), tail_.begin() + static_cast<std::ptrdiff_t>(tailHead_));
        tailHead_ = 0;
    }
}

RunMetrics RunMetricsAccumulator::result() const {
    RunMetrics m;
    m.speedMode = speedMode_;
    m.w = w_;
    m.passes = passes_;
    m.iae = METRICS_PASS_MS * sumAbsError_;
    m.pwmLimitPasses = limitPasses_;
    if (passes_ == 0) return m;

    if (!speedMode_) {
        m.maxFollowingError = maxError_;
        m.maxFollowingMs = METRICS_PASS_MS * maxErrorPass_;
        m.rmsFollowingError = std::sqrt(static_cast<double>(sumSquaredError_) / static_cast<double>(passes_));
        m.finalError = lastError_;
        return m;
    }

    // One division of exact integers, so the figure is the correctly rounded one.
    m.steadyError = static_cast<double>(std::int64_t{w_} * tailCount_ - tailSum_) / static_cast<double>(tailCount_);
    if (wSign_ == 0) return m;
    if (firstAt10_ != 0 && firstAt90_ != 0) m.riseMs = METRICS_PASS_MS * (firstAt90_ - firstAt10_);
    m.overshootPct =
        100.0 * static_cast<double>(std::max(0, peakAlong_ - wMagnitude_)) / static_cast<double>(wMagnitude_);
    m.peak = peak_;
    m.peakMs = METRICS_PASS_MS * peakPass_;
    if (lastOutsideBand_ < passes_) m.settlingMs = METRICS_PASS_MS * (lastOutsideBand_ + 1);
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
