#include "trace/image_trace.h"

#include "toolkit/app/application.h"
#include "toolkit/sys/files.h"
#include "toolkit/sys/sysutils.h"
#include "window/main_form.h"

bool write_page_image(PageImage which, const std::string& path, std::string& error) {
    bool written = false;
    try {
        // The window's own handler draws the picture, off screen and without
        // its pauses.
        Application->InitializeOffscreen();
        Application->CreateForm(Form1);
        Form1->Show();
        Application->ProcessMessages();  // lay the window out as on screen
        const SleepHandler previous = SetSleepHandler([](unsigned) {});
        if (which == PageImage::NcPath) {
            Form1->btDrawNCPathClick(nullptr);
        } else {
            Form1->Button3Click(nullptr);
        }
        SetSleepHandler(previous);
        SavePngFile(*Form1->Image1->Canvas(), path);
        written = true;
    } catch (const Exception& e) {
        error = e.Message();
    }
    Application->Shutdown();
    return written;
}
