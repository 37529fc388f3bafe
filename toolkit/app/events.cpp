#include "toolkit/app/events.h"

#include "toolkit/app/application.h"
#include "toolkit/app/exception.h"

#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include <exception>
#include <vector>

namespace {

int handlerDepth = 0;
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
        Application->ShowException(e);
    } catch (const std::exception& e) {
        Application->ShowException(Exception(e.what()));
    } catch (...) {
        Application->ShowException(Exception(""));
    }
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
