// The analysis panel beside the window: opening and closing it, what the
// regulation run tells it, and holding a run between passes.
#include "analysis/frame/analysis_panel.h"
#include "core/engine/regulation.h"
#include "tests/window/window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QWheelEvent>

#include <string>
#include <vector>

namespace {

QPushButton* panel_button(const char* caption) {
    for (QPushButton* b : Form1->Analysis->panel()->findChildren<QPushButton*>()) {
        if (b->text() == caption) return b;
    }
    ADD_FAILURE() << "no button " << caption;
    return nullptr;
}

void press(const char* caption) { QTest::mouseClick(panel_button(caption), Qt::LeftButton); }

// Chooses the chart menu's item with this caption.
void choose(const std::string& caption) {
    const auto& items = Form1->ChartPopupMenu.Items();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].caption == caption) return Form1->ChartPopupMenu.Click(i);
    }
    ADD_FAILURE() << "no menu item " << caption;
}

}  // namespace

TEST_F(MainWindow, AnalysisPanelWidensTheWindowAndClosingGivesItBack) {
    show_regulation_page();
    QApplication::processEvents();
    const QSize designed = Form1->Widget()->size();
    const QRect chart = Form1->Chart1->Widget()->geometry();
    const QRect status = Form1->StatusBar1->Widget()->geometry();
    EXPECT_EQ(nullptr, Form1->Analysis->panel());

    // The second time in a larger type: the panel opens as wide as its sections need.
    const QFont font = Form1->Widget()->font();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        if (round == 0) {
            choose(AnalysisDock::kMenuCaption);
        } else {
            QFont larger = font;
            larger.setPixelSize(QFontInfo(font).pixelSize() * 3 / 2);
            Form1->Widget()->setFont(larger);
            QTest::keyClick(Form1->Widget(), Qt::Key_F9);
        }
        QApplication::processEvents();
        ASSERT_TRUE(Form1->Analysis->is_open());
        const AnalysisPanel* panel = Form1->Analysis->panel();
        const int width = panel->width();
        EXPECT_GE(width, AnalysisPanel::kWidth);
        EXPECT_LE(panel->scroll_area()->widget()->minimumSizeHint().width(), panel->scroll_area()->viewport()->width());
        EXPECT_FALSE(panel->scroll_area()->horizontalScrollBar()->isVisible());
        EXPECT_EQ(designed + QSize(width, 0), Form1->Widget()->size());
        EXPECT_EQ(QRect(designed.width(), 0, width, status.top()), panel->geometry());
        EXPECT_EQ(chart, Form1->Chart1->Widget()->geometry());

        QTest::keyClick(Form1->Widget(), Qt::Key_F9);
        QApplication::processEvents();
        EXPECT_FALSE(Form1->Analysis->is_open());
        EXPECT_EQ(designed, Form1->Widget()->size());
        EXPECT_EQ(chart, Form1->Chart1->Widget()->geometry());
        EXPECT_EQ(status, Form1->StatusBar1->Widget()->geometry());
    }
}

