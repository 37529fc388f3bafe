// The live gain map in the real window (run it on a display; xvfb-run will
// do). Keys are typed into Kp one at a time, 100 ms apart as a quick typist
// types, the map following them:
// - a 128 x 128 position map of the demo: for every keystroke, the time from
//   it to its complete map (when one completed before the next key);
// - a 512 x 512 one: the time from each value's last keystroke to its map;
// - while a 512 x 512 map is made: the longest the message loop was busy
//   (the longest wait of a 5 ms timer beyond its 5 ms) and the longest gap
//   between two paints of the map;
// - the pace of a speed-mode regulation (its pass periods: 20 ms of pause and
//   the pass's work) alone and while "Find gains" searches a large box.
// With the machine's load average and the CPU time the process spent. Plain lines.
#include "analysis/frame/analysis_dock.h"
#include "analysis/frame/analysis_panel.h"
#include "analysis/map/gain_map_section.h"
#include "analysis/map/gain_map_view.h"
#include "analysis/search/find_gains_section.h"
#include "toolkit/app/application.h"
#include "toolkit/controls/check_box.h"
#include "toolkit/controls/labeled_edit.h"
#include "toolkit/sys/sysutils.h"
#include "window/main_form.h"

#include <sys/resource.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollArea>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

QElapsedTimer runClock;  // since the start
double now_ms() { return static_cast<double>(runClock.nsecsElapsed()) / 1e6; }

double cpu_ms() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return (use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1e3 + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e3;
}

void run_for(double ms) {
    const double until = now_ms() + ms;
    while (now_ms() < until) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
}

struct Figures {
    std::vector<double> values;
    void add(double v) { values.push_back(v); }
    double at(double share) {
        std::sort(values.begin(), values.end());
        return values.empty() ? 0 : values[std::min(values.size() - 1, static_cast<std::size_t>(share * values.size()))];
    }
    double median() { return at(0.5); }
    double worst() { return at(1.0); }
};

// The ends of complete maps, in ms since the start.
struct MapEnds {
    std::vector<double> at;
    GainMapSection* section = nullptr;
    void watch(GainMapSection* s) {
        section = s;
        s->onSweepEnded = [this] {
            if (section->view()->filled() == static_cast<int>(section->model().total())) at.push_back(now_ms());
        };
    }
    // The first end after `from`, waiting up to 60 s for it.
    double first_after(double from) {
        const double limit = now_ms() + 60000;
        for (;;) {
            for (double t : at) {
                if (t >= from) return t;
            }
            if (now_ms() > limit) return -1;
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        }
    }
};

// Types `values` into the edit, each after Ctrl+A, one key every `gapMs`:
// the time from each key to the first complete map after it, for the keys
// whose map came before the next key (all keys) and for each value's last.
// A key that leaves the map's ranges as they were makes no map.
void type_values(QWidget* edit, MapEnds& ends, int values, int first, int gapMs, Figures& everyKey, Figures& lastKey,
                 Figures& cpu) {
    for (int v = 0; v < values; ++v) {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        const QString text = QString::number(first + 10 * v);
        double key = 0, cpuAtKey = 0;
        for (int i = 0; i < text.size(); ++i) {
            key = now_ms();
            cpuAtKey = cpu_ms();
            QTest::keyClick(edit, text[i].toLatin1());
            if (i + 1 == text.size()) break;
            run_for(gapMs);
            for (double t : ends.at) {
                if (t >= key) {
                    everyKey.add(t - key);
                    break;
                }
            }
        }
        const double end = ends.first_after(key);
        if (end < 0) {
            std::printf("no complete map after the last key: %s\n", ends.section->status_text().toStdString().c_str());
            std::_Exit(1);
        }
        if (v > 0) {  // the first warms up
            everyKey.add(end - key);
            lastKey.add(end - key);
            cpu.add(cpu_ms() - cpuAtKey);
        }
        run_for(gapMs);
    }
}

// Pass periods of a speed-mode run of `passes` passes: from one pause's start to the next.
Figures regulation_pace(int passes) {
    Figures periods;
    double last = -1;
    int count = 0;
    const SleepHandler previous = SetSleepHandler([&](unsigned ms) {
        const double t = now_ms();
        if (last >= 0) periods.add(t - last);
        last = t;
        if (++count == passes) QTimer::singleShot(0, [] { Form1->Button2Click(nullptr); });
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    });
    Form1->Button1Click(nullptr);  // returns when the run ends
    SetSleepHandler(previous);
    return periods;
}

