#include "core/measure/headless_run.h"
#include "core/formats/csv.h"
#include "core/formats/metrics_format.h"
#include "core/measure/gain_set.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

namespace {

using I = std::optional<std::int64_t>;
using D = std::optional<double>;
const std::nullopt_t none = std::nullopt;

RunMetrics speed_run(std::int16_t w, const std::vector<std::int16_t>& responses, std::int16_t speedY = 0) {
    RunMetricsAccumulator acc;
    acc.reset(true, w);
    for (std::int16_t r : responses) acc.add_pass(w, r, speedY);
    return acc.result();
}

// `first`, then `value` for `passes` passes.
std::vector<std::int16_t> held(std::vector<std::int16_t> first, std::int16_t value, std::size_t passes) {
    first.insert(first.end(), passes, value);
    return first;
}

TEST(Metrics, SpeedModeStepResponses) {
    const struct {
        const char* name;
        std::int16_t w;
        std::vector<std::int16_t> r;
        I rise;
        D overshoot;
        std::optional<std::int16_t> peak;
        I peakMs, settling;
        D steady;
        std::int64_t iae;
    } cases[] = {
        {"never rising", 100, {0, 0, 0, 0, 0}, none, 0.0, 0, 4, none, 100.0, 2000},
        {"rising without overshoot, then 10 passes in the band", 100, held({0, 10, 50, 90, 98}, 100, 9), 8, 0.0, 100,
         24, 20, 0.0, 1008},
        {"in the band for 9 passes at the end only", 100, held({0, 10, 50, 90, 98}, 100, 8), 8, 0.0, 100, 24, none,
         0.0, 1008},
        {"in the band for the last tenth of 200 passes", 100, held(std::vector<std::int16_t>(180, 0), 100, 20), 0,
         0.0, 100, 724, 724, 0.0, 4 * 18000},
        {"in the band for one pass less than the last tenth", 100, held(std::vector<std::int16_t>(181, 0), 100, 19), 0,
         0.0, 100, 728, none, 5.0, 4 * 18100},
        {"negative step", -200, held({0, -30, -150, -190, -230, -210, -196}, -200, 12), 8, 15.0, -230, 20, 28, 0.0,
         4 * 474},
        {"settling lost at the end", 50, {10, 45, 50, 50, 49, 60}, 4, 20.0, 60, 24, none, -10.0, 4 * 56},
        {"w = 0 leaves only the steady error", 0, {0, 3, -2}, none, none, none, none, none, 2.0, 20},
        {"one pass", 80, {0}, none, 0.0, 0, 4, none, 80.0, 320},
        {"levels met exactly: 10 % and 90 % of 30, band of 1", 30, held({3, 27, 31}, 29, 10), 4, 100.0 / 30, 31, 12,
         12, 1.0, 4 * 41},
        {"steady error over the last tenth: 7 - (5 + 6 + 6) / 3", 7,
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 6, 6}, none, 0.0, 6,
         116, none, 4.0 / 3, 4 * (27 * 7 + 2 + 1 + 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RunMetrics m = speed_run(c.w, c.r);
        EXPECT_EQ(m.passes, static_cast<std::int64_t>(c.r.size()));
        EXPECT_EQ(m.riseMs, c.rise);
        EXPECT_EQ(m.overshootPct, c.overshoot);
        EXPECT_EQ(m.peak, c.peak);
        EXPECT_EQ(m.peakMs, c.peakMs);
        EXPECT_EQ(m.settlingMs, c.settling);
        EXPECT_EQ(m.steadyError, c.steady);
        EXPECT_EQ(m.iae, c.iae);
        EXPECT_FALSE(m.maxFollowingError || m.maxFollowingMs || m.rmsFollowingError || m.finalError);
    }
}

TEST(Metrics, PositionModeFollowingErrors) {
    const struct {
        const char* name;
        std::vector<std::int16_t> c, r;
        std::int32_t maxError;
        std::int64_t maxMs;
        double rms;
        std::int32_t final;
        std::int64_t iae;
    } cases[] = {
        {"one pass", {0}, {0}, 0, 4, 0.0, 0, 0},
        {"largest error", {0, 5, 10, 15}, {0, 2, 5, 16}, 5, 12, std::sqrt(35.0 / 4), -1, 36},
        {"first of a tie in magnitude", {0, 0, 0}, {0, 5, -5}, -5, 8, std::sqrt(50.0 / 3), 5, 40},
        {"errors beyond 16 bits", {32767, -32768}, {-32768, 32767}, 65535, 4, 65535.0, -65535, 4 * 131070},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunMetricsAccumulator acc;
        acc.reset(false, 80);
        for (std::size_t k = 0; k < c.c.size(); ++k) acc.add_pass(c.c[k], c.r[k], 0);
        const RunMetrics m = acc.result();
        EXPECT_EQ(m.maxFollowingError, c.maxError);
        EXPECT_EQ(m.maxFollowingMs, c.maxMs);
        EXPECT_EQ(m.rmsFollowingError, c.rms);
        EXPECT_EQ(m.finalError, c.final);
        EXPECT_EQ(m.iae, c.iae);
        EXPECT_FALSE(m.riseMs || m.overshootPct || m.peak || m.peakMs || m.settlingMs || m.steadyError);
    }
}

TEST(Metrics, PwmLimitCountsOutputsBeyond255) {
    RunMetricsAccumulator acc;
    acc.reset(true, 80);
    for (std::int16_t y : {255, 256, -255, -256, 327, 0}) acc.add_pass(80, 0, y);
    EXPECT_EQ(acc.result().pwmLimitPasses, 3);
}

// The incremental windows against the definitions, read over a long run
// (past the point where the kept tail is cut).
TEST(Metrics, LongRunMatchesTheDefinitionsAtEveryLength) {
    const std::int16_t w = -300;
    std::vector<std::int16_t> r;
    std::uint32_t seed = 12345;
    RunMetricsAccumulator acc;
    acc.reset(true, w);
    for (std::size_t n = 1; n <= 30000; ++n) {
        seed = seed * 1103515245u + 12345u;
        r.push_back(static_cast<std::int16_t>(w + static_cast<int>((seed >> 16) % 21) - 10));
        acc.add_pass(w, r.back(), 0);
        if (n % 997 != 0 && n != 1 && n != 10 && n != 20 && n != 30000) continue;
        SCOPED_TRACE(n);
        const std::size_t m = std::max<std::size_t>(1, n / 10);
        std::int64_t sum = 0;
        for (std::size_t j = n - m; j < n; ++j) sum += r[j];
        std::size_t settleFrom = n + 1;
        while (settleFrom > 1 && std::abs(r[settleFrom - 2] - w) <= 6) --settleFrom;
        const RunMetrics got = acc.result();
        const auto count = static_cast<std::int64_t>(m);
        EXPECT_EQ(got.steadyError, static_cast<double>(w * count - sum) / static_cast<double>(count));
        RunMetricsAccumulator known;  // told the length first, it keeps no tail
        known.reset(true, w, static_cast<std::int64_t>(n));
        for (std::size_t j = 0; j < n; ++j) known.add_pass(w, r[j], 0);
        EXPECT_EQ(known.result().steadyError, got.steadyError);
        const bool settled = n + 1 - settleFrom >= std::max<std::size_t>(10, n / 10);
        EXPECT_EQ(got.settlingMs, settled ? I(4 * static_cast<std::int64_t>(settleFrom)) : none);
    }
}

TEST(Metrics, CsvAndJsonRows) {
    const RegulationGains gains{250, 60, 0, 30, 80};
    RunMetrics position;
    position.passes = 1;
    position.rmsFollowingError = 0.1 + 0.2;  // the shortest text that reads back the same
    EXPECT_EQ(metrics_csv_header(),
              "mode,kp,ki,kd,kv,w,passes,rise_ms,overshoot_pct,peak,peak_ms,settling_ms,steady_error,"
              "max_following_error,max_following_ms,rms_following_error,final_error,iae,pwm_limit_passes,"
              "limit_cycle_amplitude,limit_cycle_period_ms\n");
    EXPECT_EQ(metrics_csv_row(gains, position), "position,250,60,0,30,,1,,,,,,,,,0.30000000000000004,,0,0,,\n");
    EXPECT_EQ(metrics_json(gains, position),
              "{\"mode\":\"position\",\"kp\":250,\"ki\":60,\"kd\":0,\"kv\":30,\"w\":null,\"passes\":1,"
              "\"rise_ms\":null,\"overshoot_pct\":null,\"peak\":null,\"peak_ms\":null,\"settling_ms\":null,"
              "\"steady_error\":null,\"max_following_error\":null,\"max_following_ms\":null,"
              "\"rms_following_error\":0.30000000000000004,\"final_error\":null,\"iae\":0,\"pwm_limit_passes\":0,"
              "\"limit_cycle_amplitude\":null,\"limit_cycle_period_ms\":null}\n");
}

TEST(Metrics, WholeRunsWithTheInitialGains) {
    RunMeter meter;
    const RegulationGains gains{250, 60, 0, 30, 80};
    const RunMetrics speed = measure_regulation_run(meter, true, gains, 5);  // speeds 0, 24, 33, 36, 40
    EXPECT_EQ(metrics_csv_row(gains, speed), "speed,250,60,0,30,80,5,,0,40,20,,40,,,,,1068,0,,\n");
    const RunMetrics position = measure_regulation_run(meter, false, gains, METRICS_NO_PASS_LIMIT);
    EXPECT_EQ(metrics_csv_row(gains, position), "position,250,60,0,30,,195,,,,,,,-17,520,8.599344041769578,-11,5928,0,,\n");
    EXPECT_EQ(measure_regulation_run(meter, false, gains, 10).passes, 10);
    EXPECT_EQ(measure_regulation_run(meter, true, gains, 0).passes, 0);
    const RunMetrics again = measure_regulation_run(meter, false, gains, METRICS_NO_PASS_LIMIT);
    EXPECT_EQ(metrics_csv_row(gains, again), metrics_csv_row(gains, position));  // nothing carried over
}

TEST(Metrics, WholeRunsSettleOnlyWhenTheyStayInTheBand) {
    RunMeter meter;
    const struct {
        RegulationGains gains;
        std::int64_t passes;
        I settling;
    } cases[] = {
        {{0, 0, 2000, 30, 10}, 500, none},  // still swinging from -28 to +30, in the band at the last pass
        {{0, 90, 0, 30, 5}, 300, 40},
    };
    for (const auto& c : cases) EXPECT_EQ(measure_regulation_run(meter, true, c.gains, c.passes).settlingMs, c.settling);
}

}  // namespace

TEST(Metrics, CellsByColumnNameAreTheRowsNumbers) {
    RunMeter meter;
    const RegulationGains gains{250, 60, 0, 30, 80};
    for (const bool speedMode : {true, false}) {
        SCOPED_TRACE(speedMode);
        const RunMetrics metrics = measure_regulation_run(meter, speedMode, gains, 300);
        const MetricsCells cells = metrics_cells(gains, metrics);
        std::string row = speedMode ? "speed" : "position";
        for (const std::optional<double>& cell : cells) {
            row += ',';
            if (cell) csv_append_number(row, *cell);
        }
        EXPECT_EQ(row + "\n", metrics_csv_row(gains, metrics));
        // A cell has a value only in the modes its column applies to.
        for (const MetricColumn& c : metric_table()) {
            EXPECT_TRUE(!cells[std::size_t(c.id)] || metric_applies(c, speedMode)) << c.name;
        }
    }
    // The table: names unique and in the header's order, the gains first as
    // a gain set names them, and the columns that count by magnitude.
    std::string header = "mode";
    std::vector<std::string_view> magnitude;
    for (const MetricColumn& c : metric_table()) {
        header += "," + std::string(c.name);
        if (c.magnitude) magnitude.push_back(c.name);
        EXPECT_EQ(&c, metric_column_named(c.name)) << c.name;
    }
    EXPECT_EQ(header + "\n", metrics_csv_header());
    EXPECT_EQ(magnitude, (std::vector<std::string_view>{"peak", "steady_error", "max_following_error", "final_error"}));
    for (std::size_t g = 0; g < RUN_GAIN_COUNT; ++g) EXPECT_EQ(GAIN_SET_KEYS[g], metric_table()[g].name);
    EXPECT_EQ("passes", metric_table()[METRIC_FIRST].name);
    for (const char* name : {"mode", "IAE", "wraps"}) EXPECT_EQ(nullptr, metric_column_named(name)) << name;
    const struct {
        Metric id;
        bool counted;
        const char* caption;
    } captions[] = {{Metric::kIae, true, "IAE (count ms)"},
                    {Metric::kSteadyError, false, "Steady error (count)"},
                    {Metric::kSteadyError, true, "|Steady error| (count)"},
                    {Metric::kKp, true, "Kp"}};
    for (const auto& c : captions) EXPECT_EQ(c.caption, metric_caption(metric_column(c.id), c.counted));
}

TEST(HeadlessRun, CountsPassesUpToTheLimitOrTheProgramsEnd) {
    const struct {
        bool speedMode;
        std::int64_t limit;
        std::int64_t passes;
    } cases[] = {{true, 0, 0}, {true, 7, 7}, {false, 10, 10}, {false, METRICS_NO_PASS_LIMIT, 195}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        std::int64_t calls = 0;
        Engine engine;
        run_headless(engine, {c.speedMode, c.limit, {250, 60, 0, 30, 80}},
                     [&](const RegulationRun&, const RegulationPoints&, std::int64_t pass) { EXPECT_EQ(++calls, pass); });
        EXPECT_EQ(c.passes, calls);
    }
}
