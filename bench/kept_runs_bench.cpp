// Cost of one speed-mode regulation pass on the chart, apart from its 20 ms
// pause, beside kept runs: plant and loops, the two AddXY, the setpoint
// line's point, the immediate Repaint and the message pump, on the window's
// 660 x 309 chart. The kept runs are 8 earlier speed runs of 10^5 passes
// each, as the panel keeps them (two faded overlay lines a run); the live
// run starts at 0 beside them. Printed with the same pass without kept runs.
#include "core/engine/module.h"
#include "toolkit/chart/chart.h"

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kKeptRuns = 8;
constexpr int kKeptPasses = 100000;
constexpr int kLivePasses = 5000;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double percentile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

// One speed run's two chart values per pass, from the real regulation steps.
template <class Add>
void speed_run(const RegulationGains& gains, int passes, Add add) {
    RegulationRun run;
    regulation_start(run, true, gains);
    for (int i = 0; i < passes; ++i) {
        regulation_control(run, true);
        const RegulationPoints p = regulation_chart_points(run, true);
        add(run.runTime, p.y[0], p.y[1]);
        regulation_advance_clock(run, true);
    }
}

void measure(int keptRuns) {
    TChart chart(nullptr);
    chart.SetTitle("TChart");
    chart.SetBottomAxisTitle("[ms]");
    chart.SetBottomAxisIncrement(4);
    TLineSeries* pwm = chart.AddSeries("y (PWM)", 3);
    TLineSeries* speed = chart.AddSeries("v (IST)", 3, clNavy);
    chart.AddSeries("x (Pos)", 5);
    chart.AddSeries("x (SollPos)", 4);
    QWidget* widget = chart.Widget();
    widget->resize(660, 309);
    widget->show();
    QCoreApplication::processEvents();

    for (int k = 0; k < keptRuns; ++k) {
        TChartOverlay* lines[2] = {chart.AddOverlay({pwm->Color(), 1, 80, false, 0}),
                                   chart.AddOverlay({speed->Color(), 1, 80, false, 1})};
        const RegulationGains gains{static_cast<std::int16_t>(150 + 20 * k), 60, 0, 30, 80};
        speed_run(gains, kKeptPasses, [&](std::int32_t t, double y0, double y1) {
            lines[0]->AddXY(t, y0);
            lines[1]->AddXY(t, y1);
        });
    }
    TChartOverlay* setpoint = chart.AddOverlay({0x404040, 1, 255, true, 1});
    const auto fullStart = Clock::now();
    chart.Repaint();
    const double full = ms(Clock::now() - fullStart);

    const RegulationGains gains{250, 60, 0, 30, 80};
    std::vector<double> times;
    times.reserve(kLivePasses);
    const std::size_t redrawsBefore = chart.FullRedraws();
    RegulationRun run;
    regulation_start(run, true, gains);
    for (int i = 0; i < kLivePasses; ++i) {
        const auto start = Clock::now();
        regulation_control(run, true);
        const RegulationPoints p = regulation_chart_points(run, true);
        pwm->AddXY(run.runTime, p.y[0]);
        speed->AddXY(run.runTime, p.y[1]);
        setpoint->AddXY(run.runTime, gains.w);
        chart.Repaint();
        QCoreApplication::processEvents();
        times.push_back(ms(Clock::now() - start));
        regulation_advance_clock(run, true);
    }
    std::printf("kept runs %d x %d passes (%d overlay points) beside a live speed run: pass median %.3f ms, "
                "p99 %.3f ms, max %.2f ms; %zu full redraws in %d passes; full redraw with the kept runs %.2f ms\n",
                keptRuns, kKeptPasses, 2 * keptRuns * kKeptPasses, percentile(times, 0.5), percentile(times, 0.99),
                *std::max_element(times.begin(), times.end()), chart.FullRedraws() - redrawsBefore, kLivePasses, full);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    regulationRunning = true;
    measure(0);
    measure(kKeptRuns);
    return 0;
}
