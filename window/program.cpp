#include "window/program.h"

#include "toolkit/app/application.h"
#include "window/main_form.h"

#include <string_view>

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
        if (std::string_view(argv[i]) == "--version") {
            out << "vantrel " << program_version() << "\n";
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
