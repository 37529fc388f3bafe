// The window as it opens, its layout and the mode enabling.
#include "tests/window/window_fixture.h"

#include <QApplication>
#include <QWidget>

#include <string>

TEST_F(MainWindow, OpensOnTheNcPageWithTheDesignedTextsAndEnabling) {
    EXPECT_EQ(Form1, Application->MainForm());
    EXPECT_EQ("Vantrel parameters and integrator", Form1->Caption());
    EXPECT_EQ(Form1->TabSheet2, Form1->PageControl1->ActivePage());
    EXPECT_EQ("Regelung Tests", Form1->TabSheet1->Caption());
    EXPECT_EQ("NC Tests", Form1->TabSheet2->Caption());
    EXPECT_FALSE(Form1->cbSpeedRegulation->Checked());
    EXPECT_EQ("Speed Regelung", Form1->cbSpeedRegulation->Caption());
    EXPECT_EQ("GroupBox1", Form1->GroupBox1->Caption());

    struct Edit {
        TLabeledEdit* edit;
        const char* label;
        const char* text;
        const char* hint;
        bool enabled;
    };
    const Edit edits[] = {
        {Form1->edKp, "Kp", "250", "Proportional factor", true},
        {Form1->edKi, "Ki", "60", "Integral factor", true},
        {Form1->edKd, "Kd", "0", "Differential factor", true},
        {Form1->edKv, "Kv", "30", "Proportional factor", true},
        {Form1->edW, "w", "80", "Speed to regulate (0,100)", false},
        {Form1->edPos, "Pos", "20", "Proportional factor", true},
    };
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.label);
        EXPECT_EQ(e.label, e.edit->LabelCaption());
        EXPECT_EQ(e.text, e.edit->Text());
        EXPECT_EQ(e.hint, e.edit->Hint());
        EXPECT_EQ(e.enabled, e.edit->Enabled());
        EXPECT_EQ(e.enabled, e.edit->LabelWidget()->isEnabled());
    }

    struct Button {
        TButton* button;
        const char* caption;
    };
    for (const Button& b : {Button{Form1->Button1, "Regelung an"}, Button{Form1->Button2, "Regelung aus"},
                            Button{Form1->btDrawNCPath, "Draw NC Path"}, Button{Form1->Button3, "Circle test"}}) {
        SCOPED_TRACE(b.caption);
        EXPECT_EQ(b.caption, b.button->Caption());
        EXPECT_EQ("", b.button->Hint());
    }

    ASSERT_EQ(2, Form1->StatusBar1->PanelCount());
    EXPECT_EQ(150, Form1->StatusBar1->Panels(0)->Width());
    EXPECT_EQ(50, Form1->StatusBar1->Panels(1)->Width());
    EXPECT_EQ("", Form1->StatusBar1->Panels(0)->Text());
    EXPECT_EQ("", Form1->StatusBar1->Panels(1)->Text());
    EXPECT_FALSE(Form1->Image1->HasCanvas());
}

TEST_F(MainWindow, ChartHasItsFourSeriesEmptyWithTheirTitlesAndPens) {
    struct Series {
        TLineSeries* series;
        const char* title;
        int width;
    };
    const Series series[] = {
        {Form1->Series1, "y (PWM)", 3},
        {Form1->Series2, "x (Speed)", 3},
        {Form1->Series3, "x (Pos)", 5},
        {Form1->Series4, "x (SollPos)", 4},
    };
    ASSERT_EQ(4u, Form1->Chart1->SeriesCount());
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(series[i].title);
        EXPECT_EQ(series[i].series, Form1->Chart1->Series(i));
        EXPECT_EQ(series[i].title, series[i].series->Title());
        EXPECT_EQ(series[i].width, series[i].series->Width());
        EXPECT_EQ(0u, series[i].series->Count());
    }
    EXPECT_EQ(clNavy, Form1->Series2->Color());
    EXPECT_NE(clNavy, Form1->Series1->Color());
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
