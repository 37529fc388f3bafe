#pragma once
// Click handlers: how a control calls a method of its form. Every handler
// runs through FireEvent, which counts how many handlers are running (they
// nest inside ProcessMessages), shows an exception that leaves one in the
// error box, and holds back a window close until the outermost returns.
#include <functional>

class Exception;
class QWidget;
class TObject;

using TNotifyEvent = std::function<void(TObject* Sender)>;

// A form method as a handler: Button1->OnClick = Bind(this, &TForm1::Button1Click).
template <class Form>
TNotifyEvent Bind(Form* form, void (Form::*method)(TObject*)) {
    return [form, method](TObject* sender) { (form->*method)(sender); };
}

// Runs `handler` (if set) for `sender` as the message loop runs a handler.
void FireEvent(const TNotifyEvent& handler, TObject* sender);

// Where FireEvent shows an exception that leaves a handler (the application
// sets its error box here). Returns the previous one.
using HandlerErrorDisplay = std::function<void(const Exception& e)>;
HandlerErrorDisplay SetHandlerErrorDisplay(HandlerErrorDisplay display);

// How many handlers are running now, nested ones included.
int HandlerDepth();

// For a window's close request: while a handler runs, remembers the request
// and returns true (the caller ignores the close); the window is closed once
// the outermost handler has returned. Returns false when no handler runs.
bool DeferCloseWhileHandlersRun(QWidget* window);

// True while a window's close waits for the running handlers to return: a
// handler that waits for the user gives up its wait then.
bool CloseHeldBack();
