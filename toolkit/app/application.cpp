#include "toolkit/app/application.h"

#include "toolkit/app/events.h"
#include "toolkit/app/form.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

TApplication theApplication;

ExceptionReporter& exception_reporter() {
    static ExceptionReporter reporter;
    return reporter;
}

MessagePumpHook& message_pump_hook() {
    static MessagePumpHook hook;
    return hook;
}

bool display_configured() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// Without XDG_RUNTIME_DIR (as root, in a bare session) Qt falls back to a
// folder in /tmp of its own and warns at every start. The program names one
// as Qt would make it, kept from start to start: this user's alone (0700),
// and left alone when someone else holds the name.
void use_own_runtime_directory() {
    if (std::getenv("XDG_RUNTIME_DIR") != nullptr) return;
    const std::string name = "/tmp/vantrel-runtime-" + std::to_string(::geteuid());
    if (::mkdir(name.c_str(), 0700) != 0 && errno != EEXIST) return;
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 077) != 0) {
        return;
    }
    ::setenv("XDG_RUNTIME_DIR", name.c_str(), 1);
}

std::string one_line(std::string text) {
    for (char& ch : text) {
        if (ch == '\n' || ch == '\r') ch = ' ';
    }
    return text;
}

}  // namespace

TApplication* Application = &theApplication;

TApplication::TApplication() : TComponent(nullptr) {
    SetHandlerErrorDisplay([this](const Exception& e) { ShowException(e); });
}

TApplication::~TApplication() {
    // Qt's own globals are gone by now; a toolkit that Shutdown did not end
    // is left to the operating system rather than destroyed too late.
    (void)toolkit_.release();
}

void TApplication::Initialize() {
    if (QCoreApplication::instance()) return;
    // Without a display Qt would abort the program; say so in one line.
    if (!display_configured()) {
        // Named as it was started: build/vantrel from the tree, vantrel once installed.
        throw Exception(std::string("no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset); "
                                    "run it under a virtual display: xvfb-run -a ") +
                        program_invocation_name);
    }
    use_own_runtime_directory();
    // The program takes no arguments; Qt wants a name and a lifetime-long argv.
    static int argc = 1;
    static char name[] = "vantrel";
    static char* argv[] = {name, nullptr};
    toolkit_ = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
}

void TApplication::Run() {
    if (!mainForm_) return;
    // Run ends when the main form is closed, not when some window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    mainForm_->Show();
    if (terminated_) return;
    running_ = true;
    QApplication::exec();
    running_ = false;
}

void TApplication::ProcessMessages() {
    if (const MessagePumpHook& hook = message_pump_hook()) hook();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TApplication::ShowException(const Exception& e) {
    if (const ExceptionReporter& reporter = exception_reporter()) {
        reporter(Title, e.Message());
        return;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s: %s\n", Title.c_str(), one_line(e.Message()).c_str());
        return;
    }
    QWidget* parent = QApplication::activeWindow();
    if (!parent && mainForm_) parent = mainForm_->Widget();
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(Title), QString::fromStdString(e.Message()),
                    QMessageBox::Ok, parent);
    box.exec();
}

void TApplication::Terminate() {
    terminated_ = true;
    // Only a running loop is told to end: Qt keeps an exit asked for outside
    // one and would end every later loop (menus, dialogs) at once.
    if (running_) QCoreApplication::exit(0);
}

void TApplication::Shutdown() {
    DestroyComponents();
    toolkit_.reset();
}

void TApplication::set_main_form(TForm* form) {
    mainForm_ = form;
    terminated_ = false;
    form->OnClosed = [this, form] {
        if (mainForm_ == form) Terminate();
    };
}

void TApplication::ComponentRemoved(TComponent* component) {
    if (component == mainForm_) mainForm_ = nullptr;
}

ExceptionReporter SetExceptionReporter(ExceptionReporter reporter) {
    ExceptionReporter previous = std::move(exception_reporter());
    exception_reporter() = std::move(reporter);
    return previous;
}

MessagePumpHook SetMessagePumpHook(MessagePumpHook hook) {
    MessagePumpHook previous = std::move(message_pump_hook());
    message_pump_hook() = std::move(hook);
    return previous;
}
