#include "core/batch/frequency_batch.h"

#include "core/batch/chunk_runner.h"

#include <algorithm>

bool measure_response(const ResponseSetup& setup, std::span<const double> hz, int threads, const StopFlag& stop,
                      const std::function<void(std::size_t, const MeasuredPoint&)>& take) {
    threads = std::max(1, std::min<int>(threads, static_cast<int>(hz.size())));
    std::vector<Engine> engines(static_cast<std::size_t>(threads));
    const RunnerEnd end = run_in_order<MeasuredPoint>(
        hz.size(), threads,
        [&](int worker, std::uint64_t i, MeasuredPoint& point) {
            point = measure_point(engines[static_cast<std::size_t>(worker)], setup, sine_plan(hz[i]));
        },
        [&](std::uint64_t i, const MeasuredPoint& point) { take(static_cast<std::size_t>(i), point); }, stop);
    return end == RunnerEnd::Finished;
}

ResponseReport response_report(const ResponseSetup& setup, std::vector<MeasuredPoint> measured, double fromHz,
                               double toHz) {
    ResponseReport report;
    report.measured = std::move(measured);
    std::vector<ResponsePoint> points;
    for (const MeasuredPoint& p : report.measured) {
        if (p.loop) points.push_back({p.hz, *p.loop});
    }
    report.measuredMargins = margins_of(points);
    const TwinLoop twin(setup.speedMode, setup.gains, PLANT_AT_REST);
    report.twin = twin_curve(twin, fromHz, toHz);
    report.twinMargins = twin_margins(twin, fromHz, toHz);
    return report;
}
