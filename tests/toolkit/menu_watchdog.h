#pragma once
// A menu opened by a test runs its own loop (QMenu::exec) until an item is
// chosen or it closes. If the test's own way of closing it never comes (the
// menu opens where the test does not look for it), the watchdog closes every
// open menu after its time, so the test fails on fired() instead of hanging
// until CTest gives up.
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QWidget>

class MenuWatchdog {
public:
    explicit MenuWatchdog(int ms = 10000) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            fired_ = true;
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (qobject_cast<QMenu*>(widget) != nullptr && widget->isVisible()) widget->close();
            }
        });
        timer_.start(ms);
    }
    // True when the time ran out and the watchdog closed the menus.
    bool fired() const { return fired_; }

private:
    QTimer timer_;
    bool fired_ = false;
};
