// Cost of one regulation pass with the chart attached, apart from its 20 ms
// pause: plant and loops, four AddXY, the immediate Repaint and the message
// pump, with N points already in each of the four series, pens 3, 3, 5, 4,
// on a 660 x 309 chart. The view is the automatic one (the whole series on
// screen) or a user's zoomed view: the middle tenth of the data (new points
// arrive off screen), or the newest tenth with room for the points to come.
// At 10^6 points it also times zooming (a wheel notch and its redraw) and
// panning (a drag step and its redraw).
#include "core/engine/module.h"
#include "core/engine/int16.h"
#include "toolkit/chart/chart.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QObject>
#include <QPixmap>
#include <QString>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The four chart values of one pass, from the real regulation steps.
class Feed {
public:
    virtual ~Feed() = default;
    virtual void control() = 0;
    virtual void values(double (&y)[4]) = 0;
    double time() const { return time_; }
    void advance() { time_ += 4; }

protected:
    double time_ = 0;  // ms; grows by 4 per pass in both modes here
};

const RegulationGains kGains{250, 60, 0, 30, 80};

// Speed mode with the window's initial gains. Speed mode fills two series;
// the other two get the running position (kept to 16 bits, as the position
// sum is) and the setpoint, so that all four grow.
class SpeedFeed : public Feed {
public:
    SpeedFeed() { regulation_start(run_, true, kGains); }
    void control() override {
        regulation_control(run_, true);
        position_ = wrap16(std::int32_t{position_} + actualSpeed);
    }
    void values(double (&y)[4]) override {
        const RegulationPoints p = regulation_chart_points(run_, true);
        y[0] = p.y[0];
        y[1] = p.y[1];
        y[2] = position_;
        y[3] = speedController.w;
    }

private:
    RegulationRun run_;
    std::int16_t position_ = 0;
};

// Position mode over the demo NC program, started again whenever it ends.
class PositionFeed : public Feed {
public:
    PositionFeed() { regulation_start(run_, false, kGains); }
    void control() override {
        if (!regulation_control(run_, false)) {
            regulation_start(run_, false, kGains);
            regulation_control(run_, false);
        }
    }
    void values(double (&y)[4]) override {
        const RegulationPoints p = regulation_chart_points(run_, false);
        std::copy(p.y, p.y + 4, y);
    }

private:
    RegulationRun run_;
};

// A worst case for the chart, not the program: every value random, so every
// pixel column is a full-height span.
class NoiseFeed : public Feed {
public:
    void control() override {}
    void values(double (&y)[4]) override {
        for (double& v : y) v = static_cast<double>(rng_() % 2001) - 1000.0;
    }

private:
    std::mt19937 rng_{7};
};

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, event);
    }
};

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double percentile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    const auto at = static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5);
    return v[at];
}

void add_pass(std::vector<TLineSeries*>& series, Feed& feed) {
    double y[4];
    feed.values(y);
    for (std::size_t s = 0; s < series.size(); ++s) series[s]->AddXY(feed.time(), y[s], "", clDefaultColor);
}

// With a directory given, each run leaves its final picture there.
const char* gSaveDir = nullptr;

// The points' memory: a long series keeps about 16 bytes a point (two
// doubles; the summary adds a thirtieth), so a million-point run stays small.
constexpr double kBytesPerPointBudget = 17.0;
bool gOverBudget = false;

enum class ViewKind { automatic, middle, newest };

const char* view_name(ViewKind kind) {
    switch (kind) {
        case ViewKind::automatic: return "all";
        case ViewKind::middle: return "middle";
        case ViewKind::newest: return "newest";
    }
    return "";
}

// A user's view of the data so far, for `passes` more points at 4 ms each.
ChartView zoomed_view(TChart& chart, ViewKind kind, double lastX, int passes) {
    ChartView view = chart.View();
    const double tenth = lastX / 10;
    if (kind == ViewKind::middle) {
        view.XMin = lastX / 2 - tenth / 2;
        view.XMax = lastX / 2 + tenth / 2;
    } else {
        view.XMin = lastX - tenth;
        view.XMax = lastX + 4.0 * passes * 1.05;
    }
    return view;
}

struct Timing {
    double median;
    double p99;
    std::size_t fullRedraws;
};

Timing timing_of(const std::vector<double>& times, std::size_t fullRedraws) {
    return Timing{percentile(times, 0.5), percentile(times, 0.99), fullRedraws};
}

