#include "tests/toolkit/chart_test_support.h"
#include "toolkit/chart/chart.h"
#include "toolkit/app/exception.h"

#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QLine>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// The chart as the window builds it.
struct WindowChart {
    explicit WindowChart(QWidget* parent = nullptr) : chart(parent) {
        chart.SetTitle("TChart");
        chart.SetBottomAxisTitle("[ms]");
        chart.SetBottomAxisIncrement(4);
        series = {chart.AddSeries("y (PWM)", 3), chart.AddSeries("x (Speed)", 3, clNavy),
                  chart.AddSeries("x (Pos)", 5), chart.AddSeries("x (SollPos)", 4)};
        chart.Widget()->resize(660, 309);
    }
    TChart chart;
    std::vector<TLineSeries*> series;
};

QImage picture(const TChart& chart) { return chart.Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

int count_color(const QImage& image, const TRect& area, TColor c) {
    int n = 0;
    for (int y = area.Top; y < area.Bottom; ++y) {
        for (int x = area.Left; x < area.Right; ++x) n += has_color(image, x, y, c) ? 1 : 0;
    }
    return n;
}

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// Data of one pass for each of the four series.
using PassData = std::function<void(int pass, double (&y)[4])>;

void run_passes(WindowChart& w, int passes, const PassData& data, bool repaintEach = true) {
    for (int pass = 0; pass < passes; ++pass) {
        double y[4];
        data(pass, y);
        for (std::size_t s = 0; s < 4; ++s) w.series[s]->AddXY(4.0 * pass, y[s]);
        if (repaintEach) w.chart.Repaint();
    }
    w.chart.Repaint();
}

struct Dataset {
    const char* name;
    int passes;
    PassData data;
};

std::vector<Dataset> datasets() {
    auto rng = std::make_shared<std::mt19937>(11);
    return {
        {"steady after a step", 400,
         [](int pass, double (&y)[4]) {
             y[0] = pass < 20 ? 248 - pass : 200;
             y[1] = pass < 20 ? 4 * pass : 80;
             y[2] = pass * 0.5;
             y[3] = pass * 0.5 + 1;  // overlaps the wider series 3
         }},
        {"dense noise", 1500,
         [rng](int, double (&y)[4]) {
             for (double& v : y) v = double((*rng)() % 2001) - 1000;
         }},
        {"oscillation", 800,
         [](int pass, double (&y)[4]) {
             for (int s = 0; s < 4; ++s) y[s] = 100 * std::sin(pass * 0.05 * (s + 1));
         }},
    };
}

}  // namespace

TEST(Chart, StoresPointsInOrderAndClears) {
    WindowChart w;
    TLineSeries& s = *w.series[0];
    EXPECT_EQ(0, s.AddXY(0, 1.5));
    EXPECT_EQ(1, s.AddXY(4, -2));
    EXPECT_EQ(2, s.AddXY(8, 70000));
    ASSERT_EQ(3u, s.Count());
    EXPECT_EQ(4, s.XValue(1));
    EXPECT_EQ(70000, s.YValue(2));
    EXPECT_THROW(s.XValue(3), Exception);
    EXPECT_THROW(s.YValue(3), Exception);
    s.Clear();
    EXPECT_EQ(0u, s.Count());
    EXPECT_EQ(0u, w.series[1]->Count());
    EXPECT_EQ(0, s.AddXY(12, 3));
}

TEST(Chart, SeriesColoursAndWidths) {
    WindowChart w;
    const int widths[] = {3, 3, 5, 4};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(widths[i], w.series[i]->Width());
    EXPECT_EQ(clNavy, w.series[1]->Color());
    // Defaults: distinct, not navy, and dark enough to read on white.
    for (std::size_t i : {0u, 2u, 3u}) {
        SCOPED_TRACE(i);
        const TColor c = w.series[i]->Color();
        EXPECT_NE(clNavy, c);
        EXPECT_NE(clDefaultColor, c);
        EXPECT_LT(color_red(c) + color_green(c) + color_blue(c), 3 * 230);
        for (std::size_t j : {0u, 2u, 3u}) {
            if (j != i) {
                EXPECT_NE(c, w.series[j]->Color());
            }
        }
    }
}

