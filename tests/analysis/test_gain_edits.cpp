// The window's gain edits as the panel reads and fills them: a decimal
// point typed into a gain, and sets put in by the panel taken back.
#include "analysis/files/gain_file_section.h"
#include "analysis/frame/analysis_panel.h"
#include "analysis/live/gain_edits.h"
#include "tests/window/window_fixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QToolButton>

#include <optional>

namespace {

QLineEdit* line(TLabeledEdit* edit) { return static_cast<QLineEdit*>(edit->Widget()); }

}  // namespace

TEST(GainEdits, ADecimalIsReadInHundredths) {
    const struct {
        const char* whole;
        const char* fraction;
        std::optional<int> value;
    } rows[] = {
        {"2", "5", 250},      {"0", "05", 5},          {"", "5", 50},         {"2", "", 200},
        {"1", "234", 123},    {"1", "235", 124},       {"327", "67", 32767},  {"327", "68", std::nullopt},
        {"-327", "68", -32768}, {"-2", "5", -250},     {"", "", std::nullopt}, {"0000002", "5", 250},
        {"999999", "", std::nullopt}, {"1", "x", std::nullopt},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.whole) + "." + r.fraction);
        const std::optional<std::int16_t> value = hundredths_of(r.whole, r.fraction);
        EXPECT_EQ(r.value.has_value(), value.has_value());
        if (r.value && value) {
            EXPECT_EQ(*r.value, *value);
        }
    }
}

// Typed as a user types: the point is remembered (the edit still holds
// digits only) and read when the edit is left; a point past the largest
// gain is refused and the digits before it stay.
TEST_F(MainWindow, ADecimalTypedIntoAGainIsReadAsMeantWhenTheEditIsLeft) {
    show_regulation_page();
    Form1->Analysis->open();
    GainEdits& gains = Form1->Analysis->gains();
    const struct {
        const char* typed;
        const char* meanwhile;  // the edit's text before it is left
        const char* left;       // and after
    } rows[] = {
        {"2.5", "25", "250"}, {"0.05", "005", "5"}, {"120", "120", "120"},
        {"2..5", "25", "250"}, {"400.5", "4005", "400"}, {".75", "75", "75"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed);
        Form1->edKi->SetText("");
        QTest::keyClicks(line(Form1->edKi), r.typed);
        EXPECT_EQ(r.meanwhile, Form1->edKi->Text());
        EXPECT_EQ(std::string(r.typed).find('.') != std::string::npos, gains.pending_decimal());
        QTest::keyClick(line(Form1->edKi), Qt::Key_Return);
        EXPECT_EQ(r.left, Form1->edKi->Text());
        EXPECT_FALSE(gains.pending_decimal());
    }
}

TEST_F(MainWindow, GainsThePanelPutInAreTakenBackByUndoAndCtrlZ) {
    show_regulation_page();
    Form1->Analysis->open();
    GainEdits& gains = Form1->Analysis->gains();
    auto* section = dynamic_cast<GainFileSection*>(Form1->Analysis->panel()->findChild<QWidget*>("gainFiles"));
    ASSERT_NE(nullptr, section);
    const GainTexts designed = gains.texts();
    EXPECT_FALSE(section->undo_button()->isEnabled());

    gains.apply(RegulationGains{300, 40, 5, 20, 90}, 4, "map cell");
    gains.apply(RegulationGains{300, 40, 5, 20, 90}, 4, "map cell");  // nothing changes: nothing to take back
    const GainTexts fromMap = gains.texts();
    EXPECT_EQ("300", Form1->edKp->Text());
    EXPECT_EQ("80", Form1->edW->Text());  // four gains only
    gains.apply(GainSet{100, 10, 0, 50, 70, 5, true}, "tuned.ini");
    EXPECT_TRUE(Form1->cbSpeedRegulation->Checked());
    EXPECT_TRUE(Form1->edW->Enabled());  // the window's own handler ran
    ASSERT_EQ(2u, gains.history().size());
    EXPECT_EQ("tuned.ini", gains.history().back().source);
    EXPECT_TRUE(section->last_text().contains("tuned.ini"));

    // Typing is the edit's own to take back first; then the history's.
    QTest::keyClicks(line(Form1->edKd), "7");
    EXPECT_EQ("07", Form1->edKd->Text());
    QTest::keyClick(line(Form1->edKd), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ("0", Form1->edKd->Text());
    EXPECT_EQ(2u, gains.history().size());
    QTest::keyClick(line(Form1->edKd), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(fromMap, gains.texts());
    EXPECT_FALSE(Form1->edW->Enabled());
    QTest::mouseClick(section->undo_button(), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(designed, gains.texts());
    EXPECT_FALSE(section->undo_button()->isEnabled());

    // The history survives a restart.
    gains.apply(RegulationGains{111, 22, 3, 44, 55}, 5, "map cell");
    delete Form1;
    Form1 = nullptr;
    Application->CreateForm(Form1);
    Form1->Analysis->open();
    ASSERT_EQ(1u, Form1->Analysis->gains().history().size());
    EXPECT_EQ(designed, Form1->Analysis->gains().history()[0].before);
}