double load_average() {
    double load[1] = {0};
    getloadavg(load, 1);
    return load[0];
}

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    runClock.start();
    Application->Initialize();
    Application->CreateForm(Form1);
    Form1->Show();
    if (!QTest::qWaitForWindowExposed(Form1->Widget())) {
        std::printf("the window did not show\n");
        return 1;
    }
    Form1->Widget()->resize(1280, 1000);
    Form1->Analysis->open();
    QApplication::processEvents();
    auto* section = dynamic_cast<GainMapSection*>(Form1->Analysis->panel()->findChild<QWidget*>("gainMap"));
    auto* search = dynamic_cast<FindGainsSection*>(Form1->Analysis->panel()->findChild<QWidget*>("findGains"));
    if (!section || !search) {
        std::printf("no gain map or find gains section\n");
        std::_Exit(1);
    }
    for (QWidget* up = section; up; up = up->parentWidget()) {
        if (auto* scroll = dynamic_cast<QScrollArea*>(up)) scroll->ensureWidgetVisible(section->view());
    }
    QApplication::processEvents();
    MapEnds ends;
    ends.watch(section);
    std::printf("load average at start: %.1f on %u threads; window %dx%d, map view %dx%d\n", load_average(),
                std::thread::hardware_concurrency(), Form1->Widget()->width(), Form1->Widget()->height(),
                section->view()->width(), section->view()->height());

    // Kp across and Ki up, the map following what is typed into Kp.
    QWidget* kp = Form1->edKp->FocusWidget();
    section->findChild<QComboBox*>("xGain")->setCurrentIndex(0);
    section->findChild<QComboBox*>("yGain")->setCurrentIndex(1);
    const struct {
        int cells;
        const char* xRange;
        const char* yRange;
        int values;
        int first;  // typed: first, first + 10, ...; each moves the ranges
    } maps[] = {{128, "0:1270:10", "0:127:1", 13, 1000}, {512, "0:5110:10", "0:511:1", 9, 3000}};
    for (const auto& map : maps) {
        section->findChild<QLineEdit*>("xRange")->setText(map.xRange);
        section->findChild<QLineEdit*>("yRange")->setText(map.yRange);
        Figures everyKey, lastKey, cpu;
        type_values(kp, ends, map.values, map.first, 100, everyKey, lastKey, cpu);
        std::printf("%d x %d position map of the demo, keys 100 ms apart: key to complete map median %.0f ms (worst %.0f, "
                    "%zu keys whose map came before the next); a value's last key to its map median %.0f ms (best %.0f, "
                    "worst %.0f, %zu values), %.0f ms of CPU each (median); the last said: %s\n",
                    map.cells, map.cells, everyKey.median(), everyKey.worst(), everyKey.values.size(), lastKey.median(),
                    lastKey.at(0), lastKey.worst(), lastKey.values.size(), cpu.median(),
                    section->status_text().toStdString().c_str());
    }

    // The window while a 512 x 512 map is made: the message loop and the paints.
    struct PaintWatch : QObject {
        std::vector<double> starts;
        const GainMapView* view = nullptr;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint && view->filled() > 0 && view->filled() < 512 * 512) starts.push_back(now_ms());
            return false;
        }
    } paints;
    paints.view = section->view();
    section->view()->installEventFilter(&paints);
    double lastTick = now_ms(), worstLag = 0;
    QTimer lag;
    lag.setTimerType(Qt::PreciseTimer);
    lag.setInterval(5);
    QObject::connect(&lag, &QTimer::timeout, [&] {
        worstLag = std::max(worstLag, now_ms() - lastTick - 5);
        lastTick = now_ms();
    });
    const double start = now_ms();
    lastTick = start;
    lag.start();
    section->start_sweep();
    const double end = ends.first_after(start);
    lag.stop();
    section->view()->removeEventFilter(&paints);
    double gap = 0;
    for (std::size_t i = 1; i < paints.starts.size(); ++i) gap = std::max(gap, paints.starts[i] - paints.starts[i - 1]);
    const double paintStart = now_ms();
    section->view()->repaint();
    std::printf("512 x 512 map by Sweep: %.0f ms to complete, %zu paints of the map while it came, the longest gap between "
                "two %.1f ms; the message loop busy at most %.1f ms at a time; one paint of the full map %.1f ms\n",
                end - start, paints.starts.size(), gap, worstLag, now_ms() - paintStart);

    // A regulation's pace alone, then while Find gains searches a large box.
    section->findChild<QCheckBox*>("follow")->setChecked(false);
    Form1->cbSpeedRegulation->SetChecked(true);
    Figures alone = regulation_pace(150);
    for (const char* name : {"kpRange", "kiRange", "kdRange", "kvRange"}) search->findChild<QLineEdit*>(name)->setText("0:2000");
    const double cpuBefore = cpu_ms();
    search->start();
    Figures busy = regulation_pace(150);
    const double searched = search->model().measured();
    search->cancel();
    std::printf("speed-mode regulation, pass period (20 ms pause and the pass): alone median %.1f ms, 95th %.1f, worst %.1f; "
                "while Find gains searched (%.0f sets, %.0f ms of CPU): median %.1f ms, 95th %.1f, worst %.1f\n",
                alone.median(), alone.at(0.95), alone.worst(), searched, cpu_ms() - cpuBefore, busy.median(), busy.at(0.95),
                busy.worst());
    std::printf("load average at end: %.1f\n", load_average());
    delete Form1;
    return 0;
}