TEST(Chart, RepaintPaintsInsideTheCall) {
    WindowChart w;
    w.chart.Widget()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.chart.Widget()));
    PaintCounter counter;
    w.chart.Widget()->installEventFilter(&counter);
    struct Step {
        const char* name;
        std::function<void()> change;
    };
    const Step steps[] = {
        {"first points", [&] { for (auto* s : w.series) s->AddXY(0, 0); }},
        {"one more point each", [&] { for (auto* s : w.series) s->AddXY(4, 10); }},
        {"nothing new", [] {}},
        {"a range growth", [&] { w.series[0]->AddXY(1000, 5000); }},
        {"a title change", [&] { w.series[0]->SetTitle("y (V Soll)"); }},
        {"a clear", [&] { w.series[0]->Clear(); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        const int before = counter.paints;
        w.chart.Repaint();
        EXPECT_GE(counter.paints, before + 1);
    }
    w.chart.Widget()->removeEventFilter(&counter);
}

TEST(Chart, DrawsTheLineInItsColourAndWidth) {
    struct Row {
        int width;
        TColor color;
    };
    const Row rows[] = {{1, clDefaultColor}, {3, clNavy}, {4, clDefaultColor}, {5, 0x00A000}};
    for (const Row& row : rows) {
        SCOPED_TRACE("width " + std::to_string(row.width));
        TChart chart(nullptr);
        TLineSeries* s = chart.AddSeries("line", row.width, row.color);
        chart.Widget()->resize(660, 309);
        s->AddXY(0, 50);
        s->AddXY(100, 50);
        s->AddXY(200, 60);  // so that y = 50 is not on the plot's edge
        chart.Repaint();
        const QImage image = picture(chart);
        const ChartPixel a = chart.PointPixel(*s, 0);
        const ChartPixel b = chart.PointPixel(*s, 1);
        ASSERT_EQ(a.Y, b.Y);
        const int x = (a.X + b.X) / 2;
        int first = -1;
        int run = 0;
        for (int y = a.Y - 10; y <= a.Y + 10; ++y) {
            if (has_color(image, x, y, s->Color())) {
                if (first < 0) first = y;
                ++run;
            }
        }
        EXPECT_EQ(row.width, run);
        EXPECT_LE(first, a.Y);
        EXPECT_GE(first + run - 1, a.Y);
        EXPECT_FALSE(has_color(image, x, first + run, s->Color()));  // one run, no gaps
        // The line runs the whole way between its points.
        for (int px = a.X; px <= b.X; ++px) EXPECT_TRUE(has_color(image, px, a.Y, s->Color())) << px;
    }
}

TEST(Chart, LegendShowsTheTitles) {
    WindowChart w;
    for (auto* s : w.series) s->AddXY(0, 0);
    w.chart.Repaint();
    const TRect plot = w.chart.PlotArea();
    const QImage before = picture(w.chart);
    // Every series' swatch is right of the plot, in the legend.
    for (auto* s : w.series) {
        SCOPED_TRACE(s->Title());
        EXPECT_GT(count_color(before, TRect{plot.Right + 4, 0, before.width(), before.height()}, s->Color()), 20);
    }
    const std::size_t redraws = w.chart.FullRedraws();
    w.series[0]->SetTitle("a much longer title than the others");
    w.chart.Repaint();
    EXPECT_EQ(redraws + 1, w.chart.FullRedraws());
    // A longer title widens the legend and so narrows the plot.
    EXPECT_LT(w.chart.PlotArea().Right, plot.Right);
    EXPECT_NE(before, picture(w.chart));
    // The same title again changes nothing.
    w.series[0]->SetTitle("a much longer title than the others");
    w.chart.Repaint();
    EXPECT_EQ(redraws + 1, w.chart.FullRedraws());
}

TEST(Chart, FullRedrawShowsWhatTheIncrementalDrawingShowed) {
    for (const Dataset& data : datasets()) {
        SCOPED_TRACE(data.name);
        WindowChart w;
        run_passes(w, data.passes, data.data);
        // Most passes drew only their new strip.
        EXPECT_LT(w.chart.FullRedraws(), std::size_t(data.passes / 10));
        const QImage incremental = picture(w.chart);
        const std::size_t redraws = w.chart.FullRedraws();
        w.chart.SetTitle("TChart");
        w.chart.Repaint();
        ASSERT_EQ(redraws + 1, w.chart.FullRedraws());
        const QImage full = picture(w.chart);
        ASSERT_EQ(incremental.size(), full.size());
        int differing = 0;
        for (int y = 0; y < full.height(); ++y) {
            for (int x = 0; x < full.width(); ++x) differing += incremental.pixel(x, y) != full.pixel(x, y) ? 1 : 0;
        }
        EXPECT_EQ(0, differing);
    }
}

TEST(Chart, ColumnSummaryLooksLikeTheRawPolyline) {
    struct Row {
        const char* name;
        int points;
        int width;
        std::function<double(int)> y;
    };
    auto rng = std::make_shared<std::mt19937>(5);
    const Row rows[] = {
        {"sparse ramp", 150, 3, [](int i) { return i % 40 < 20 ? i : -i; }},
        {"dense noise, many points per column", 6000, 5, [rng](int) { return double((*rng)() % 1000); }},
        {"dense sine", 20000, 4, [](int i) { return 500 * std::sin(i * 0.003); }},
        {"thin pen", 3000, 1, [rng](int i) { return std::sin(i * 0.01) * 100 + double((*rng)() % 20); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TChart chart(nullptr);
        TLineSeries* s = chart.AddSeries("s", row.width, clNavy);
        chart.Widget()->resize(660, 309);
        for (int i = 0; i < row.points; ++i) s->AddXY(i, row.y(i));
        chart.Repaint();
        const QImage drawn = picture(chart);
        const TRect plot = chart.PlotArea();

        QImage raw(drawn.size(), QImage::Format_RGB32);
        raw.fill(Qt::white);
        // The raw polyline, segment by segment as points arrive, each with
        // the pen's square caps.
        std::vector<QLine> segments;
        ChartPixel previous = chart.PointPixel(*s, 0);
        for (int i = 1; i < row.points; ++i) {
            const ChartPixel p = chart.PointPixel(*s, static_cast<std::size_t>(i));
            segments.emplace_back(previous.X, previous.Y, p.X, p.Y);
            previous = p;
        }
        {
            QPainter painter(&raw);
            painter.setPen(QPen(QColor(rgb_of(clNavy)), row.width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
            painter.drawLines(segments.data(), static_cast<int>(segments.size()));
        }
        const auto [inRaw, differing] = compare_color(drawn, raw, plot, clNavy);
        ASSERT_GT(inRaw, 100);
        EXPECT_LE(differing, inRaw / 100) << differing << " of " << inRaw;
    }
}

TEST(Chart, EveryPointStaysOnScreen) {
    struct Row {
        const char* name;
        std::vector<std::pair<double, double>> points;
    };
    const Row rows[] = {
        {"one point", {{0, 0}}},
        {"growing ramp", {{0, 0}, {4, 10}, {400, 1000}, {40000, 300000}, {4000000, 3e7}}},
        {"falling below zero", {{0, 0}, {4, -10}, {8, -32768}, {12, -40000}}},
        {"a spike", {{0, 0}, {4, 0}, {8, 65535}, {12, 0}}},
        {"away from zero", {{1000, 5}, {1004, 5}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TChart chart(nullptr);
        TLineSeries* s = chart.AddSeries("s", 5, clNavy);
        chart.Widget()->resize(660, 309);
        for (auto [x, y] : row.points) {
            s->AddXY(x, y);
            chart.Repaint();
            const TRect plot = chart.PlotArea();
            const QImage image = picture(chart);
            for (std::size_t i = 0; i < s->Count(); ++i) {
                const ChartPixel p = chart.PointPixel(*s, i);
                EXPECT_TRUE(p.X >= plot.Left && p.X < plot.Right && p.Y >= plot.Top && p.Y < plot.Bottom)
                    << "point " << i << " at " << p.X << "," << p.Y;
                EXPECT_TRUE(has_color(image, p.X, p.Y, clNavy)) << "point " << i;
            }
        }
    }
}

TEST(Chart, ClearDropsTheLinesAndTheRanges) {
    WindowChart w;
    run_passes(w, 300, [](int pass, double (&y)[4]) {
        for (double& v : y) v = 1000.0 * pass;
    });
    for (auto* s : w.series) s->Clear();
    w.chart.Repaint();
    const QImage empty = picture(w.chart);
    const TRect plot = w.chart.PlotArea();
    for (auto* s : w.series) EXPECT_EQ(0, count_color(empty, plot, s->Color()));

    // The ranges start afresh: a short series fills the plot again.
    w.series[0]->AddXY(0, 0);
    w.series[0]->AddXY(8, 1);
    w.chart.Repaint();
    const TRect after = w.chart.PlotArea();
    EXPECT_EQ(after.Right - 1, w.chart.PointPixel(*w.series[0], 1).X);
    EXPECT_LT(w.chart.PointPixel(*w.series[0], 1).Y, (after.Top + after.Bottom) / 2);
}

TEST(Chart, ResizeDrawsAnewAtTheNewSize) {
    WindowChart w;
    run_passes(w, 100, [](int pass, double (&y)[4]) {
        for (int s = 0; s < 4; ++s) y[s] = pass * (s + 1);
    });
    const std::size_t redraws = w.chart.FullRedraws();
    w.chart.Widget()->resize(400, 200);
    w.chart.Repaint();
    EXPECT_EQ(redraws + 1, w.chart.FullRedraws());
    const QImage image = picture(w.chart);
    EXPECT_EQ(QSize(400, 200), image.size());
    const TRect plot = w.chart.PlotArea();
    EXPECT_LE(plot.Right, 400);
    EXPECT_LE(plot.Bottom, 200);
    const ChartPixel last = w.chart.PointPixel(*w.series[3], 99);
    EXPECT_TRUE(last.X > plot.Left && last.X < plot.Right && last.Y >= plot.Top && last.Y < plot.Bottom);
    EXPECT_TRUE(has_color(image, last.X, last.Y, w.series[3]->Color()));
}

TEST(Chart, EarlierPointsGoToTheirPlaceAndAreDrawnThere) {
    // A run nested in another clears the chart; the outer run then goes on
    // at its own, possibly earlier, time.
    WindowChart w;
    for (int pass = 0; pass < 50; ++pass) {
        for (auto* s : w.series) s->AddXY(8.0 * pass, pass % 7);
        w.chart.Repaint();
    }
    for (auto* s : w.series) EXPECT_EQ(10, s->AddXY(76, 20));
    w.chart.Repaint();
    EXPECT_EQ(76, w.series[0]->XValue(10));
    EXPECT_EQ(80, w.series[0]->XValue(11));
    const QImage incremental = picture(w.chart);
    w.chart.SetTitle("TChart");
    w.chart.Repaint();
    EXPECT_EQ(incremental, picture(w.chart));
}

TEST(Chart, OutlivesItsWidget) {
    auto parent = std::make_unique<QWidget>();
    WindowChart w(parent.get());
    w.series[0]->AddXY(0, 1);
    w.chart.Repaint();
    parent.reset();  // Qt deletes the chart's widget with its parent
    EXPECT_EQ(nullptr, w.chart.Widget());
    w.series[0]->AddXY(4, 2);
    w.series[0]->SetTitle("still here");
    w.series[0]->Clear();
    w.chart.Repaint();
    EXPECT_EQ(0u, w.series[0]->Count());
}
