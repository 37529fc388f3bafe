// "Frequency response" in the window: measured off the window's thread, the
// same report core makes for the edits' gains, cancelled at once, at most
// four kept.
#include "analysis/frame/analysis_panel.h"
#include "analysis/response/response_section.h"
#include "tests/window/window_fixture.h"

#include <QApplication>
#include <QElapsedTimer>

namespace {

void wait_until_done(const ResponseSection& section) {
    QElapsedTimer clock;
    clock.start();
    while (section.measuring() && clock.elapsed() < 30000) QTest::qWait(5);
}

}  // namespace

TEST_F(MainWindow, FrequencyResponseSectionMeasuresTheEditsGains) {
    show_regulation_page();
    QTest::keyClick(Form1->Widget(), Qt::Key_F9);
    QApplication::processEvents();
    auto* section = Form1->Analysis->panel()->findChild<ResponseSection*>("frequencyResponse");
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->setup_text().toStdString(), "Position mode: Kp 250 Ki 60 Kd 0 Kv 30, about rest (position = 0)");
    Form1->cbSpeedRegulation->SetChecked(true);
    Form1->edKd->SetText("20");
    EXPECT_EQ(section->setup_text().toStdString(), "Speed mode: Kp 250 Ki 60 Kd 20, about rest (w = 0)");

    section->measure();
    EXPECT_TRUE(section->measuring());  // the window's thread is free meanwhile
    wait_until_done(*section);
    ASSERT_EQ(section->responses().size(), 1u) << section->status_text().toStdString();

    // What core reports for the same setup, point for point.
    ResponseSetup setup;
    setup.gains = {250, 60, 20, 30, 0};
    const std::vector<double> hz = log_spaced(ResponseSection::kFromHz, RESPONSE_NYQUIST_HZ, ResponseSection::kPoints);
    std::vector<MeasuredPoint> points;
    const StopFlag none{0};
    measure_response(setup, hz, 1, none, [&](std::size_t, const MeasuredPoint& p) { points.push_back(p); });
    const ResponseReport expected = response_report(setup, points, ResponseSection::kFromHz, RESPONSE_NYQUIST_HZ);
    const ResponseReport& shown = section->responses()[0];
    ASSERT_EQ(shown.measured.size(), expected.measured.size());
    for (std::size_t i = 0; i < expected.measured.size(); ++i) EXPECT_EQ(shown.measured[i].loop, expected.measured[i].loop);
    EXPECT_EQ(shown.measuredMargins.phaseMarginDeg, expected.measuredMargins.phaseMarginDeg);
    EXPECT_EQ(shown.twinMargins.gainMarginDb, expected.twinMargins.gainMarginDb);
    EXPECT_NE(section->margins_text().indexOf("measured"), -1);

    section->measure();
    section->cancel();
    wait_until_done(*section);
    EXPECT_EQ(section->responses().size(), 1u);
    EXPECT_EQ(section->status_text().toStdString(), "Cancelled: nothing kept.");

    for (std::size_t i = 0; i < ResponseSection::kKept; ++i) {
        section->measure();
        wait_until_done(*section);
    }
    EXPECT_EQ(section->responses().size(), ResponseSection::kKept);
}
