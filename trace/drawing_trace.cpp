#include "core/engine/arc.h"
#include "core/engine/circle.h"
#include "core/formats/csv.h"
#include "trace/traces.h"

#include <array>
#include <string>

namespace {

// Circle arguments stay far from the 32-bit limits so that no sum overflows.
constexpr long kCircleLimit = 1000000;

void append_point(std::string& text, const PlotPoint& p) {
    const std::array<std::optional<double>, 2> cells{double(p.x), double(p.y)};
    csv_append_row(text, cells);
}

std::int16_t arc_option(const ParsedOptions& options, const char* name, long fallback) {
    return static_cast<std::int16_t>(integer_option(options, name, fallback, -32768, 32767));
}

void start_points_csv(std::string& text) {
    const std::string_view header[] = {"a", "b"};
    csv_append_header(text, header);
}

}  // namespace

void trace_circle(const ParsedOptions& options, TraceOutput& out) {
    const auto cx = static_cast<std::int32_t>(integer_option(options, "cx", 100, -kCircleLimit, kCircleLimit));
    const auto cy = static_cast<std::int32_t>(integer_option(options, "cy", 100, -kCircleLimit, kCircleLimit));
    const auto r = static_cast<std::int32_t>(integer_option(options, "r", 80, -kCircleLimit, kCircleLimit));
    std::string text;
    start_points_csv(text);
    PlotPoint first{};
    CircleState circle = circle_begin(cx, cy, r, first);
    append_point(text, first);
    PlotPoint pass[8];
    while (circle_next_pass(circle, pass)) {
        for (const PlotPoint& p : pass) append_point(text, p);
        if (text.size() > (1u << 16)) {
            out.write(text);
            text.clear();
        }
    }
    out.write(text);
}

void trace_arc(const ParsedOptions& options, TraceOutput& out) {
    const std::int16_t cx = arc_option(options, "cx", 100);
    const std::int16_t cy = arc_option(options, "cy", 100);
    const std::int16_t sx = arc_option(options, "sx", 100);
    const std::int16_t sy = arc_option(options, "sy", 180);
    const std::int16_t ex = arc_option(options, "ex", 180);
    const std::int16_t ey = arc_option(options, "ey", 100);
    std::string text;
    start_points_csv(text);
    ArcState arc = arc_begin(cx, cy, sx, sy, ex, ey);
    append_point(text, arc_point(arc));
    PlotPoint p{};
    while (arc_next(arc, p)) {
        append_point(text, p);  // the window draws it three times; once here
        if (text.size() > (1u << 16)) {
            out.write(text);
            text.clear();
        }
    }
    out.write(text);
    if (!arc_at_end(arc)) {
        const PlotPoint last = arc_point(arc);
        throw TraceIncomplete{"the end point (" + std::to_string(ex) + ", " + std::to_string(ey) +
                              ") was never met; the trace stopped at (" + std::to_string(last.x) + ", " +
                              std::to_string(last.y) + ") after " + std::to_string(arc.passes) + " passes" +
                              (arc.repeated ? ", having come round to an earlier step" : "")};
    }
}
