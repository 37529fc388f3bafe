#include "window/program.h"

#include "toolkit/app/application.h"
#include "window/main_form.h"

#include <string_view>

namespace {

// What `vantrel --help` prints. The build makes the manual page from it with
// help2man, which takes "Usage:" and a blank line for the synopsis and a
// line like "Options:" for a section.
const char kHelp[] =
    "Usage: vantrel [--help] [--version] [Qt's options]\n"
    "\n"
    "Vantrel parameters and integrator: a test bench for a 16-bit fixed-point PID cascade\n"
    "regulating a simulated drive, a small NC interpreter that draws its path, and an integer\n"
    "circle and arc tracer, in one window.\n"
    "\n"
    "The \"Regelung Tests\" page runs the cascade in speed or position mode and charts it pass\n"
    "by pass; the \"NC Tests\" page draws the NC program's path and the circle test. F9 opens\n"
    "the analysis panel. vantrel-trace(1) makes the same runs without a window.\n"
    "\n"
    "Options:\n"
    "  --help       print this text and exit\n"
    "  --version    print the version and exit\n"
    "Qt's own options (-platform NAME, -display DISPLAY, -style NAME, ...) are passed on to Qt.\n"
    "Without a display, run it under a virtual one: xvfb-run -a vantrel\n"
    "\n"
    "Exit status: 0 after the window was closed; 1 when it could not start (the reason is\n"
    "shown in the error box, or on standard error without a display).\n";

}  // namespace

const char* program_version() { return VANTREL_VERSION; }

int run_guarded(const std::function<void()>& start) {
    int status = 0;
    try {
        start();
    } catch (const Exception& e) {
        Application->ShowException(e);
        status = 1;
    } catch (...) {
        Application->ShowException(Exception(""));
        status = 1;
    }
    Application->Shutdown();
    return status;
}

int run_program(int argc, char** argv, std::ostream& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--version") {
            out << "vantrel " << program_version() << "\n";
            return 0;
        }
        if (arg == "--help") {
            out << kHelp;
            return 0;
        }
    }
    return run_guarded([] {
        Application->Initialize();
        Application->MainFormOnTaskBar = true;
        Application->CreateForm(Form1);
        Application->Run();
    });
}
