#pragma once
// Helpers of the toolkit and window tests: captured error boxes, queued
// actions (they run inside the next ProcessMessages, as a user's click would).
#include "toolkit/app/application.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <functional>
#include <string>
#include <utility>
#include <vector>

struct ShownError {
    std::string title;
    std::string message;
};

// Collects what ShowException would show, for the lifetime of the object.
class ErrorBoxCapture {
public:
    ErrorBoxCapture()
        : previous_(SetExceptionReporter([this](const std::string& title, const std::string& message) {
              shown.push_back({title, message});
          })) {}
    ~ErrorBoxCapture() { SetExceptionReporter(std::move(previous_)); }
    ErrorBoxCapture(const ErrorBoxCapture&) = delete;
    ErrorBoxCapture& operator=(const ErrorBoxCapture&) = delete;

    std::vector<ShownError> shown;

private:
    ExceptionReporter previous_;
};

// Runs `action` from the message queue, the way a click reaches a handler.
inline void post(std::function<void()> action) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(action), Qt::QueuedConnection);
}
