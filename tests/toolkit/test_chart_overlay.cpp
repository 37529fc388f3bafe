// Overlay lines, fitting, the legend's switch, the right-hand axis and the
// cursors of the chart.
#include "tests/toolkit/chart_test_support.h"
#include "toolkit/chart/chart.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// The window's chart, shown, with a speed-like run on its first two series.
struct OverlayChart {
    OverlayChart() : chart(nullptr) {
        chart.SetTitle("TChart");
        chart.SetBottomAxisIncrement(4);
        series = {chart.AddSeries("y (PWM)", 3), chart.AddSeries("x (Speed)", 3, clNavy),
                  chart.AddSeries("x (Pos)", 5), chart.AddSeries("x (SollPos)", 4)};
        chart.Widget()->resize(660, 309);
        chart.Widget()->show();
    }
    void add_passes(int passes, TChartOverlay* overlay = nullptr) {
        for (int i = 0; i < passes; ++i, ++pass) {
            series[0]->AddXY(4.0 * pass, 200 * std::sin(pass * 0.03));
            series[1]->AddXY(4.0 * pass, 40 + 30 * std::cos(pass * 0.05));
            if (overlay) overlay->AddXY(4.0 * pass, 150 * std::cos(pass * 0.02));
            chart.Repaint();
        }
    }
    QImage picture() { return chart.Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QImage redrawn() {
        chart.SetTitle("TChart");  // draws everything anew
        chart.Repaint();
        return picture();
    }

    TChart chart;
    std::vector<TLineSeries*> series;
    int pass = 0;
};

int pixels_of(const QImage& image, const TRect& area, TColor c) {
    int count = 0;
    for (int y = area.Top; y < area.Bottom; ++y) {
        for (int x = area.Left; x < area.Right; ++x) count += has_color(image, x, y, c) ? 1 : 0;
    }
    return count;
}

}  // namespace

