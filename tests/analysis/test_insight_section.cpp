// The panel's integer arithmetic section: what the edits give, the lanes and
// the twin turned on during a run, and the designed picture kept while
// they are off.
#include "analysis/frame/analysis_panel.h"
#include "analysis/live/edit_tints.h"
#include "analysis/live/event_lanes.h"
#include "analysis/live/insight_section.h"
#include "analysis/live/twin_overlay.h"
#include "tests/window/window_fixture.h"
#include "toolkit/chart/chart.h"

#include <QApplication>
#include <QImage>

#include <vector>

namespace {

InsightSection* open_section() {
    Form1->Analysis->open();
    QApplication::processEvents();
    auto* section = Form1->Analysis->panel()->findChild<QWidget*>(InsightSection::kObjectName);
    EXPECT_NE(nullptr, section);
    return static_cast<InsightSection*>(section);
}


}  // namespace

TEST_F(MainWindow, EditsReadAsAnotherNumberAreTintedAndKeepTheirText) {
    show_regulation_page();
    const std::vector<TLabeledEdit*> edits{Form1->edKp, Form1->edKi, Form1->edKd, Form1->edKv, Form1->edW, Form1->edPos};
    std::vector<QImage> looks;
    for (TLabeledEdit* edit : edits) looks.push_back(edit->Widget()->grab().toImage());
    const std::string hint = Form1->edKp->Hint();
    open_section();
    for (std::size_t i = 0; i < edits.size(); ++i) EXPECT_EQ(looks[i], edits[i]->Widget()->grab().toImage()) << i;
    Form1->edKp->SetText("70000");
    EXPECT_EQ(EditTints::kTint, Form1->edKp->Tint());
    const QImage tinted = Form1->edKp->Widget()->grab().toImage();
    EXPECT_EQ(QColor(0xFF, 0xE4, 0xB5), tinted.pixelColor(tinted.width() / 2, 3));
    EXPECT_EQ(hint + "\nThe run uses 4464", Form1->edKp->Hint().substr(0, hint.size() + 18));
    EXPECT_EQ("70000", Form1->edKp->Text());
    Form1->edKp->SetText("250");
    EXPECT_EQ(looks[0], Form1->edKp->Widget()->grab().toImage());
    EXPECT_EQ(hint, Form1->edKp->Hint());
}

TEST_F(MainWindow, LanesAndTwinTurnedOnDuringARunShowItFromItsStart) {
    show_regulation_page();
    Form1->cbSpeedRegulation->SetChecked(true);
    const QRect designedChart = Form1->Chart1->Widget()->geometry();
    InsightSection* section = open_section();
    ASSERT_NE(nullptr, section);
    onPause = [&](int pass) {
        if (pass == 40) {
            // Nothing of the section shows on the chart until now.
            EXPECT_EQ(designedChart, Form1->Chart1->Widget()->geometry());
            EXPECT_FALSE(section->lanes() && section->lanes()->isVisible());
            EXPECT_FALSE(section->overlay() && section->overlay()->shown());
            section->set_lanes_shown(true);
            section->set_twin_shown(true);
        }
        if (pass == 90) click_later(Form1->Button2);
    };
    click(Form1->Button1);
    QApplication::processEvents();

    EventLanes* lanes = section->lanes();
    ASSERT_NE(nullptr, lanes);
    EXPECT_TRUE(lanes->isVisible());
    EXPECT_EQ(designedChart.adjusted(0, 0, 0, -EventLanes::kHeight), Form1->Chart1->Widget()->geometry());
    EXPECT_EQ(90u, section->overlay()->count());
    EXPECT_TRUE(section->overlay()->shown());
    ASSERT_EQ(90u, section->overlay()->line(0)->Count());  // all passes, also those before turning on
    EXPECT_EQ(248.0, section->overlay()->line(0)->YValue(0));
    EXPECT_EQ(0u, section->overlay()->line(2)->Count());  // no position in speed mode

    // The PWM's jump at 328 ms: the first wrap of the speed loop's weighted sum.
    const auto& wraps = lanes->ticks(SPEED_OUT_WRAP);
    ASSERT_FALSE(wraps.empty());
    EXPECT_EQ(82, wraps.front().pass);
    EXPECT_EQ(328.0, wraps.front().time);
    EXPECT_EQ(wraps.size(), section->headroom().counts[SPEED_OUT_WRAP]);
    const int column = Form1->Chart1->PointPixel(*Form1->Series1, 82).X;
    const int lane = 2 + SPEED_OUT_WRAP * EventLanes::kLaneHeight + 2;
    EXPECT_EQ("speed.out_wrap at pass 82, 328 ms: 32800 became -32736", lanes->hover_text(QPoint(column, lane)));

    section->set_lanes_shown(false);
    section->set_twin_shown(false);
    QApplication::processEvents();
    EXPECT_EQ(designedChart, Form1->Chart1->Widget()->geometry());
    EXPECT_FALSE(lanes->isVisible());
}
