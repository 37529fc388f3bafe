// vantrel-trace: the bench's traces as CSV (or the page's image as PNG),
// without a window.
#include "toolkit/app/exception.h"
#include "trace/image_trace.h"
#include "trace/sweep_trace.h"
#include "trace/traces.h"

#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct Command {
    const char* name;
    std::vector<std::string> options;
    const char* usage;
    std::function<void(const ParsedOptions&, TraceOutput&)> run;
};

const char kUsage[] =
    "usage: vantrel-trace COMMAND [OPTIONS] [--out FILE]\n"
    "commands:\n"
    "  regulation   one regulation run: time,series1,series2,series3,series4\n"
    "  metrics      the rise, overshoot, settling and following errors of one regulation run\n"
    "  nc           the demo NC program stepped from a fresh load: call,result,X,Y,Z\n"
    "  circle       the points of the midpoint circle: a,b\n"
    "  arc          the points of the incremental arc trace: a,b\n"
    "  image        the NC Tests page's image as PNG: image nc|circle --out FILE.png\n"
    "  sweep        the run metrics of every gain set of a grid, in worker processes\n"
    "Each command takes --help. CSV goes to standard output unless --out FILE is given.\n";

const std::vector<Command>& commands() {
    static const std::vector<Command> list = {
        {"regulation",
         {"gains", "mode", "passes", "kp", "ki", "kd", "kv", "w", "out"},
         "usage: vantrel-trace regulation [--gains FILE] [--mode speed|position] [--passes N] [--kp T]\n"
         "                                [--ki T] [--kd T] [--kv T] [--w T] [--out FILE]\n"
         "One regulation run as the window makes it with these edit texts (defaults: position mode,\n"
         "250, 60, 0, 30, 80), without pauses. Speed mode needs --passes N and ends after pass N;\n"
         "position mode runs until the NC program ends, --passes caps it. --gains reads the mode and\n"
         "the gains from a gain file ([gains] kp, ki, kd, kv, w, pos, speed_mode); options given\n"
         "after it override it.\n",
         [](const ParsedOptions& o, TraceOutput& out) { trace_regulation(o, out, std::cerr); }},
        {"metrics",
         {"gains", "mode", "passes", "kp", "ki", "kd", "kv", "w", "format", "out"},
         "usage: vantrel-trace metrics [--gains FILE] [--mode speed|position] [--passes N] [--kp T] [--ki T]\n"
         "                             [--kd T] [--kv T] [--w T] [--format csv|json] [--out FILE]\n"
         "The metrics of the run that 'regulation' traces with the same options: a header line and one\n"
         "row (or one JSON object, null for empty cells). --gains reads a gain file; options given\n"
         "after it override it.\n",
         [](const ParsedOptions& o, TraceOutput& out) { trace_metrics(o, out, std::cerr); }},
        {"nc",
         {"out"},
         "usage: vantrel-trace nc [--out FILE]\n"
         "One row per nc_step call of the demo program, up to the first non-zero result.\n",
         trace_nc},
        {"circle",
         {"cx", "cy", "r", "out"},
         "usage: vantrel-trace circle [--cx N] [--cy N] [--r N] [--out FILE]\n"
         "The logical points the midpoint circle plots, in drawing order (defaults 100, 100, 80).\n",
         trace_circle},
        {"arc",
         {"cx", "cy", "sx", "sy", "ex", "ey", "out"},
         "usage: vantrel-trace arc [--cx N] [--cy N] [--sx N] [--sy N] [--ex N] [--ey N] [--out FILE]\n"
         "The start point, then one row per pass of the arc trace (defaults: the circle test's\n"
         "100, 100, 100, 180, 180, 100).\n",
         trace_arc},
    };
    return list;
}

int usage_error(const std::string& message, const char* usage) {
    std::cerr << "vantrel-trace: " << message << "\n" << usage;
    return 2;
}

int run_image(const std::vector<std::string>& args) {
    const char* usage =
        "usage: vantrel-trace image nc|circle --out FILE.png\n"
        "The NC Tests page's image as \"Draw NC Path\" or \"Circle test\" leaves it, without pauses.\n";
    std::vector<std::string> rest;
    std::string which;
    for (const std::string& arg : args) {
        if (which.empty() && arg.rfind("-", 0) != 0) which = arg;
        else rest.push_back(arg);
    }
    ParsedOptions options;
    try {
        options = parse_options(rest, {"out"});
    } catch (const UsageError& e) {
        return usage_error(e.message, usage);
    }
    if (options.help) {
        std::cout << usage;
        return 0;
    }
    if (which != "nc" && which != "circle") return usage_error("image needs 'nc' or 'circle'", usage);
    const auto out = options.text("out");
    if (!out || out->empty()) return usage_error("image needs --out FILE.png", usage);
    std::string error;
    if (!write_page_image(which == "nc" ? PageImage::NcPath : PageImage::CircleTest, *out, error)) {
        std::cerr << "vantrel-trace: " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage_error("missing command", kUsage);
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (args[0] == "image") return run_image({args.begin() + 1, args.end()});
    if (args[0] == "sweep") return trace_sweep({args.begin() + 1, args.end()});
    for (const Command& command : commands()) {
        if (args[0] != command.name) continue;
        ParsedOptions options;
        try {
            options = parse_options({args.begin() + 1, args.end()}, command.options);
            if (options.help) {
                std::cout << command.usage;
                return 0;
            }
            TraceOutput out(options.text("out").value_or(""));
            std::string error;
            if (!out.open(error)) {
                std::cerr << "vantrel-trace: " << error << "\n";
                return 1;
            }
            try {
                command.run(options, out);
            } catch (const Exception& e) {  // a file the command reads is unusable
                std::cerr << "vantrel-trace: " << e.Message() << "\n";
                return 1;
            }
            if (!out.commit(error)) {
                std::cerr << "vantrel-trace: " << error << "\n";
                return 1;
            }
            return 0;
        } catch (const UsageError& e) {
            return usage_error(e.message, command.usage);
        }
    }
    return usage_error("unknown command '" + args[0] + "'", kUsage);
}
