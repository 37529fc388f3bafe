// vantrel-trace: the bench's traces as CSV (or the page's image as PNG),
// without a window.
#include "toolkit/app/exception.h"
#include "trace/image_trace.h"
#include "trace/sweep_trace.h"
#include "trace/traces.h"
#include "trace/tune_trace.h"
#include "toolkit/sys/files.h"
#include "io/nc_program_file.h"

#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct Command {
    const char* name;
    std::vector<std::string> options;
    std::vector<std::string> flags;
    const char* usage;
    std::function<void(const ParsedOptions&, TraceOutput&)> run;
};

const char kUsage[] =
    "usage: vantrel-trace COMMAND [OPTIONS] [--out FILE]\n"
    "commands:\n"
    "  regulation   one regulation run: time,series1,series2,series3,series4\n"
    "  insight      a regulation run beside its real-valued twin, with wraps and limits per pass\n"
    "  metrics      the rise, overshoot, settling and following errors of one regulation run\n"
    "  nc           the NC program stepped from a fresh load: call,result,X,Y,Z\n"
    "  circle       the points of the midpoint circle: a,b\n"
    "  arc          the points of the incremental arc trace: a,b\n"
    "  image        the NC Tests page's image: image nc|circle --out FILE.png\n"
    "  sweep        the run metrics of every gain set of a grid, in worker processes\n"
    "  tune         the best gains of a box under limits: the metrics row of the best set\n"
    "  help         this text; 'help COMMAND' is the same as 'COMMAND --help'\n"
    "Each command takes --help. CSV goes to standard output unless --out FILE is given\n"
    "('--out -' is standard output too).\n"
    "Commands that run the NC program take --program FILE to run that file instead of the demo.\n"
    "Files read (--program, --gains) may be any readable file: a FIFO, <(...), or '-' for stdin.\n"
    "Exit status: 0 done; 1 the output could not be written or an input file is unusable;\n"
    "2 usage error; 3 the arc trace never met its end point (the trace is written, the reason is\n"
    "on stderr); 4 tune found no feasible set; 128 + signal when a sweep or tune is stopped.\n"
    "vantrel-trace --version prints the version.\n";

