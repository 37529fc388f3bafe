#include "core/measure/metrics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr std::int32_t kPwmLimit = 255;
// Dropped responses are cut off the front of the kept tail once they are
// this many and at least half of it, so each is moved O(1) times on average.
constexpr std::size_t kTailCompactAt = 1024;

}  // namespace

void RunMetricsAccumulator::reset(bool speedMode, std::int16_t w, std::int64_t passes) {
    std::vector<std::int16_t> keep = std::move(tail_);
    std::vector<std::int16_t> keepRecent = std::move(recent_);
    *this = RunMetricsAccumulator{};
    tail_ = std::move(keep);
    tail_.clear();
    recent_ = std::move(keepRecent);
    recent_.clear();
    totals_.speedMode = speedMode;
    totals_.w = speedMode ? w : std::int16_t{0};
    wSign_ = (totals_.w > 0) - (totals_.w < 0);
    wMagnitude_ = std::abs(std::int32_t{totals_.w});
    band50_ = std::max(wMagnitude_, 50);
    if (passes > 0) windowAfter_ = passes - std::max<std::int64_t>(1, passes / 10);
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
    if (recent_.size() < static_cast<std::size_t>(LIMIT_CYCLE_STRETCH_MOST)) {
        recent_.push_back(response);
    } else {
        recent_[recentNext_] = response;
        recentNext_ = (recentNext_ + 1) % recent_.size();
    }
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
    if (windowAfter_ >= 0) {
        if (totals_.passes > windowAfter_) {
            totals_.tailSum += response;
            ++totals_.tailCount;
        }
        return;
    }
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

RunMetrics RunMetricsAccumulator::result() const {
    if (!totals_.speedMode) return run_metrics_of(totals_);
    // The stretch, oldest first, out of the ring.
    const auto stretch = static_cast<std::size_t>(limit_cycle_stretch(totals_.passes));
    std::vector<std::int16_t> last(stretch);
    const std::size_t n = recent_.size();
    for (std::size_t i = 0; i < stretch; ++i) last[i] = recent_[(recentNext_ + n - stretch + i) % n];
    RunTotals totals = totals_;
    totals.limitCycle = limit_cycle_of(last);
    return run_metrics_of(totals);
}

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
    if (t.tailCount > 0) m.steadyError = static_cast<double>(std::int64_t{t.w} * t.tailCount - t.tailSum) / static_cast<double>(t.tailCount);
    m.limitCycle = t.limitCycle;
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
