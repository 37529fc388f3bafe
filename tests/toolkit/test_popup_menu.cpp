#include "tests/toolkit/menu_watchdog.h"
#include "tests/toolkit/toolkit_test_support.h"
#include "toolkit/app/exception.h"
#include "toolkit/controls/popup_menu.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Right-clicks `widget`, and chooses item `choose` of the menu that opens.
QStringList right_click_and_choose(QWidget& widget, int choose) {
    QStringList captions;
    // Poll until the menu is up: it opens inside the event below and blocks
    // there until an item is chosen.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&captions, &poll, choose] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || !menu->isVisible()) return;
        poll.stop();
        for (QAction* action : menu->actions()) captions << action->text();
        menu->setActiveAction(menu->actions().at(choose));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    poll.start(5);
    MenuWatchdog watchdog;
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), widget.mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(&widget, &event);
    EXPECT_FALSE(watchdog.fired()) << "the menu did not close within the watchdog's time";
    return captions;
}

TEST(PopupMenu, RightClickShowsTheItemsAndRunsTheChosenOne) {
    QWidget widget;
    widget.resize(100, 100);
    widget.show();
    std::vector<int> chosen;
    TPopupMenu menu;
    menu.AddItem("First...", [&chosen](TObject*) { chosen.push_back(1); });
    menu.AddItem("Second...", [&chosen](TObject*) { chosen.push_back(2); });
    menu.AttachTo(&widget);

    EXPECT_EQ(right_click_and_choose(widget, 1), QStringList({"First...", "Second..."}));
    EXPECT_EQ(chosen, std::vector<int>{2});
    menu.Click(0);
    EXPECT_EQ(chosen, (std::vector<int>{2, 1}));
}

TEST(PopupMenu, WatchdogClosesAMenuThatNobodyCloses) {
    QWidget widget;
    widget.resize(100, 100);
    widget.show();
    TPopupMenu menu;
    bool chosen = false;
    menu.AddItem("Never chosen", [&chosen](TObject*) { chosen = true; });
    menu.AttachTo(&widget);
    MenuWatchdog watchdog(50);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), widget.mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(&widget, &event);  // returns only once the menu is closed
    EXPECT_TRUE(watchdog.fired());
    EXPECT_FALSE(chosen);
}

TEST(PopupMenu, AnErrorInAnItemShowsInTheErrorBox) {
    ErrorBoxCapture errors;
    QWidget widget;
    widget.resize(100, 100);
    widget.show();
    TPopupMenu menu;
    menu.AddItem("Fail", [](TObject*) { throw Exception("Cannot save x: disk full"); });
    menu.AttachTo(&widget);
    right_click_and_choose(widget, 0);
    ASSERT_EQ(errors.shown.size(), 1u);
    EXPECT_EQ(errors.shown[0].message, "Cannot save x: disk full");
}

}  // namespace