TEST_F(MainWindow, RunFeedTellsTheStartAndEveryPassAsPlotted) {
    show_regulation_page();
    struct Case {
        bool speedMode;
        int passes;  // stopped after this many in speed mode; position mode runs to its end
    };
    for (const Case& c : {Case{true, 6}, Case{false, 195}}) {
        SCOPED_TRACE(c.speedMode ? "speed" : "position");
        Form1->cbSpeedRegulation->SetChecked(c.speedMode);
        std::vector<RunStartInfo> starts;
        std::vector<RunPassInfo> passes;
        int ends = 0;
        RunFeed::Listener listener;
        listener.onStart = [&](const RunStartInfo& s) { starts.push_back(s); };
        listener.onPass = [&](const RunPassInfo& p) { passes.push_back(p); };
        listener.onEnd = [&] { ++ends; };
        const int id = Form1->RegulationFeed.subscribe(std::move(listener));
        pauses.clear();
        onPause = [&](int pass) {
            if (c.speedMode && pass == c.passes) click_later(Form1->Button2);
        };
        click(Form1->Button1);
        Form1->RegulationFeed.unsubscribe(id);

        ASSERT_EQ(1u, starts.size());
        EXPECT_EQ(1, ends);
        EXPECT_EQ(c.speedMode, starts[0].speedMode);
        EXPECT_EQ(250, starts[0].gains.kp);
        EXPECT_EQ(60, starts[0].gains.ki);
        EXPECT_EQ(30, starts[0].gains.kv);
        EXPECT_EQ(c.speedMode ? 80 : 0, starts[0].gains.w);
        ASSERT_EQ(static_cast<std::size_t>(c.passes), passes.size());
        for (std::size_t k = 0; k < passes.size(); ++k) {
            SCOPED_TRACE(k);
            const RunPassInfo& p = passes[k];
            EXPECT_EQ(Form1->Series1->XValue(k + 1), p.runTime);
            EXPECT_EQ(Form1->Series1->YValue(k + 1), c.speedMode ? p.speedY : p.positionY);
            EXPECT_EQ(Form1->Series2->YValue(k + 1), p.actualSpeed);
            EXPECT_EQ(c.speedMode ? p.actualSpeed : p.actualPosition, p.response);
            if (c.speedMode) {
                EXPECT_EQ(80, p.command);
            } else {
                EXPECT_EQ(Form1->Series3->YValue(k + 1), p.actualPosition);
                EXPECT_EQ(Form1->Series4->YValue(k + 1), p.command);
            }
        }
    }
}

// A speed-mode run with actions in numbered pauses (every Sleep counts, the
// passes' and the hold's): what it plotted and how often it slept.
TEST_F(MainWindow, PauseHoldsTheRunBetweenPassesAndNextPassRunsExactlyOne) {
    enum Action { None, PauseButton, NextButton, ResumeButton, Space, Right, Stop, Start };
    struct Case {
        const char* name;
        std::vector<Action> atPause;  // action in Sleep 1, 2, ...
        std::size_t sleeps;
        std::size_t points;  // on Series1, the start point included
    };
    const Case cases[] = {
        {"pause, next, resume", {None, PauseButton, None, NextButton, None, ResumeButton, None, Stop}, 8, 6},
        {"keys on the chart", {None, Space, None, Right, None, Space, None, Stop}, 8, 6},
        {"Regelung aus while held", {None, PauseButton, None, Stop}, 4, 3},
        {"nested run while held", {None, PauseButton, Start, None, Stop}, 5, 3},
    };
    show_regulation_page();
    Form1->cbSpeedRegulation->SetChecked(true);
    Form1->Analysis->open();
    Form1->Chart1->Widget()->setFocus();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pauses.clear();
        onPause = [&](int n) {
            if (static_cast<std::size_t>(n) > c.atPause.size()) return;
            QWidget* chart = Form1->Chart1->Widget();
            switch (c.atPause[static_cast<std::size_t>(n - 1)]) {
                case None: break;
                case PauseButton: press("Pause"); break;
                case NextButton: press("Next pass"); break;
                case ResumeButton: press("Resume"); break;
                case Space: QTest::keyClick(chart, Qt::Key_Space); break;
                case Right: QTest::keyClick(chart, Qt::Key_Right); break;
                case Stop: click_later(Form1->Button2); break;
                case Start: click_later(Form1->Button1); break;
            }
        };
        click(Form1->Button1);
        EXPECT_EQ(c.sleeps, pauses.size());
        EXPECT_EQ(c.points, Form1->Series1->Count());
        EXPECT_FALSE(Form1->RegulationFeed.paused());
        EXPECT_EQ(0, Form1->RegulationFeed.runs_going());
    }
}

namespace {

// Every designed control of the regulation page where it was laid out, at
// its size and whole inside its parent, and the page at least as wide as
// designed.
struct DesignedPage {
    std::vector<std::pair<QWidget*, QRect>> controls;
    DesignedPage() {
        for (TControl* c : std::initializer_list<TControl*>{Form1->Button1, Form1->Button2, Form1->edKp, Form1->edKi,
                                                             Form1->edKd, Form1->GroupBox1, Form1->edKv, Form1->edW,
                                                             Form1->cbSpeedRegulation, Form1->edPos}) {
            controls.emplace_back(c->Widget(), c->Widget()->geometry());
        }
    }
    void expect_kept() const {
        for (const auto& [widget, designed] : controls) {
            EXPECT_EQ(designed, widget->geometry()) << widget->metaObject()->className();
            EXPECT_TRUE(widget->parentWidget()->rect().contains(widget->geometry())) << widget->metaObject()->className();
        }
        EXPECT_GE(Form1->Chart1->Widget()->width(), 660);
        EXPECT_GE(Form1->Panel1->Widget()->width(), 660);
    }
};

}  // namespace