const std::vector<Command>& commands() {
    static const std::vector<Command> list = {
        {"regulation",
         {"gains", "mode", "passes", "kp", "ki", "kd", "kv", "w", "program", "out"},
         {},
         "usage: vantrel-trace regulation [--gains FILE] [--mode speed|position] [--passes N] [--kp T]\n"
         "                                [--ki T] [--kd T] [--kv T] [--w T] [--program FILE] [--out FILE]\n"
         "One regulation run as the window makes it with these edit texts (defaults: position mode,\n"
         "250, 60, 0, 30, 80), without pauses. Speed mode needs --passes N and ends after pass N;\n"
         "position mode runs until the NC program (the demo, or FILE) ends, --passes caps it. --gains\n"
         "reads the mode and the gains from a gain file ([gains] kp, ki, kd, kv, w, pos, speed_mode);\n"
         "options given after it override it.\n",
         [](const ParsedOptions& o, TraceOutput& out) { trace_regulation(o, out, std::cerr); }},
        {"insight",
         {"gains", "mode", "passes", "kp", "ki", "kd", "kv", "w", "program", "out"},
         {},
         "usage: vantrel-trace insight [same options as regulation]\n"
         "One row per pass: pass,time,y,speed,position,command,shadow_y,shadow_speed,shadow_position,events\n"
         "y, speed, position and command are the integer run's chart values; the shadow_ columns are\n"
         "those of a real-valued twin of the cascade (no wrap, no truncation, the same limits);\n"
         "events names the wraps and limits of the pass, joined by '|'.\n",
         [](const ParsedOptions& o, TraceOutput& out) { trace_insight(o, out, std::cerr); }},
        {"metrics",
         {"gains", "mode", "passes", "kp", "ki", "kd", "kv", "w", "format", "program", "out"},
         {},
         "usage: vantrel-trace metrics [--gains FILE] [--mode speed|position] [--passes N] [--kp T] [--ki T]\n"
         "                             [--kd T] [--kv T] [--w T] [--format csv|json] [--program FILE]\n"
         "                             [--out FILE]\n"
         "The metrics of the run that 'regulation' traces with the same options: a header line and one\n"
         "row (or one JSON object, null for empty cells). Speed mode needs --passes N. --gains reads\n"
         "a gain file; options given after it override it.\n",
         [](const ParsedOptions& o, TraceOutput& out) { trace_metrics(o, out, std::cerr); }},
        {"nc",
         {"program", "out"},
         {"print-demo"},
         "usage: vantrel-trace nc [--program FILE] [--out FILE]\n"
         "       vantrel-trace nc --print-demo [--out FILE]\n"
         "One row per nc_step call of the demo program (or FILE), up to the first non-zero result.\n"
         "--print-demo writes the demo program as a program file instead.\n",
         trace_nc},
        {"circle",
         {"cx", "cy", "r", "out"},
         {},
         "usage: vantrel-trace circle [--cx N] [--cy N] [--r N] [--out FILE]\n"
         "The logical points the midpoint circle plots, in drawing order (defaults 100, 100, 80).\n",
         trace_circle},
        {"arc",
         {"cx", "cy", "sx", "sy", "ex", "ey", "out"},
         {},
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

int failure(const std::string& message, int status) {
    std::cerr << "vantrel-trace: " << printable(message) << "\n";
    return status;
}

// --program FILE: the file becomes the program the run loads. False (with
// the message written) when it does not load.
bool choose_program_option(const ParsedOptions& options) {
    const auto path = options.text("program");
    if (!path) return true;
    std::string error;
    if (choose_nc_program_file(*path, error)) return true;
    failure(error, 1);
    return false;
}

int run_image(const std::vector<std::string>& args) {
    const char* usage =
        "usage: vantrel-trace image nc|circle [--program FILE] --out FILE\n"
        "The NC Tests page's image as \"Draw NC Path\" (of the demo, or FILE) or \"Circle test\" leaves\n"
        "it, without pauses. The file's extension chooses the format (png, jpg, bmp, ...; PNG without\n"
        "one or for '-').\n";
    // The kind may stand anywhere among the options.
    std::vector<std::string> rest;
    std::vector<std::string> kinds;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("-", 0) != 0) {
            kinds.push_back(arg);
            continue;
        }
        rest.push_back(arg);
        if (arg.rfind("--", 0) == 0 && arg != "--help" && arg.find('=') == std::string::npos && i + 1 < args.size()) {
            rest.push_back(args[++i]);
        }
    }
    ParsedOptions options;
    try {
        options = parse_options(rest, {"program", "out"});
    } catch (const UsageError& e) {
        return usage_error(e.message, usage);
    }
    if (options.help) {
        std::cout << usage;
        return 0;
    }
    if (kinds.size() > 1) return usage_error("image takes one kind, not " + quoted(kinds[1]), usage);
    const std::string which = kinds.empty() ? std::string() : kinds[0];
    if (which != "nc" && which != "circle") {
        return usage_error(which.empty() ? "image needs 'nc' or 'circle'" : "image needs 'nc' or 'circle', not " + quoted(which),
                           usage);
    }
    const auto out = options.text("out");
    if (!out || out->empty()) return usage_error("image needs --out FILE", usage);
    const std::string format = *out == "-" ? std::string("png") : ImageFormatForPath(*out);
    if (format.empty()) return usage_error("cannot tell a picture format Qt writes from " + quoted(*out), usage);
    if (!choose_program_option(options)) return 1;
    std::string error;
    if (!write_page_image(which == "nc" ? PageImage::NcPath : PageImage::CircleTest, *out, format, error)) {
        return failure(error, 1);
    }
    return 0;
}

int run(const std::vector<std::string>& args) {
    if (args.empty()) return usage_error("missing command", kUsage);
    if (args[0] == "--help" || args[0] == "-h" || (args[0] == "help" && args.size() == 1)) {
        std::cout << kUsage;
        return 0;
    }
    if (args[0] == "help") {
        if (args.size() > 2) return usage_error("help takes one command", kUsage);
        return run({args[1], "--help"});
    }
    if (args[0] == "--version") {
        std::cout << "vantrel-trace " << VANTREL_VERSION << "\n";
        return 0;
    }
    if (args[0] == "image") return run_image({args.begin() + 1, args.end()});
    if (args[0] == "sweep") return trace_sweep({args.begin() + 1, args.end()});
    if (args[0] == "tune") return trace_tune({args.begin() + 1, args.end()});
    for (const Command& command : commands()) {
        if (args[0] != command.name) continue;
        ParsedOptions options;
        try {
            options = parse_options({args.begin() + 1, args.end()}, command.options, command.flags);
            if (options.help) {
                std::cout << command.usage;
                return 0;
            }
            if (options.flag("print-demo") && options.text("program")) {
                throw UsageError{"--print-demo prints the demo; it takes no --program"};
            }
            if (!choose_program_option(options)) return 1;
            TraceOutput out(options.text("out").value_or(""));
            std::string error;
            if (!out.open(error)) return failure(error, 1);
            int status = 0;
            try {
                command.run(options, out);
            } catch (const TraceIncomplete& e) {
                error = e.message;
                status = 3;
            } catch (const Exception& e) {  // a file the command reads is unusable
                return failure(e.Message(), 1);
            }
            std::string writeError;
            if (!out.commit(writeError)) return failure(writeError, 1);
            return status == 0 ? 0 : failure(error, status);
        } catch (const UsageError& e) {
            return usage_error(e.message, command.usage);
        } catch (const TraceOutputError& e) {
            return failure(e.message, 1);
        }
    }
    return usage_error("unknown command " + quoted(args[0]), kUsage);
}

}  // namespace

int main(int argc, char** argv) { return run({argv + 1, argv + argc}); }
