#include "tests/toolkit/chart_test_support.h"
#include "toolkit/chart/chart.h"
#include "toolkit/controls/popup_menu.h"

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPen>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

// The chart as the window builds it, shown, with `passes` points a series.
struct ShownChart {
    explicit ShownChart(int passes = 400) : chart(nullptr) {
        chart.SetTitle("TChart");
        chart.SetBottomAxisTitle("[ms]");
        chart.SetBottomAxisIncrement(4);
        series = {chart.AddSeries("y (PWM)", 3), chart.AddSeries("x (Speed)", 3, clNavy),
                  chart.AddSeries("x (Pos)", 5), chart.AddSeries("x (SollPos)", 4)};
        chart.Widget()->resize(660, 309);
        chart.Widget()->show();
        add_passes(passes);
    }
    // One point a series per pass at 4 ms steps, each pass repainted as the
    // regulation does.
    void add_passes(int passes) {
        for (int i = 0; i < passes; ++i, ++pass) {
            for (std::size_t s = 0; s < 4; ++s) {
                series[s]->AddXY(4.0 * pass, 100 * std::sin(pass * 0.02 * double(s + 1)) + 10.0 * pass / 100);
            }
            chart.Repaint();
        }
    }
    QWidget* widget() const { return chart.Widget(); }

    TChart chart;
    std::vector<TLineSeries*> series;
    int pass = 0;
};