// Widening and narrowing the panel never squeezes the page: the window
// grows and shrinks instead, within the screen, and a close gives the
// window back as it was before the panel opened (or the page as the user
// resized it).
TEST_F(MainWindow, PanelKeepsThePageAsDesignedAndTheWindowOnTheScreen) {
    show_regulation_page();
    QApplication::processEvents();
    const DesignedPage page;
    QWidget* window = Form1->Widget();
    const int frame = window->frameGeometry().width() - window->width();
    const QRect screen = window->screen()->availableGeometry();
    struct Case {
        const char* what;
        QRect area;              // the screen's free area; empty: the screen's own
        int before;              // the window's width before opening
        std::vector<int> asked;  // panel widths asked by the handle, in turn
        int resizedTo;           // the window resized by the user once open; 0: not
        int panel;               // the panel's width then (-1: all the room there is)
        int page;                // the page's width beside it
    };
    const Case cases[] = {
        {"opened", {}, 668, {}, 0, 400, 668},
        {"widened to the screen's edge", {}, 668, {2000}, 0, -1, 668},
        {"widened, then narrowed", {}, 668, {900, 350}, 0, 350, 668},
        {"at its least", {}, 668, {100}, 0, 300, 668},
        {"a narrower window first", {}, 300, {}, 0, 400, 668},
        {"the user narrows the window", {}, 668, {}, 500, 400, 668},
        {"the user widens it", {}, 668, {}, 1100, 400, 700},
        {"a small screen", QRect(0, 0, 1024, 768), 668, {600}, 0, 1024 - 668 - frame, 668},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Form1->Analysis->set_screen_area([&c, screen] { return c.area.isEmpty() ? screen : c.area; });
        window->move(100, 200);
        window->resize(c.before, 468);
        QApplication::processEvents();
        Form1->Analysis->open();
        if (Form1->Analysis->panel()->width() != AnalysisPanel::kWidth) Form1->Analysis->set_panel_width(AnalysisPanel::kWidth);
        for (const int width : c.asked) Form1->Analysis->panel()->widthAsked(width);
        if (c.resizedTo > 0) window->resize(c.resizedTo, 468);
        QApplication::processEvents();
        const QRect area = c.area.isEmpty() ? screen : c.area;
        const int panel = c.panel >= 0 ? c.panel : area.width() - frame - 668;
        EXPECT_EQ(panel, Form1->Analysis->panel()->width());
        EXPECT_EQ(c.page + panel, window->width());
        EXPECT_TRUE(area.contains(window->frameGeometry())) << window->frameGeometry().x() << " " << window->frameGeometry().width();
        page.expect_kept();

        Form1->Analysis->close();
        QApplication::processEvents();
        EXPECT_EQ(c.resizedTo > 0 ? c.page : c.before, window->width());
        EXPECT_EQ(QPoint(100, 200), window->pos());  // moved to stay on the screen, it goes back
        if (c.before >= 668) page.expect_kept();
    }
}

// The wheel over the panel scrolls it; a combo box or spin box takes it only
// when it has the focus.
TEST_F(MainWindow, WheelScrollsThePanelUnlessAComboOrSpinBoxHasTheFocus) {
    show_regulation_page();
    Form1->Analysis->open();
    QApplication::processEvents();
    QScrollBar* scroll = Form1->Analysis->panel()->scroll_area()->verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 0);
    QComboBox* combo = Form1->Analysis->panel()->findChildren<QComboBox*>().value(0);
    QSpinBox* spin = Form1->Analysis->panel()->findChildren<QSpinBox*>().value(0);
    ASSERT_TRUE(combo && spin);
    combo->setCurrentIndex(1);
    spin->setValue(spin->minimum() + 1);
    for (QWidget* w : {static_cast<QWidget*>(combo), static_cast<QWidget*>(spin)}) {
        for (const bool focused : {false, true}) {
            SCOPED_TRACE(w->metaObject()->className() + std::string(focused ? " focused" : ""));
            scroll->setValue(scroll->maximum() / 2);
            if (focused) {
                w->activateWindow();
                w->setFocus();
                QApplication::processEvents();
                ASSERT_TRUE(w->hasFocus());
            }
            const int comboIndex = combo->currentIndex();
            const int spinValue = spin->value();
            const QPoint at = w->rect().center();
            QWheelEvent wheel(at, w->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(w, &wheel);
            EXPECT_EQ(!focused, scroll->value() != scroll->maximum() / 2);
            EXPECT_EQ(focused, combo->currentIndex() != comboIndex || spin->value() != spinValue);
            if (focused) w->clearFocus();
        }
    }
}

