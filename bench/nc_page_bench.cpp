// Timing of the "NC Tests" page with real pauses, offscreen: the NC path
// plot and the circle test against the sum of their pauses, and the cost of
// one image repaint. Prints plain lines.
#include "toolkit/app/application.h"
#include "toolkit/sys/sysutils.h"
#include "window/main_form.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds_of(const std::function<void()>& run) {
    const auto start = Clock::now();
    run();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void report_run(const char* name, double floorSeconds, int repeats, const std::function<void()>& run) {
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) times.push_back(seconds_of(run));
    const double best = *std::min_element(times.begin(), times.end());
    const double mid = median(times);
    std::printf("%s: floor %.3f s, median %.3f s (+%.1f%%), best %.3f s (+%.1f%%), %d runs\n", name, floorSeconds,
                mid, 100.0 * (mid / floorSeconds - 1.0), best, 100.0 * (best / floorSeconds - 1.0), repeats);
}

}  // namespace

int main() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray dir = (QDir::tempPath() + "/vantrel-bench-runtime").toUtf8();
        QDir().mkpath(QString::fromUtf8(dir));
        QFile::setPermissions(QString::fromUtf8(dir), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", dir);
    }
    Application->Initialize();
    Application->CreateForm(Form1);
    Form1->Show();
    Application->ProcessMessages();

    // Warm-up without pauses: fonts, first paints, the bitmap itself.
    {
        SleepHandler previous = SetSleepHandler([](unsigned) {});
        Form1->btDrawNCPathClick(nullptr);
        Form1->Button3Click(nullptr);
        const double nc = seconds_of([] { Form1->btDrawNCPathClick(nullptr); });
        const double circle = seconds_of([] { Form1->Button3Click(nullptr); });
        std::printf("work without pauses: NC path plot %.2f ms (%.1f us per pass), circle test %.2f ms\n", nc * 1e3,
                    nc * 1e6 / 194.0, circle * 1e3);
        SetSleepHandler(std::move(previous));
    }

    {
        std::vector<double> over;
        for (const unsigned ms : {1u, 4u, 10u, 20u}) {
            for (int i = 0; i < 20; ++i) over.push_back(seconds_of([ms] { Sleep(ms); }) * 1e3 - ms);
        }
        std::printf("Sleep overshoot: median %.3f ms, max %.3f ms\n", median(over),
                    *std::max_element(over.begin(), over.end()));
    }

    report_run("NC path plot", 194 * 0.006, 5, [] { Form1->btDrawNCPathClick(nullptr); });
    report_run("circle test", 57 * 0.010 + 113 * 0.040, 2, [] { Form1->Button3Click(nullptr); });

    // One step's repaint: a dot as the plot draws it, then the forced paint.
    {
        TCanvas* canvas = Form1->Image1->Canvas();
        canvas->Pen.Width = 5;
        std::vector<double> times;
        for (int i = 0; i < 2000; ++i) {
            const int x = 50 + (i % 120);
            canvas->Pen.Color = (i & 1) ? clLime : clBlue;
            canvas->MoveTo(x, 100);
            canvas->LineTo(x, 100);
            times.push_back(seconds_of([] { Form1->Image1->Repaint(); }) * 1e3);
        }
        std::printf("image repaint per step: median %.4f ms, p90 %.4f ms\n", median(times), [&] {
            std::sort(times.begin(), times.end());
            return times[times.size() * 9 / 10];
        }());
        std::vector<double> idle;
        for (int i = 0; i < 500; ++i) idle.push_back(seconds_of([] { Form1->Image1->Repaint(); }) * 1e3);
        std::printf("image repaint with nothing new: median %.4f ms\n", median(idle));
    }

    Application->Shutdown();
    return 0;
}
