// The program entry: start the toolkit, create the window, run the message
// loop. A start-up failure is shown in the error box and ends the program
// with status 1.
#include "toolkit/app/application.h"
#include "window/main_form.h"

int main() {
    int status = 0;
    try {
        Application->Initialize();
        Application->MainFormOnTaskBar = true;
        Application->CreateForm(Form1);
        Application->Run();
    } catch (const Exception& e) {
        Application->ShowException(e);
        status = 1;
    } catch (...) {
        // Anything else shows as an error box without text.
        try {
            throw Exception("");
        } catch (const Exception& e) {
            Application->ShowException(e);
        }
        status = 1;
    }
    Application->Shutdown();
    return status;
}