// The panel's state survives a restart: left open at a width it opens so,
// the window where the user left it and the edits as they were; left
// closed the window starts exactly as designed, with no panel made.
TEST_F(MainWindow, PanelStartsAsItWasLeft) {
    const struct {
        bool leftOpen;
        int width;
        QRect window;  // moved and resized by the user while the panel was open (page, not panel)
    } cases[] = {{true, 520, QRect(30, 40, 700, 500)}, {false, 520, QRect(30, 40, 700, 500)},
                 {true, 310, QRect(100, 200, 668, 468)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        Form1->Analysis->open();
        Form1->Analysis->set_panel_width(c.width);
        Form1->Widget()->move(c.window.topLeft());
        Form1->Widget()->resize(c.window.width() + c.width, c.window.height());
        Form1->edKp->SetText("2000");
        Form1->cbSpeedRegulation->SetChecked(true);
        if (!c.leftOpen) Form1->Analysis->close();
        delete Form1;
        Form1 = nullptr;
        Application->CreateForm(Form1);
        Form1->Show();
        QApplication::processEvents();
        EXPECT_EQ(c.leftOpen, Form1->Analysis->is_open());
        EXPECT_EQ(c.leftOpen, Form1->Analysis->panel() != nullptr);
        EXPECT_EQ(c.leftOpen ? c.window.width() + c.width : 668, Form1->Widget()->width());
        EXPECT_EQ(c.leftOpen ? c.window.height() : 468, Form1->Widget()->height());
        EXPECT_EQ(c.leftOpen ? c.window.topLeft() : QPoint(100, 200), Form1->Widget()->pos());
        EXPECT_EQ(c.leftOpen ? "2000" : "250", Form1->edKp->Text());
        EXPECT_EQ(c.leftOpen, Form1->cbSpeedRegulation->Checked());
        EXPECT_EQ(!c.leftOpen, Form1->edKv->Enabled());  // the mode's edits follow the box
    }
}

// The map's axes, ranges and metric and "Keep runs" survive a restart.
TEST_F(MainWindow, PanelChoicesSurviveARestart) {
    Form1->Analysis->open();
    QWidget* map = Form1->Analysis->panel()->findChild<QWidget*>("gainMap");
    ASSERT_NE(nullptr, map);
    map->findChild<QComboBox*>("xGain")->setCurrentIndex(2);
    map->findChild<QLineEdit*>("yRange")->setText("7:9");
    map->findChild<QComboBox*>("metric")->setCurrentIndex(1);
    QCheckBox* keep = nullptr;
    for (QCheckBox* box : Form1->Analysis->panel()->findChildren<QCheckBox*>()) {
        if (box->text() == "Keep runs") keep = box;
    }
    ASSERT_NE(nullptr, keep);
    keep->setChecked(!keep->isChecked());
    const bool kept = keep->isChecked();
    Form1->Analysis->close();
    delete Form1;
    Form1 = nullptr;
    Application->CreateForm(Form1);
    Form1->Analysis->open();
    map = Form1->Analysis->panel()->findChild<QWidget*>("gainMap");
    EXPECT_EQ(2, map->findChild<QComboBox*>("xGain")->currentIndex());
    EXPECT_EQ("7:9", map->findChild<QLineEdit*>("yRange")->text().toStdString());
    EXPECT_EQ(1, map->findChild<QComboBox*>("metric")->currentIndex());
    for (QCheckBox* box : Form1->Analysis->panel()->findChildren<QCheckBox*>()) {
        if (box->text() == "Keep runs") {
            EXPECT_EQ(kept, box->isChecked());
        }
    }
}