TEST(ChartOverlay, GrowingOverlaysDrawnInStripsLookAsAFullRedraw) {
    struct Row {
        const char* name;
        TOverlayStyle style;
    };
    const Row rows[] = {
        {"opaque", {0x008000, 1, 255, false, -1}},
        {"faded", {0x008000, 1, 80, false, -1}},
        {"dashed", {0x404040, 1, 255, true, 1}},
        {"wide, raised, in the legend", {0xC00080, 3, 160, false, 0, true, "#1"}},
        {"hollow dots", {0xC00080, 7, 255, false, 0, false, "m", false, true, true}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OverlayChart c;
        TChartOverlay* overlay = c.chart.AddOverlay(row.style);
        c.add_passes(700, overlay);
        const QImage strips = c.picture();
        EXPECT_EQ(c.redrawn(), strips);
        EXPECT_GT(c.chart.FullRedraws(), 1u);
    }
}

TEST(ChartOverlay, ALogarithmicAxisLaysValuesOutByTheirDecades) {
    TChart chart(nullptr);
    chart.SetBottomAxisLogarithmic(true);
    TLineSeries* line = chart.AddSeries("twin", 1);
    for (double hz : {0.1, 1.0, 10.0, 100.0, 125.0}) line->AddXY(hz, 0);
    TChartOverlay* hollow = chart.AddOverlay({0x008000, 9, 255, false, -1, false, "", false, true, true});
    hollow->AddXY(10, 20);
    chart.Widget()->resize(500, 300);
    chart.Widget()->show();
    chart.Repaint();

    const ChartView view = chart.View();  // whole decades, given back as values
    EXPECT_DOUBLE_EQ(view.XMin, 0.1);
    EXPECT_DOUBLE_EQ(view.XMax, 1000.0);
    EXPECT_DOUBLE_EQ(line->XValue(4), 125.0);
    const int x1 = chart.PointPixel(*line, 1).X, x10 = chart.PointPixel(*line, 2).X, x100 = chart.PointPixel(*line, 3).X;
    EXPECT_NEAR(x10 - x1, x100 - x10, 1);
    EXPECT_NEAR(chart.XAtPixel(x10), 10.0, 0.3);  // within a pixel, about 2 % of a value
    chart.SetCursor(0, 9.0);  // snaps to the nearest point, 10
    EXPECT_NEAR(*chart.Cursor(0), 10.0, 1e-9);

    // The hollow mark at (10, 20), halfway in a view of 1 ... 100 and 0 ... 40:
    // its edge in the colour, its middle white.
    chart.SetCursor(0, std::nullopt);
    EXPECT_TRUE(chart.SetView({1, 100, 0, 40}));
    chart.Repaint();
    const QImage picture = chart.Widget()->grab().toImage();
    const TRect plot = chart.PlotArea();
    const int cx = plot.Left + (plot.Right - 1 - plot.Left) / 2;
    const int cy = plot.Top + (plot.Bottom - 1 - plot.Top) / 2;
    EXPECT_TRUE(has_color(picture, cx, cy, 0xFFFFFF));
    EXPECT_TRUE(has_color(picture, cx - 3, cy, 0x008000));
    EXPECT_TRUE(has_color(picture, cx + 4, cy, 0x008000));
}

TEST(ChartOverlay, OverlaysJoinTheRangesSurviveClearAndCanBeHiddenOrRemoved) {
    OverlayChart c;
    c.add_passes(100);
    TChartOverlay* kept = c.chart.AddOverlay({0x008000, 1, 80, false, -1});
    for (int i = 0; i <= 500; ++i) kept->AddXY(8.0 * i, -400 + i);
    const ChartView view = c.chart.View();
    EXPECT_LE(view.XMin, 0);
    EXPECT_GE(view.XMax, 4000);
    EXPECT_LE(view.YMin, -400);

    for (TLineSeries* s : c.series) s->Clear();
    EXPECT_EQ(501u, kept->Count());
    EXPECT_GE(c.chart.View().XMax, 4000);
    c.chart.Repaint();
    const TRect plot = c.chart.PlotArea();
    const QImage shown = c.picture();
    kept->SetVisible(false);
    c.chart.Repaint();
    EXPECT_NE(shown, c.picture());
    kept->SetVisible(true);
    c.chart.Repaint();
    EXPECT_EQ(shown, c.picture());
    c.chart.RemoveOverlay(kept);
    EXPECT_EQ(0u, c.chart.OverlayCount());
    c.chart.Repaint();
    EXPECT_EQ(0, pixels_of(c.picture(), plot, 0x000000));
}

TEST(ChartOverlay, LegendClickHidesAndShowsItsSeries) {
    OverlayChart c;
    c.add_passes(300);
    const TRect plot = c.chart.PlotArea();
    const int navy = pixels_of(c.picture(), plot, clNavy);
    ASSERT_GT(navy, 100);
    const TRect entry = c.chart.LegendEntry(1);
    const QPoint at((entry.Left + entry.Right) / 2, (entry.Top + entry.Bottom) / 2);
    const int expected[] = {0, navy};
    for (int visible = 0; visible < 2; ++visible) {
        SCOPED_TRACE(visible);
        QTest::mouseClick(c.chart.Widget(), Qt::LeftButton, Qt::NoModifier, at);
        c.chart.Repaint();
        EXPECT_EQ(visible == 1, c.series[1]->Visible());
        EXPECT_EQ(expected[visible], pixels_of(c.picture(), plot, clNavy));
        EXPECT_FALSE(c.chart.UserView());  // a legend click is no pan
    }
}

// Overlays with a legend entry are listed under the heading, which folds them.
TEST(ChartOverlay, TheOverlaysHeadingFoldsTheirEntries) {
    OverlayChart c;
    c.add_passes(50);
    const std::size_t series = c.series.size();
    c.chart.AddOverlay({0x008000, 1, 80, false, -1, false, "#1 Kp 250"});
    c.chart.AddOverlay({0x008000, 1, 80, false, -1, false, ""});
    c.chart.AddOverlay({0x800080, 1, 80, false, -1, false, "#2 Kp 120"});
    EXPECT_TRUE(c.chart.LegendEntry(series).Right == 0);  // no heading: no overlay entries
    c.chart.SetOverlayHeading("Kept runs");
    struct Row {
        bool folded;
        std::size_t lines;  // of the legend
    };
    for (const Row row : {Row{false, series + 3}, Row{true, series + 1}, Row{false, series + 3}}) {
        SCOPED_TRACE(row.folded);
        EXPECT_GT(c.chart.LegendEntry(row.lines - 1).Right, 0);
        EXPECT_EQ(0, c.chart.LegendEntry(row.lines).Right);
        EXPECT_EQ(row.folded, c.chart.OverlaysFolded());
        const TRect heading = c.chart.LegendEntry(series);
        QTest::mouseClick(c.chart.Widget(), Qt::LeftButton, Qt::NoModifier,
                          QPoint((heading.Left + heading.Right) / 2, (heading.Top + heading.Bottom) / 2));
    }
    // More entries than the chart is tall: the last line counts those left out
    // and the legend ends inside the chart.
    c.chart.SetOverlaysFolded(false);
    for (int i = 0; i < 40; ++i) c.chart.AddOverlay({0x008000, 1, 80, false, -1, false, "#" + std::to_string(i + 3)});
    c.chart.Repaint();
    std::size_t lines = 0;
    while (c.chart.LegendEntry(lines).Right > 0) ++lines;
    EXPECT_GT(lines, series + 2);
    EXPECT_LT(lines, series + 1 + 42);
    EXPECT_LE(c.chart.LegendEntry(lines - 1).Bottom, c.chart.Widget()->height());
}

TEST(ChartOverlay, FitToDataLeavesASmallMarginAndGrowingDataKeepHalfTheAxes) {
    OverlayChart c;
    for (int passes : {2, 10, 100, 215, 1000}) {
        SCOPED_TRACE(passes);
        c.add_passes(passes);
        const ChartView grown = c.chart.View();
        const double xData = 4.0 * (c.pass - 1);
        EXPECT_GE(xData, 0.5 * (grown.XMax - grown.XMin) - 4);
        c.chart.FitToData();
        const ChartView fit = c.chart.View();
        EXPECT_NEAR(-0.02 * xData, fit.XMin, 1e-9);
        EXPECT_NEAR(1.02 * xData, fit.XMax, 1e-9);
        EXPECT_FALSE(c.chart.UserView());
    }
}

TEST(ChartOverlay, RightAxisGivesTheFirstTwoSeriesTheirOwnRange) {
    OverlayChart c;
    c.add_passes(200);
    for (int i = 0; i < 200; ++i) c.series[2]->AddXY(4.0 * i, 5000 + i);
    c.chart.SetRightAxis(true);
    EXPECT_TRUE(c.chart.RightAxis());
    const ChartView left = c.chart.View();
    const ChartView right = c.chart.RightView();
    EXPECT_GE(left.YMin, 4000);  // positions only
    EXPECT_LE(right.YMin, -200);
    EXPECT_LE(right.YMax, 1000);
    // The peak of the controller output sits near the top of the plot.
    std::size_t peak = 0;
    for (std::size_t i = 0; i < c.series[0]->Count(); ++i) {
        if (c.series[0]->YValue(i) > c.series[0]->YValue(peak)) peak = i;
    }
    const TRect plot = c.chart.PlotArea();
    EXPECT_LT(c.chart.PointPixel(*c.series[0], peak).Y, plot.Top + (plot.Bottom - plot.Top) / 4);
}

// Samples every 4 ms from 0 to 996; a visible overlay's points count too.
TEST(ChartOverlay, CursorsSnapToTheNearestSampleOfAVisibleLine) {
    OverlayChart c;
    c.add_passes(250);
    TChartOverlay* odd = c.chart.AddOverlay({0x008000, 1, 80, false, -1});
    odd->AddXY(1001, 0);
    struct Row {
        double x;
        bool oddShown;
        double expected;
    };
    const Row rows[] = {{5.9, true, 4}, {6, true, 4}, {6.1, true, 8}, {-30, true, 0},
                        {2000, true, 1001}, {2000, false, 996}, {998.9, false, 996}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.x);
        odd->SetVisible(r.oddShown);
        c.chart.SetCursor(0, r.x);
        EXPECT_EQ(r.expected, c.chart.Cursor(0).value_or(-1));
    }
}