QImage picture(const TChart& chart) { return chart.Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

QPoint at(ChartPixel p) { return QPoint(p.X, p.Y); }

void wheel(QWidget* widget, QPoint pos, int notches, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWheelEvent event(pos, widget->mapToGlobal(QPointF(pos)), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

void drag(QWidget* widget, Qt::MouseButton button, QPoint from, QPoint to) {
    QTest::mousePress(widget, button, Qt::NoModifier, from);
    for (int step = 1; step <= 4; ++step) QTest::mouseMove(widget, from + (to - from) * step / 4);
    QTest::mouseRelease(widget, button, Qt::NoModifier, to);
}

// The same through the widget's window, as the platform delivers it: only
// this way does a right-click also bring a context-menu request.
void drag_in_window(QWidget* widget, Qt::MouseButton button, QPoint from, QPoint to) {
    QWindow* window = widget->windowHandle();
    QTest::mousePress(window, button, Qt::NoModifier, from);
    for (int step = 1; step <= 4; ++step) QTest::mouseMove(window, from + (to - from) * step / 4);
    QTest::mouseRelease(window, button, Qt::NoModifier, to);
}

double x_span(const ChartView& v) { return v.XMax - v.XMin; }
double y_span(const ChartView& v) { return v.YMax - v.YMin; }

void expect_near_pixel(QPoint expected, ChartPixel actual) {
    EXPECT_NEAR(expected.x(), actual.X, 1);
    EXPECT_NEAR(expected.y(), actual.Y, 1);
}

// A full redraw of the view now shown, to compare with what the strips drew.
QImage redrawn(TChart& chart) {
    const std::size_t redraws = chart.FullRedraws();
    chart.SetTitle("TChart");
    chart.Repaint();
    EXPECT_EQ(redraws + 1, chart.FullRedraws());
    return picture(chart);
}

}  // namespace

TEST(ChartZoom, WheelZoomsAroundTheCursor) {
    struct Row {
        const char* name;
        Qt::KeyboardModifiers modifiers;
        int notches;
        std::size_t index;  // of the point of series 3 under the cursor
        double xFactor;
        double yFactor;
    };
    const Row rows[] = {
        {"a notch in", Qt::NoModifier, 1, 100, 0.8, 0.8},
        {"three notches in", Qt::NoModifier, 3, 300, 0.512, 0.512},
        {"a notch out", Qt::NoModifier, -1, 200, 1.25, 1.25},
        {"Shift zooms X only", Qt::ShiftModifier, 2, 50, 0.64, 1},
        {"Ctrl zooms Y only", Qt::ControlModifier, 2, 350, 1, 0.64},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ShownChart w;
        const ChartView before = w.chart.View();
        const QPoint cursor = at(w.chart.PointPixel(*w.series[3], row.index));
        wheel(w.widget(), cursor, row.notches, row.modifiers);
        w.chart.Repaint();
        EXPECT_TRUE(w.chart.UserView());
        const ChartView after = w.chart.View();
        EXPECT_NEAR(row.xFactor, x_span(after) / x_span(before), 1e-9);
        EXPECT_NEAR(row.yFactor, y_span(after) / y_span(before), 1e-9);
        expect_near_pixel(cursor, w.chart.PointPixel(*w.series[3], row.index));
    }
}

TEST(ChartZoom, DragPansByTheDraggedDistance) {
    struct Row {
        const char* name;
        QPoint by;
        bool pans;
    };
    const Row rows[] = {
        {"to the right", {120, 0}, true},
        {"left and down", {-80, 40}, true},
        {"up", {0, -60}, true},
        {"a click's wobble is no pan", {3, 2}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ShownChart w;
        wheel(w.widget(), at(w.chart.PointPixel(*w.series[0], 200)), 2);  // pans a zoomed view too
        const ChartView before = w.chart.View();
        const bool zoomed = w.chart.UserView();
        const QPoint from = at(w.chart.PointPixel(*w.series[0], 200));
        drag(w.widget(), Qt::LeftButton, from, from + row.by);
        w.chart.Repaint();
        EXPECT_EQ(zoomed, w.chart.UserView());
        const ChartView after = w.chart.View();
        EXPECT_NEAR(x_span(before), x_span(after), x_span(before) * 1e-12);
        EXPECT_NEAR(y_span(before), y_span(after), y_span(before) * 1e-12);
        if (row.pans) {
            expect_near_pixel(from + row.by, w.chart.PointPixel(*w.series[0], 200));
        } else {
            EXPECT_EQ(before, after);
        }
    }
}

TEST(ChartZoom, DoubleClickShowsWhatAChartFittedToItsDataShows) {
    ShownChart zoomed;
    ShownChart plain;
    wheel(zoomed.widget(), QPoint(300, 150), 4);
    drag(zoomed.widget(), Qt::LeftButton, QPoint(300, 150), QPoint(200, 100));
    // Points beyond the automatic ranges arrive in the user's view.
    zoomed.add_passes(1500);
    plain.add_passes(1500);
    plain.chart.FitToData();
    EXPECT_TRUE(zoomed.chart.UserView());
    QTest::mouseDClick(zoomed.widget(), Qt::LeftButton, Qt::NoModifier, QPoint(250, 120));
    zoomed.chart.Repaint();
    EXPECT_FALSE(zoomed.chart.UserView());
    EXPECT_EQ(plain.chart.View(), zoomed.chart.View());
    EXPECT_EQ(picture(plain.chart), picture(zoomed.chart));
}

TEST(ChartZoom, UserViewHoldsWhilePointsArriveAndLooksAsAFullRedraw) {
    struct Row {
        const char* name;
        ChartView view;  // empty: a wheel zoom at the plot's middle instead
        bool lastPointShows;
    };
    // The first 400 passes reach X = 1596 ms; 300 more reach 2796.
    const Row rows[] = {
        {"wheel zoom, new points off to the right", {}, false},
        {"the newest points, arriving in view", {1200, 3000, -150, 150}, true},
        {"new points above and below a narrow Y range", {1500, 2900, -20, 20}, false},
        {"a deep zoom, neighbours far outside", {1599.99, 1600.01, -10, 10}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ShownChart w;
        if (row.view == ChartView{}) {
            const TRect plot = w.chart.PlotArea();
            wheel(w.widget(), QPoint((plot.Left + plot.Right) / 2, (plot.Top + plot.Bottom) / 2), 3);
        } else {
            ASSERT_TRUE(w.chart.SetView(row.view));
        }
        w.chart.Repaint();
        const ChartView view = w.chart.View();
        const std::size_t redraws = w.chart.FullRedraws();
        w.add_passes(300);
        EXPECT_TRUE(w.chart.UserView());
        EXPECT_EQ(view, w.chart.View());
        EXPECT_EQ(redraws, w.chart.FullRedraws());  // the axes did not move
        const QImage incremental = picture(w.chart);
        if (row.lastPointShows) {
            const ChartPixel p = w.chart.PointPixel(*w.series[3], w.series[3]->Count() - 1);
            EXPECT_TRUE(has_color(incremental, p.X, p.Y, w.series[3]->Color()));
        }
        EXPECT_EQ(incremental, redrawn(w.chart));
    }
}

TEST(ChartZoom, ZoomedPictureLooksLikeTheRawPolyline) {
    // 40000 points, zoomed to a tenth: some 7 points a column, drawn from the
    // summary; the raw polyline of the points in view is the reference.
    TChart chart(nullptr);
    TLineSeries* s = chart.AddSeries("s", 3, clNavy);
    chart.Widget()->resize(660, 309);
    for (int i = 0; i < 40000; ++i) s->AddXY(i, 500 * std::sin(i * 0.002) + 40 * std::sin(i * 0.7));
    chart.Repaint();
    ASSERT_TRUE(chart.SetView(ChartView{18000, 22000, -600, 600}));
    chart.Repaint();
    const QImage drawn = picture(chart);
    const TRect plot = chart.PlotArea();

    QImage raw(drawn.size(), QImage::Format_RGB32);
    raw.fill(Qt::white);
    {
        QPainter painter(&raw);
        painter.setPen(QPen(QColor(0, 0, 0x80), 3, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        for (std::size_t i = 17990; i < 22010; ++i) painter.drawLine(at(chart.PointPixel(*s, i)), at(chart.PointPixel(*s, i + 1)));
    }
    const auto [inRaw, differing] = compare_color(drawn, raw, plot, clNavy);
    ASSERT_GT(inRaw, 1000);
    EXPECT_LE(differing, inRaw / 100) << differing << " of " << inRaw;
}

TEST(ChartZoom, FarNeighboursDoNotBendTheLine) {
    // Zoomed in some ten million times, the ends of the line through the
    // view lie some 5 * 10^9 pixels away, beyond both the pixel limit and an
    // int; the line must still run where it truly does.
    TChart chart(nullptr);
    TLineSeries* s = chart.AddSeries("s", 3, clNavy);
    chart.Widget()->resize(660, 309);
    s->AddXY(-10, -10000);
    s->AddXY(10, 10000);
    s->AddXY(30, -10000);
    const ChartView view{-6e-7, 6e-7, -1e-3, 1e-3};
    ASSERT_TRUE(chart.SetView(view));
    chart.Repaint();
    const QImage image = picture(chart);
    const TRect plot = chart.PlotArea();
    for (double t : {0.05, 0.25, 0.5, 0.75, 0.95}) {
        SCOPED_TRACE(t);
        const int x = plot.Left + static_cast<int>(std::lround(t * (plot.Right - 1 - plot.Left)));
        const double value = 1000 * (view.XMin + t * x_span(view));
        const int y = static_cast<int>(std::lround((plot.Bottom - 1) - (value - view.YMin) / y_span(view) * (plot.Bottom - 1 - plot.Top)));
        EXPECT_TRUE(has_color(image, x, y, clNavy)) << x << "," << y;
        EXPECT_FALSE(has_color(image, x, y - 4, clNavy));
        EXPECT_FALSE(has_color(image, x, y + 4, clNavy));
    }
}

TEST(ChartZoom, ViewsThatCannotBeShownAreRefused) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        const char* name;
        ChartView view;
        bool shown;
    };
    const Row rows[] = {
        {"an ordinary view", {100, 200, -50, 50}, true},
        {"a millionth wide near zero", {0, 1e-6, -1, 1}, true},
        {"inverted", {200, 100, -50, 50}, false},
        {"no width", {100, 100, -50, 50}, false},
        {"narrower than a millionth", {0, 1e-7, -1, 1}, false},
        {"narrower than a billionth of its magnitude", {1e9, 1e9 + 0.5, -1, 1}, false},
        {"NaN", {0, 10, nan, 1}, false},
        {"infinite", {0, inf, -1, 1}, false},
        {"beyond 1e16", {0, 10, -1, 2e16}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ShownChart w(50);
        const ChartView before = w.chart.View();
        EXPECT_EQ(row.shown, w.chart.SetView(row.view));
        EXPECT_EQ(row.shown, w.chart.UserView());
        EXPECT_EQ(row.shown ? row.view : before, w.chart.View());
    }
}

TEST(ChartZoom, WheelStopsAtTheLimitsOfZoom) {
    struct Row {
        const char* name;
        int notch;
    };
    for (const Row& row : {Row{"in", 1}, Row{"out", -1}}) {
        SCOPED_TRACE(row.name);
        ShownChart w(100);
        const QPoint cursor(220, 100);
        // The plot's left edge moves as the Y labels widen or narrow.
        auto value_under_cursor = [&](const ChartView& v) {
            const TRect plot = w.chart.PlotArea();
            return v.XMin + (cursor.x() - plot.Left) * x_span(v) / (plot.Right - 1 - plot.Left);
        };
        const double anchor = value_under_cursor(w.chart.View());
        ChartView view = w.chart.View();
        int changes = 0;
        for (int i = 0; i < 300; ++i) {
            wheel(w.widget(), cursor, row.notch);
            w.chart.Repaint();
            changes += w.chart.View() == view ? 0 : 1;
            view = w.chart.View();
        }
        EXPECT_LT(changes, 250);  // it stopped, and stays put
        EXPECT_TRUE(row.notch > 0 ? x_span(view) < 1e-5 : x_span(view) > 1e15) << x_span(view);
        EXPECT_TRUE(std::isfinite(y_span(view)) && y_span(view) > 0);
        EXPECT_NEAR(anchor, value_under_cursor(view), x_span(view) / 100);
    }
}

TEST(ChartZoom, RightButtonOpensTheMenuAndDoesNotPan) {
    ShownChart w;
    TPopupMenu menu;
    menu.AddItem("Export data as CSV...", [](TObject*) {});
    w.chart.SetPopupMenu(&menu);
    int requests = 0;
    QObject::connect(w.widget(), &QWidget::customContextMenuRequested, [&requests] { ++requests; });
    int menusShown = 0;
    // The menu runs its own loop: close it from there, once it shows.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&menusShown] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            ++menusShown;
            popup->close();
        }
    });
    closer.start(5);
    const ChartView before = w.chart.View();
    drag_in_window(w.widget(), Qt::RightButton, QPoint(300, 150), QPoint(150, 80));
    w.chart.Repaint();
    closer.stop();
    EXPECT_EQ(1, requests);
    EXPECT_EQ(1, menusShown);
    EXPECT_FALSE(w.chart.UserView());
    EXPECT_EQ(before, w.chart.View());
}

TEST(ChartZoom, ClearStartsAgainOnTheAutomaticRanges) {
    ShownChart zoomed;
    ShownChart plain;
    drag(zoomed.widget(), Qt::LeftButton, QPoint(300, 150), QPoint(100, 200));
    ASSERT_TRUE(zoomed.chart.UserView());
    for (ShownChart* w : {&zoomed, &plain}) {
        for (TLineSeries* s : w->series) s->Clear();
        w->pass = 0;
        w->add_passes(50);
    }
    EXPECT_FALSE(zoomed.chart.UserView());
    EXPECT_EQ(plain.chart.View(), zoomed.chart.View());
    EXPECT_EQ(picture(plain.chart), picture(zoomed.chart));
}
