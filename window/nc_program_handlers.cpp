// Choosing the NC program that "Draw NC Path" and a position-mode run load.
#include "core/program/nc_program.h"
#include "toolkit/sys/dialogs.h"
#include "window/main_form.h"
#include "io/nc_program_file.h"

void TForm1::btLoadNCProgramClick(TObject*) {
    const std::string path = PromptOpenFileName("Load NC program", "NC programs (*.nc *.ngc *.txt);;All files (*)");
    if (path.empty()) return;
    std::string error;
    // A file that does not load leaves the chosen program as it was.
    if (!choose_nc_program_file(path, error)) throw Exception(error);
    nc_program_chosen();
}

void TForm1::BuiltInProgramClick(TObject*) {
    nc_choose_demo();
    nc_program_chosen();
}
