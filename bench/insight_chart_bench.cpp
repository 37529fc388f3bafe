// What the event lanes and the reference overlay add to a regulation pass
// with the chart attached, apart from its 20 ms pause: the watched pass,
// four AddXY, the lanes' and the overlay's points, the immediate Repaint and
// the message pump, with N points already in each series (speed mode, the
// window's initial gains, so that three lanes tick nearly every pass). The
// same passes are timed with lanes and overlay off and on, in wall time and
// in the thread's CPU time.
#include "analysis/live/event_lanes.h"
#include "analysis/live/twin_overlay.h"
#include "analysis/live/run_feed.h"
#include "core/engine/int16.h"
#include "core/engine/module.h"
#include "core/measure/regulation_insight.h"
#include "toolkit/chart/chart.h"

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double percentile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

struct Bench {
    QWidget page;
    TChart chart{&page};
    std::vector<TLineSeries*> series;
    EventLanes* lanes;
    TwinOverlay overlay{chart};
    RegulationRun run;
    RegulationInsight insight;
    std::int16_t position = 0;
    std::int64_t passes = 0;

    Bench() {
        chart.SetTitle("TChart");
        chart.SetBottomAxisTitle("[ms]");
        chart.SetBottomAxisIncrement(4);
        series = {chart.AddSeries("y (PWM)", 3), chart.AddSeries("v (IST)", 3, clNavy), chart.AddSeries("x (Pos)", 5),
                  chart.AddSeries("x (SollPos)", 4)};
        page.resize(660, 309);
        chart.Widget()->setGeometry(0, 0, 660, 309 - EventLanes::kHeight);
        lanes = new EventLanes(chart, &page);
        lanes->setGeometry(0, 309 - EventLanes::kHeight, 660, EventLanes::kHeight);
        lanes->hide();
        page.show();
        const RegulationGains gains{250, 60, 0, 30, 80};
        regulation_start(run, true, gains);
        insight_start(insight, true, gains);
        QCoreApplication::processEvents();
    }

    // One pass without its pause; the lanes and the overlay follow it
    // whether shown or not, as the panel's section does.
    void pass() {
        insight_control(moduleEngine, insight, run, true);
        position = wrap16(std::int32_t{position} + actualSpeed);
        const double t = run.runTime;
        series[0]->AddXY(t, speedController.y);
        series[1]->AddXY(t, actualSpeed);
        series[2]->AddXY(t, position);
        series[3]->AddXY(t, speedController.w);
        RunPassInfo info;
        info.runTime = run.runTime;
        info.speedMode = true;
        info.actualSpeed = actualSpeed;
        info.events = insight.events;
        info.twinY = twin_chart_y(insight.twin, true);
        info.twinSpeed = insight.twin.speed;
        lanes->add_pass(++passes, t, insight.events);
        overlay.add_pass(info);
        chart.Repaint();
        regulation_advance_clock(run, true);
    }
};

// This thread's CPU time: on a loaded machine the wall time of a pass also
// holds the time slices other processes took.
double thread_cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Times {
    std::vector<double> wall;
    std::vector<double> cpu;
};

Times time_passes(Bench& bench, int count) {
    Times times;
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        const double cpuStart = thread_cpu_ms();
        bench.pass();
        QCoreApplication::processEvents();
        times.cpu.push_back(thread_cpu_ms() - cpuStart);
        times.wall.push_back(ms(Clock::now() - start));
    }
    return times;
}

void report(std::size_t prefill, const char* clock, const std::vector<double>& off, const std::vector<double>& on) {
    std::printf("N=%-7zu %-4s per pass with chart: lanes and overlay off: median %.3f ms, p99 %.3f ms; on: median %.3f "
                "ms, p99 %.3f ms; overhead of the median %.3f ms, of the p99 %.3f ms\n",
                prefill, clock, percentile(off, 0.5), percentile(off, 0.99), percentile(on, 0.5), percentile(on, 0.99),
                percentile(on, 0.5) - percentile(off, 0.5), percentile(on, 0.99) - percentile(off, 0.99));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    for (const std::size_t prefill : {std::size_t{10000}, std::size_t{1000000}}) {
        Bench bench;
        for (std::size_t i = 0; i < prefill; ++i) bench.pass();
        bench.chart.Repaint();
        QCoreApplication::processEvents();
        const Times off = time_passes(bench, 2000);
        bench.lanes->show();
        bench.overlay.set_shown(true, true);
        QCoreApplication::processEvents();
        const Times on = time_passes(bench, 2000);
        report(prefill, "wall", off.wall, on.wall);
        report(prefill, "CPU", off.cpu, on.cpu);
        std::fflush(stdout);
    }
    return 0;
}
