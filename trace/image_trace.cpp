#include "trace/image_trace.h"

#include "drawing/page_drawing.h"
#include "toolkit/sys/files.h"
#include "trace/command_frame.h"
#include "trace/regulation_setup.h"

#include <string>

namespace {

enum class PageImage { NcPath, CircleTest };

// A drawing for a file: no pauses, nothing shown on the way; a stop asked
// meanwhile ends it where "Stop" would.
class FilePace : public DrawingPace {
public:
    bool stopped() override { return stop_asked(&command_stop()); }
};

// The page's picture as the button leaves it, at the window's designed
// size, encoded in `format`. Throws CommandStopped after a stop.
std::string draw_page_image(PageImage which, const std::string& format) {
    TCanvas canvas(PAGE_PICTURE_WIDTH, PAGE_PICTURE_HEIGHT);
    canvas.SetDotsPerInch(PAGE_PICTURE_DPI);
    FilePace pace;
    if (which == PageImage::NcPath) {
        start_nc_path(canvas);
        draw_nc_path(canvas, pace);
    } else {
        draw_circle_test(canvas, pace);
    }
    if (stop_asked(&command_stop())) throw CommandStopped{};
    return ImageFileBytes(canvas, format);
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