TEST(ChartOverlay, CursorsArePlacedDraggedAndToldAndTheViewChangeIsTold) {
    OverlayChart c;
    c.add_passes(250);
    int cursorNotices = 0;
    int viewNotices = 0;
    c.chart.OnCursorMove = [&] { ++cursorNotices; };
    c.chart.OnViewChange = [&] { ++viewNotices; };
    const TRect plot = c.chart.PlotArea();
    const int from = plot.Left + 100;
    const int to = plot.Left + 300;
    c.chart.SetCursor(0, c.chart.XAtPixel(from));
    c.chart.SetCursor(1, c.chart.XAtPixel(plot.Left + 400));
    EXPECT_EQ(2, cursorNotices);
    QWidget* w = c.chart.Widget();
    const int y = (plot.Top + plot.Bottom) / 2;
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, QPoint(from, y));
    QTest::mouseMove(w, QPoint((from + to) / 2, y));
    QTest::mouseMove(w, QPoint(to, y));
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, QPoint(to, y));
    ASSERT_TRUE(c.chart.Cursor(0));
    EXPECT_NEAR(c.chart.XAtPixel(to), *c.chart.Cursor(0), 2.0);  // on the nearest sample
    EXPECT_EQ(0, std::fmod(*c.chart.Cursor(0), 4.0));
    EXPECT_FALSE(c.chart.UserView());  // the drag moved the cursor, not the view
    EXPECT_GE(cursorNotices, 3);
    // A double-click on its line takes it away.
    QTest::mouseDClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(to, y));
    EXPECT_FALSE(c.chart.Cursor(0));
    EXPECT_TRUE(c.chart.Cursor(1));
    c.chart.SetCursor(1, std::nullopt);
    EXPECT_FALSE(c.chart.Cursor(1));

    c.chart.Repaint();
    const int before = viewNotices;
    c.chart.SetView(ChartView{0, 400, -100, 100});
    c.chart.Repaint();
    EXPECT_EQ(before + 1, viewNotices);
}