void send_wheel(QWidget* widget, QPointF at, int notches) {
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

void send_mouse(QWidget* widget, QEvent::Type type, QPointF at, Qt::MouseButtons held) {
    QMouseEvent event(type, at, widget->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Wheel notches in and out at cursor places across the plot, each followed
// by the repaint that draws the new view.
Timing time_zooms(TChart& chart) {
    QWidget* widget = chart.Widget();
    const TRect plot = chart.PlotArea();
    chart.ShowAll();
    chart.Repaint();
    std::vector<double> times;
    const std::size_t before = chart.FullRedraws();
    for (int round = 0; round < 5; ++round) {
        const QPointF at(plot.Left + (plot.Right - plot.Left) * (round + 1) / 6.0, (plot.Top + plot.Bottom) / 2.0);
        for (int notch = 0; notch < 20; ++notch) {
            const auto start = Clock::now();
            send_wheel(widget, at, notch < 10 ? 1 : -1);
            chart.Repaint();
            times.push_back(ms(Clock::now() - start));
        }
    }
    return timing_of(times, chart.FullRedraws() - before);
}

// A drag across the plot and back in 4-pixel steps over a zoomed view.
Timing time_pans(TChart& chart, const ChartView& view) {
    QWidget* widget = chart.Widget();
    chart.SetView(view);
    chart.Repaint();
    const TRect plot = chart.PlotArea();
    const double y = (plot.Top + plot.Bottom) / 2.0;
    QPointF at(plot.Left + 20, y);
    send_mouse(widget, QEvent::MouseButtonPress, at, Qt::LeftButton);
    std::vector<double> times;
    const std::size_t before = chart.FullRedraws();
    for (int step = 0; step < 200; ++step) {
        at += QPointF(step < 100 ? 4 : -4, step % 2 == 0 ? 1 : -1);
        const auto start = Clock::now();
        send_mouse(widget, QEvent::MouseMove, at, Qt::LeftButton);
        chart.Repaint();
        times.push_back(ms(Clock::now() - start));
    }
    send_mouse(widget, QEvent::MouseButtonRelease, at, Qt::NoButton);
    return timing_of(times, chart.FullRedraws() - before);
}

void measure(const char* name, std::function<Feed*()> make_feed, std::size_t prefill, int passes, ViewKind kind) {
    TChart chart(nullptr);
    chart.SetTitle("TChart");
    chart.SetBottomAxisTitle("[ms]");
    chart.SetBottomAxisIncrement(4);
    std::vector<TLineSeries*> series{chart.AddSeries("y (PWM)", 3), chart.AddSeries("v (IST)", 3, clNavy),
                                     chart.AddSeries("x (Pos)", 5), chart.AddSeries("x (SollPos)", 4)};
    QWidget* widget = chart.Widget();
    widget->resize(660, 309);
    widget->show();
    QCoreApplication::processEvents();

    std::unique_ptr<Feed> feed(make_feed());
    for (std::size_t i = 0; i < prefill; ++i) {
        feed->control();
        add_pass(series, *feed);
        feed->advance();
    }
    const auto fullStart = Clock::now();
    chart.Repaint();
    const double full = ms(Clock::now() - fullStart);
    QCoreApplication::processEvents();
    const double lastX = feed->time() - 4;
    if (kind != ViewKind::automatic) {
        chart.SetView(zoomed_view(chart, kind, lastX, passes));
        chart.Repaint();
    }
    const ChartView viewBefore = chart.View();

    PaintCounter counter;
    widget->installEventFilter(&counter);
    const std::size_t redrawsBefore = chart.FullRedraws();
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(passes));
    for (int pass = 0; pass < passes; ++pass) {
        const auto start = Clock::now();
        feed->control();
        add_pass(series, *feed);
        chart.Repaint();
        QCoreApplication::processEvents();
        times.push_back(ms(Clock::now() - start));
        feed->advance();
    }
    widget->removeEventFilter(&counter);
    if (gSaveDir) {
        widget->grab().save(QString("%1/%2-%3-%4.png").arg(gSaveDir).arg(name).arg(prefill).arg(view_name(kind)));
    }
    const bool viewHeld = kind == ViewKind::automatic || chart.View() == viewBefore;

    std::size_t bytes = 0;
    std::size_t points = 0;
    for (TLineSeries* s : series) {
        bytes += s->StorageBytes();
        points += s->Count();
    }
    const double perPoint = static_cast<double>(bytes) / static_cast<double>(points);
    const bool overBudget = prefill >= 100000 && perPoint >= kBytesPerPointBudget;
    gOverBudget = gOverBudget || overBudget;
    std::printf("%-8s %-6s pass N=%-7zu: median %.3f ms, p99 %.3f ms, max %.2f ms; first full redraw %.2f ms; "
                "%zu full redraws in %d passes; %.2f paints per pass; %.1f bytes per stored point%s%s\n",
                name, view_name(kind), prefill, percentile(times, 0.5), percentile(times, 0.99),
                *std::max_element(times.begin(), times.end()), full, chart.FullRedraws() - redrawsBefore, passes,
                static_cast<double>(counter.paints) / passes, perPoint, viewHeld ? "" : "; THE USER'S VIEW MOVED",
                overBudget ? "; OVER THE MEMORY BUDGET" : "");
    if (kind == ViewKind::middle && prefill >= 1000000) {
        const Timing zoom = time_zooms(chart);
        const Timing pan = time_pans(chart, zoomed_view(chart, ViewKind::middle, lastX, 0));
        std::printf("%-8s N=%-7zu: zoom (wheel notch + redraw) median %.2f ms, p99 %.2f ms, %zu full redraws in 100 notches; "
                    "pan (drag step + redraw) median %.2f ms, p99 %.2f ms, %zu full redraws in 200 steps\n",
                    name, prefill, zoom.median, zoom.p99, zoom.fullRedraws, pan.median, pan.p99, pan.fullRedraws);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && QString(argv[1]) == "--save") gSaveDir = argv[2];
    regulationRunning = true;
    const std::size_t sizes[] = {1000, 100000, 1000000};
    const int passes = 2000;
    struct Kind {
        const char* name;
        std::function<Feed*()> make;
    };
    const Kind feeds[] = {{"speed", [] { return new SpeedFeed; }},
                          {"position", [] { return new PositionFeed; }},
                          {"noise", [] { return new NoiseFeed; }}};
    for (const Kind& feed : feeds) {
        for (std::size_t n : sizes) measure(feed.name, feed.make, n, passes, ViewKind::automatic);
        measure(feed.name, feed.make, 1000000, passes, ViewKind::middle);
        measure(feed.name, feed.make, 1000000, passes, ViewKind::newest);
    }
    if (gOverBudget) std::printf("A series took %.0f bytes a point or more.\n", kBytesPerPointBudget);
    return gOverBudget ? 1 : 0;
}
