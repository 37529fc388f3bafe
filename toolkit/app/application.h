#pragma once
// The application object: starts the toolkit, creates the forms, runs the
// message loop and shows errors.
#include "toolkit/app/component.h"
#include "toolkit/app/exception.h"

#include <functional>
#include <memory>
#include <new>
#include <string>

class QApplication;
class TForm;

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    // Makes the toolkit ready for windows. Throws Exception when there is no
    // display to open them on. Without XDG_RUNTIME_DIR (as root, in a bare
    // session) Qt is given a runtime folder of this user's own instead of
    // warning at every start.
    void Initialize();

    // The main window carries its task-bar button itself (always so here).
    bool MainFormOnTaskBar = false;
    // Caption of the error box.
    std::string Title = "vantrel";

    // Creates a form of class T owned by the application. `ref` holds the
    // form before its constructor runs, so the constructor's code can reach
    // it; if the constructor throws, `ref` is emptied again. The first form
    // created becomes the main form.
    template <class T>
    void CreateForm(T*& ref) {
        void* storage = ::operator new(sizeof(T));
        ref = static_cast<T*>(storage);
        try {
            ref = new (storage) T(this);
        } catch (...) {
            ref = nullptr;
            ::operator delete(storage);
            throw;
        }
        if (!mainForm_) set_main_form(ref);
    }
    TForm* MainForm() const { return mainForm_; }

    // Shows the main form and dispatches messages until it is closed.
    void Run();
    // Dispatches every pending message, paints included, and returns.
    void ProcessMessages();
    // Error box with the message, captioned with Title; one line on stderr
    // when the toolkit is not running.
    void ShowException(const Exception& e);

    // The main form has been closed: Run returns.
    void Terminate();
    bool Terminated() const { return terminated_; }

    // End of the program: destroys the forms, then the toolkit it started.
    void Shutdown();

protected:
    void ComponentRemoved(TComponent* component) override;

private:
    void set_main_form(TForm* form);

    std::unique_ptr<QApplication> toolkit_;  // only when Initialize made it
    TForm* mainForm_ = nullptr;
    bool terminated_ = false;
    bool running_ = false;  // inside Run's message loop
};

extern TApplication* Application;

// Replaces the error box (tests see the error instead of a modal box); an
// empty function restores the box. Returns the previous reporter.
using ExceptionReporter = std::function<void(const std::string& title, const std::string& message)>;
ExceptionReporter SetExceptionReporter(ExceptionReporter reporter);

// Called at the start of every ProcessMessages (tests count passes with it);
// returns the previous hook.
using MessagePumpHook = std::function<void()>;
MessagePumpHook SetMessagePumpHook(MessagePumpHook hook);
