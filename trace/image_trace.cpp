#include "trace/image_trace.h"

#include "toolkit/app/application.h"
#include "toolkit/app/exception.h"
#include "trace/command_frame.h"
#include "trace/regulation_setup.h"
#include "toolkit/sys/files.h"
#include "toolkit/sys/sysutils.h"
#include "window/main_form.h"

#include <string>

namespace {

enum class PageImage { NcPath, CircleTest };

// The page's image as the button leaves it, drawn by the window's own
// handler off screen and without its pauses, encoded in `format`. A stop
// asked meanwhile ends the drawing as "Stop" would (CommandStopped).
std::string draw_page_image(PageImage which, const std::string& format) {
    struct Shutdown {
        ~Shutdown() { Application->Shutdown(); }
    } shutdown;
    Application->InitializeOffscreen();
    Application->CreateForm(Form1);
    Form1->Show();
    Application->ProcessMessages();  // lay the window out as on screen
    const SleepHandler previous = SetSleepHandler([](unsigned) {
        if (command_stop() != 0) Form1->stop_drawings();
    });
    Application->SetUnwatched(true);  // the picture is what counts, not its showing
    if (which == PageImage::NcPath) {
        Form1->btDrawNCPathClick(nullptr);
    } else {
        Form1->Button3Click(nullptr);
    }
    Application->SetUnwatched(false);
    SetSleepHandler(previous);
    if (command_stop() != 0) throw CommandStopped{};
    return ImageFileBytes(*Form1->Image1->Canvas(), format);
}

}  // namespace

int trace_image(const ParsedOptions& options) {
    if (options.words.size() > 1) throw UsageError{"image takes one kind, not " + echo_quoted(options.words[1])};
    const std::string which = options.words.empty() ? std::string() : options.words[0];
    if (which != "nc" && which != "circle") {
        throw UsageError{which.empty() ? "image needs 'nc' or 'circle'" : "image needs 'nc' or 'circle', not " + echo_quoted(which)};
    }
    if (which == "circle" && options.text("program")) {
        throw UsageError{"image circle draws no NC program: --program is for image nc"};
    }
    const auto out = options.text("out");
    if (!out) throw UsageError{"image needs --out FILE"};
    const std::string format = *out == "-" ? std::string("png") : ImageFormatForPath(*out);
    if (format.empty()) throw UsageError{"cannot tell a picture format Qt writes from " + echo_quoted(*out)};
    load_program_option(options);
    return run_in_frame("image", *out, [&](TraceOutput& output) {
        output.write(draw_page_image(which == "nc" ? PageImage::NcPath : PageImage::CircleTest, format));
        return 0;
    });
}
