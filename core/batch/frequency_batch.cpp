#include "core/batch/frequency_batch.h"

bool measure_response(const ResponseSetup& setup, std::span<const double> hz, int /*threads*/,
                      const std::function<bool()>& stopped,
                      const std::function<void(std::size_t, const MeasuredPoint&)>& take) {
    for (std::size_t i = 0; i < hz.size(); ++i) {
        if (stopped && stopped()) return false;
        take(i, measure_point(setup, sine_plan(hz[i])));
    }
    return true;
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
    const TwinLoop twin(setup.speedMode, setup.gains, plant);
    report.twin = twin_curve(twin, fromHz, toHz);
    report.twinMargins = twin_margins(twin, fromHz, toHz);
    return report;
}