// Dots: each point a square as wide as the pen and nothing between them; a
// click near one (not a drag) tells which; a click far off, or a pan, none.
TEST(ChartOverlay, DotsAreDrawnApartAndAClickNearOneTellsWhich) {
    TChart chart(nullptr);
    chart.Widget()->resize(400, 300);
    chart.Widget()->show();
    TOverlayStyle style;
    style.Color = 0x008000;
    style.Width = 5;
    style.Dots = true;
    TChartOverlay* dots = chart.AddOverlay(style);
    for (const auto& [x, y] : {std::pair{1.0, 1.0}, std::pair{2.0, 3.0}, std::pair{3.0, 2.0}}) dots->AddXY(x, y);
    chart.FitToData();
    chart.Repaint();
    const QImage image = chart.Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const ChartPixel a = chart.OverlayPixel(*dots, 0), b = chart.OverlayPixel(*dots, 1);
    EXPECT_EQ(25, pixels_of(image, TRect{a.X - 4, a.Y - 4, a.X + 5, a.Y + 5}, 0x008000));
    EXPECT_FALSE(has_color(image, (a.X + b.X) / 2, (a.Y + b.Y) / 2, 0x008000));  // not joined

    std::vector<std::size_t> clicked;
    chart.OnDotClick = [&](TChartOverlay* overlay, std::size_t i) {
        EXPECT_EQ(dots, overlay);
        clicked.push_back(i);
    };
    const struct {
        QPoint at;
        bool drag;
        std::vector<std::size_t> told;
    } clicks[] = {
        {QPoint(b.X + 3, b.Y - 2), false, {1}},
        {QPoint(a.X, a.Y), false, {0}},
        {QPoint(a.X + 40, a.Y), false, {}},
        {QPoint(a.X, a.Y), true, {}},
    };
    for (const auto& c : clicks) {
        clicked.clear();
        if (c.drag) {
            QTest::mousePress(chart.Widget(), Qt::LeftButton, {}, c.at);
            QTest::mouseMove(chart.Widget(), c.at + QPoint(30, 0));
            QTest::mouseRelease(chart.Widget(), Qt::LeftButton, {}, c.at + QPoint(30, 0));
        } else {
            QTest::mouseClick(chart.Widget(), Qt::LeftButton, {}, c.at);
        }
        EXPECT_EQ(c.told, clicked) << c.at.x() << "," << c.at.y();
    }
}

// An overlay turned on or off between runs shows without a repaint asked of
// the chart: the change asks for a paint of its own.
TEST(ChartOverlay, AnOverlayShownOrHiddenPaintsWithoutARepaint) {
    OverlayChart c;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(c.chart.Widget()));
    c.add_passes(20);
    TChartOverlay* line = c.chart.AddOverlay({0x008000, 1, 255, false, -1});
    for (int i = 0; i < 20; ++i) line->AddXY(4.0 * i, 10);
    c.chart.Repaint();
    for (const bool shown : {false, true}) {
        const std::size_t before = c.chart.FullRedraws();
        line->SetVisible(shown);
        QTest::qWait(20);
        EXPECT_GT(c.chart.FullRedraws(), before) << shown;
    }
}
