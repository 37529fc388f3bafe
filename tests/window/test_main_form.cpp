// The window as it opens, where its controls sit, and the mode enabling.
#include "tests/window/window_fixture.h"

#include <QApplication>
#include <QToolTip>
#include <QWidget>

#include <string>

// As the window opens: the NC page, nothing drawn, no status, the starting
// texts, and the edits of position mode open.
TEST_F(MainWindow, OpensOnTheNcPageEmptyWithTheStartingTextsAndEnabling) {
    EXPECT_EQ(Form1, Application->MainForm());
    EXPECT_EQ(Form1->TabSheet2, Form1->PageControl1->ActivePage());
    EXPECT_FALSE(Form1->Image1->HasCanvas());
    EXPECT_EQ("", Form1->StatusBar1->Panels(0)->Text());
    EXPECT_EQ("", Form1->StatusBar1->Panels(1)->Text());
    EXPECT_EQ(0u, Form1->Series1->Count());
    EXPECT_FALSE(Form1->cbSpeedRegulation->Checked());
    const struct {
        TLabeledEdit* edit;
        const char* text;
        bool enabled;
    } edits[] = {
        {Form1->edKp, "250", true}, {Form1->edKi, "60", true}, {Form1->edKd, "0", true},
        {Form1->edKv, "30", true},  {Form1->edW, "80", false}, {Form1->edPos, "20", true},
    };
    for (const auto& e : edits) {
        SCOPED_TRACE(e.edit->LabelCaption());
        EXPECT_EQ(e.text, e.edit->Text());
        EXPECT_EQ(e.enabled, e.edit->Enabled());
        EXPECT_EQ(e.enabled, e.edit->LabelWidget()->isEnabled());
    }
}

TEST_F(MainWindow, ControlsSitWhereDesignedAndFollowTheWindowSize) {
    show_regulation_page();
    QApplication::processEvents();
    struct Place {
        const char* name;
        TControl* control;
        QRect rect;
    };
    const Place places[] = {
        {"Button1", Form1->Button1, QRect(8, 8, 89, 25)},       {"Button2", Form1->Button2, QRect(120, 8, 89, 25)},
        {"edKp", Form1->edKp, QRect(256, 21, 57, 21)},          {"edKi", Form1->edKi, QRect(256, 48, 57, 21)},
        {"edKd", Form1->edKd, QRect(256, 75, 57, 21)},          {"GroupBox1", Form1->GroupBox1, QRect(336, 8, 185, 98)},
        {"edKv", Form1->edKv, QRect(24, 38, 57, 21)},           {"edW", Form1->edW, QRect(24, 65, 57, 21)},
        {"edPos", Form1->edPos, QRect(117, 38, 57, 21)},
        {"btDrawNCPath", Form1->btDrawNCPath, QRect(8, 10, 97, 25)}, {"Button3", Form1->Button3, QRect(320, 10, 75, 25)},
    };
    for (const Place& p : places) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(p.rect, p.control->Widget()->geometry());
    }
    EXPECT_EQ(QSize(668, 468), Form1->Widget()->size());
    // The check box keeps its place and widens only if the font needs room.
    const QRect box = Form1->cbSpeedRegulation->Widget()->geometry();
    EXPECT_EQ(QRect(3, 15, box.width(), 17), box);
    EXPECT_GE(box.width(), 97);
    EXPECT_GE(box.width(), Form1->cbSpeedRegulation->Widget()->sizeHint().width());

    for (QSize size : {QSize(668, 468), QSize(1000, 700)}) {
        SCOPED_TRACE(size.width());
        Form1->Widget()->resize(size);
        QApplication::processEvents();
        const int statusTop = Form1->StatusBar1->Top();
        EXPECT_EQ(size.height(), statusTop + Form1->StatusBar1->Height());
        EXPECT_EQ(QRect(0, 0, size.width(), statusTop), Form1->PageControl1->Widget()->geometry());
        const QSize page = Form1->TabSheet1->Widget()->size();
        EXPECT_EQ(QRect(0, 0, page.width(), 112), Form1->Panel1->Widget()->geometry());
        EXPECT_EQ(QRect(0, 112, page.width(), page.height() - 112), Form1->Chart1->Widget()->geometry());
        EXPECT_EQ(QRect(256, 21, 57, 21), Form1->edKp->Widget()->geometry());
    }
}

TEST_F(MainWindow, CheckBoxEnablesTheEditsOfItsMode) {
    show_regulation_page();
    struct Step {
        bool checked;
        bool kv, w, pos;
    };
    const Step steps[] = {
        {true, false, true, false},
        {false, true, false, true},
        {true, false, true, false},
        {false, true, false, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.checked ? "checked" : "unchecked");
        click(Form1->cbSpeedRegulation);
        ASSERT_EQ(s.checked, Form1->cbSpeedRegulation->Checked());
        EXPECT_EQ(s.kv, Form1->edKv->Enabled());
        EXPECT_EQ(s.kv, Form1->edKv->LabelWidget()->isEnabled());
        EXPECT_EQ(s.w, Form1->edW->Enabled());
        EXPECT_EQ(s.w, Form1->edW->LabelWidget()->isEnabled());
        EXPECT_EQ(s.pos, Form1->edPos->Enabled());
        for (TLabeledEdit* always : {Form1->edKp, Form1->edKi, Form1->edKd}) EXPECT_TRUE(always->Enabled());
        EXPECT_EQ("80", Form1->edW->Text());  // enabling leaves the texts alone
    }
}

TEST_F(MainWindow, PagesGiveTheChartAndTheImageTheirDesignedSizes) {
    QApplication::processEvents();
    EXPECT_EQ(QSize(660, 380), Form1->Image1->Widget()->size());
    EXPECT_EQ(QSize(668, 19), Form1->StatusBar1->Widget()->size());
    show_regulation_page();
    QApplication::processEvents();
    EXPECT_EQ(QSize(660, 421), Form1->TabSheet1->Widget()->size());
    EXPECT_EQ(QSize(660, 309), Form1->Chart1->Widget()->size());
}

// A decimal point typed into a gain edit is refused as designed, and a note
// beside the edit says how gains are written; other edits and keys say nothing.
TEST_F(MainWindow, DecimalPointInAGainEditShowsTheHundredthsNote) {
    show_regulation_page();
    const struct {
        TLabeledEdit* edit;
        const char* typed;
        const char* text;  // after typing into the emptied edit
        bool note;
    } cases[] = {
        {Form1->edKp, "2.5", "25", true}, {Form1->edKv, "1,5", "15", true}, {Form1->edKd, "x", "", false},
        {Form1->edW, "8.5", "85", false}, {Form1->edKi, "60", "60", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        QToolTip::showText(QPoint(0, 0), "-");  // hiding a tip takes a while: a stand-in instead
        Form1->cbSpeedRegulation->SetChecked(c.edit == Form1->edW);
        c.edit->SetText("");
        QTest::keyClicks(c.edit->Widget(), c.typed);
        EXPECT_EQ(c.text, c.edit->Text());
        EXPECT_EQ(c.note ? "Gains are whole hundredths: 250 = 2.5" : "-", QToolTip::text().toStdString());
    }
    QToolTip::hideText();
}
