#include "trace/image_trace.h"

#include "toolkit/app/application.h"
#include "toolkit/app/exception.h"
#include "trace/regulation_setup.h"
#include "toolkit/sys/files.h"
#include "toolkit/sys/sysutils.h"
#include "window/main_form.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

// Qt wants a runtime directory and says so on standard error when
// XDG_RUNTIME_DIR is unset: give it a private one for the run.
class PrivateRuntimeDirectory {
public:
    PrivateRuntimeDirectory() {
        if (std::getenv("XDG_RUNTIME_DIR") != nullptr) return;
        char name[] = "/tmp/vantrel-trace-runtime-XXXXXX";  // mkdtemp makes it 0700
        if (::mkdtemp(name) == nullptr) return;
        path_ = name;
        ::setenv("XDG_RUNTIME_DIR", name, 1);
    }
    ~PrivateRuntimeDirectory() {
        if (path_.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    PrivateRuntimeDirectory(const PrivateRuntimeDirectory&) = delete;
    PrivateRuntimeDirectory& operator=(const PrivateRuntimeDirectory&) = delete;

private:
    std::string path_;
};

}  // namespace

bool write_page_image(PageImage which, const std::string& path, const std::string& format, std::string& error) {
    bool written = false;
    PrivateRuntimeDirectory runtimeDirectory;
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
        SaveImageFile(*Form1->Image1->Canvas(), path, format);
        written = true;
    } catch (const Exception& e) {
        error = e.Message();
    }
    Application->Shutdown();
    return written;
}

int trace_image(const ParsedOptions& options) {
    if (options.words.size() > 1) throw UsageError{"image takes one kind, not " + echo_quoted(options.words[1])};
    const std::string which = options.words.empty() ? std::string() : options.words[0];
    if (which != "nc" && which != "circle") {
        throw UsageError{which.empty() ? "image needs 'nc' or 'circle'" : "image needs 'nc' or 'circle', not " + echo_quoted(which)};
    }
    const auto out = options.text("out");
    if (!out || out->empty()) throw UsageError{"image needs --out FILE"};
    const std::string format = *out == "-" ? std::string("png") : ImageFormatForPath(*out);
    if (format.empty()) throw UsageError{"cannot tell a picture format Qt writes from " + echo_quoted(*out)};
    load_program_option(options);
    std::string error;
    if (!write_page_image(which == "nc" ? PageImage::NcPath : PageImage::CircleTest, *out, format, error)) {
        throw Exception(error);
    }
    return 0;
}
