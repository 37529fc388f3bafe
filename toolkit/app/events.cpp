#include "toolkit/app/events.h"

#include "toolkit/app/exception.h"

#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include <exception>
#include <vector>

namespace {

int handlerDepth = 0;

HandlerErrorDisplay& error_display() {
    static HandlerErrorDisplay display;
    return display;
}

void show(const Exception& e) {
    if (const HandlerErrorDisplay& display = error_display()) display(e);
}
std::vector<QPointer<QWidget>> closesHeldBack;

// Closing is queued, not done here: the handler's caller is still on the
// stack, and the close must reach the window from the message loop.
void close_held_back_windows() {
    std::vector<QPointer<QWidget>> windows;
    windows.swap(closesHeldBack);
    for (const QPointer<QWidget>& window : windows) {
        if (!window) continue;
        QWidget* target = window.data();
        QMetaObject::invokeMethod(target, [target] { target->close(); }, Qt::QueuedConnection);
    }
}

class HandlerScope {
public:
    HandlerScope() { ++handlerDepth; }
    ~HandlerScope() {
        if (--handlerDepth == 0 && !closesHeldBack.empty()) close_held_back_windows();
    }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;
};

}  // namespace

void FireEvent(const TNotifyEvent& handler, TObject* sender) {
    if (!handler) return;
    // The error box shows inside the scope, so a close during it waits too.
    HandlerScope scope;
    try {
        handler(sender);
    } catch (const Exception& e) {
        show(e);
    } catch (const std::exception& e) {
        show(Exception(e.what()));
    } catch (...) {
        show(Exception(""));
    }
}

HandlerErrorDisplay SetHandlerErrorDisplay(HandlerErrorDisplay display) {
    HandlerErrorDisplay previous = std::move(error_display());
    error_display() = std::move(display);
    return previous;
}

int HandlerDepth() { return handlerDepth; }

bool DeferCloseWhileHandlersRun(QWidget* window) {
    if (handlerDepth == 0) return false;
    for (const QPointer<QWidget>& held : closesHeldBack) {
        if (held == window) return true;
    }
    closesHeldBack.emplace_back(window);
    return true;
}

bool CloseHeldBack() { return !closesHeldBack.empty(); }
