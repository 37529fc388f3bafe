// The live gain map in the real window (run it on a display; xvfb-run will
// do): the time from the last keystroke in the Kp edit to a complete 128 x 128
// position map of the demo, and how the window keeps up while the rows of a
// 512 x 512 map arrive: the longest wait of a 5 ms timer beyond its 5 ms (the
// longest the message loop was busy: no frame can be shorter), the longest
// gap between two paints of the map, and the longest paint. Plain lines.
#include "analysis/frame/analysis_dock.h"
#include "analysis/frame/analysis_panel.h"
#include "analysis/map/gain_map_section.h"
#include "analysis/map/gain_map_view.h"
#include "toolkit/app/application.h"
#include "toolkit/controls/labeled_edit.h"
#include "window/main_form.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollArea>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Paints of the map while its rows arrive: when each began.
struct PaintWatch : QObject {
    QElapsedTimer clock;
    std::vector<qint64> starts;
    const GainMapView* view = nullptr;
    int cells = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && view->filled() > 0 && view->filled() < cells) {
            starts.push_back(clock.nsecsElapsed());
        }
        return false;
    }
};

// The longest the message loop let a 5 ms timer wait beyond its interval.
struct LoopLag {
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0, worst = 0;
    LoopLag() {
        timer.setInterval(5);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed();
            worst = std::max(worst, now - last - 5'000'000);
            last = now;
        });
    }
    void start() {
        clock.start();
        last = 0;
        worst = 0;
        timer.start();
    }
};

bool wait_for_end(bool& ended) {
    QElapsedTimer clock;
    clock.start();
    while (!ended && clock.elapsed() < 60000) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return ended;
}

double ms(qint64 ns) { return static_cast<double>(ns) / 1e6; }

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
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
    if (!section) {
        std::printf("no gain map section\n");
        std::_Exit(1);
    }
    section->set_trace_program(VANTREL_TRACE_PATH);
    for (QWidget* up = section; up; up = up->parentWidget()) {
        if (auto* scroll = dynamic_cast<QScrollArea*>(up)) scroll->ensureWidgetVisible(section->view());
    }
    QApplication::processEvents();
    bool ended = false;
    section->onSweepEnded = [&ended] { ended = true; };
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("load average at start: %.1f; window %dx%d, map view %dx%d\n", load[0], Form1->Widget()->width(),
                Form1->Widget()->height(), section->view()->width(), section->view()->height());

    // 128 x 128, Kp across and Ki up, the map following what is typed into Kp.
    section->findChild<QComboBox*>("xGain")->setCurrentIndex(0);
    section->findChild<QComboBox*>("yGain")->setCurrentIndex(1);
    section->findChild<QLineEdit*>("xRange")->setText("0:1270:10");
    section->findChild<QLineEdit*>("yRange")->setText("0:127:1");
    QWidget* kp = Form1->edKp->FocusWidget();
    std::vector<double> latencies;
    for (int i = 0; i < 12; ++i) {
        kp->setFocus();
        QTest::keyClick(kp, Qt::Key_A, Qt::ControlModifier);
        ended = false;
        QTest::keyClicks(kp, QString::number(1000 + 10 * i));  // the last keystroke ends here
        QElapsedTimer sinceKey;
        sinceKey.start();
        if (!wait_for_end(ended) || section->view()->filled() != 128 * 128) {
            std::printf("the 128 x 128 map did not complete (%s): %s\n", section->isVisible() ? "shown" : "hidden",
                        section->status_text().toStdString().c_str());
            std::_Exit(1);
        }
        if (i > 1) latencies.push_back(static_cast<double>(sinceKey.nsecsElapsed()) / 1e6);  // two to warm up
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("128 x 128 position map of the demo, last keystroke to complete map (150 ms of it waiting for more "
                "keys): median %.0f ms, best %.0f ms, worst %.0f ms over %zu maps; the last said: %s\n",
                latencies[latencies.size() / 2], latencies.front(), latencies.back(), latencies.size(),
                section->status_text().toStdString().c_str());

    // 512 x 512, started by the Sweep button.
    section->findChild<QLineEdit*>("xRange")->setText("0:5110:10");
    section->findChild<QLineEdit*>("yRange")->setText("0:511:1");
    PaintWatch paints;
    paints.view = section->view();
    paints.cells = 512 * 512;
    section->view()->installEventFilter(&paints);
    LoopLag lag;
    paints.clock.start();
    lag.start();
    ended = false;
    section->start_sweep();
    if (!wait_for_end(ended) || section->view()->filled() != 512 * 512) {
        std::printf("the 512 x 512 map did not complete: %s\n", section->status_text().toStdString().c_str());
        std::_Exit(1);
    }
    const qint64 total = paints.clock.nsecsElapsed();
    qint64 gap = 0;
    for (std::size_t i = 1; i < paints.starts.size(); ++i) gap = std::max(gap, paints.starts[i] - paints.starts[i - 1]);
    QElapsedTimer one;
    one.start();
    section->view()->repaint();
    const qint64 paint = one.nsecsElapsed();
    std::printf("512 x 512 position map of the demo: %.2f s to complete, %zu paints of the map while its rows came, the longest "
                "gap between two %.1f ms; the message loop busy at most %.1f ms at a time; one paint of the full map %.1f ms\n",
                ms(total) / 1000.0, paints.starts.size(), ms(gap), ms(lag.worst), ms(paint));
    getloadavg(load, 1);
    std::printf("load average at end: %.1f\n", load[0]);
    delete Form1;
    return 0;
}
