// vantrel-trace: the bench's traces as CSV (or the page's image as PNG),
// without a window.
#include "core/measure/gain_set.h"
#include "toolkit/app/exception.h"
#include "trace/command_frame.h"
#include "trace/image_trace.h"
#include "trace/sweep_trace.h"
#include "trace/traces.h"
#include "trace/regulation_setup.h"
#include "trace/tune_trace.h"
#include "trace/vectors_trace.h"

#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace {

// A command of the table. Most write CSV into the output of the frame they
// run in (command_frame.h); `run` commands (image, sweep, tune, vectors) read their
// options first and run their own body in the same frame, returning the exit
// status. Either throws UsageError for a refused command line and Exception
// for an input file that cannot be used.
struct Command {
    const char* name;
    std::vector<std::string> options;
    std::vector<std::string> flags;
    const char* usage;
    void (*write)(const ParsedOptions&, TraceOutput&) = nullptr;
    int (*run)(const ParsedOptions&) = nullptr;
    bool takesWords = false;  // image nc|circle: the kind among the options
    // A refusal is one line naming the command, without the usage (scripts
    // running many sweeps read it).
    bool oneLineRefusals = false;
};

const char kUsage[] =
    "Usage: vantrel-trace COMMAND [OPTIONS] [--out FILE]\n"
    "\n"
    "Commands:\n"
    "  regulation   one regulation run: time,series1,series2,series3,series4\n"
    "  insight      a regulation run beside its real-valued twin, with wraps and limits per pass\n"
    "  metrics      the rise, overshoot, settling and following errors of one regulation run\n"
    "  nc           the NC program stepped from a fresh load: call,result,X,Y,Z\n"
    "  circle       the points of the midpoint circle: a,b\n"
    "  arc          the points of the incremental arc trace: a,b\n"
    "  image        the NC Tests page's image: image nc|circle --out FILE.png\n"
    "  sweep        the run metrics of every gain set of a grid, on worker threads\n"
    "  tune         the best gains of a box under limits: the metrics row of the best set\n"
    "  freq         the open loop's frequency response, measured in 16 bits and the linear twin's\n"
    "  margins      the gain and phase margins, crossovers, Ms and bandwidth of both\n"
    "  vectors      golden vectors of the controller and the cascade, and C99 checks of a\n"
    "               target's own controller against them: vectors pid|run|harness\n"
    "  help         this text; 'help COMMAND' is the same as 'COMMAND --help', 'help --all'\n"
    "               adds every command's help\n"
    "Each command takes --help. CSV goes to standard output unless --out FILE is given\n"
    "('--out -' is standard output too; /dev/stdout, /dev/fd/N and the like continue the\n"
    "shell's own output in place). A file appears whole or not at all.\n"
    "Commands that run the NC program take --program FILE to run that file instead of the demo.\n"
    "Files read (--program, --gains) may be any readable file: a FIFO, <(...), or '-' for stdin.\n"
    "Ctrl+C, SIGTERM or SIGHUP stops any command within moments; nothing is written.\n"
    "vantrel-trace --version prints the version.\n"
    "\n"
    "Exit status:\n"
    "  0            done\n"
    "  1            the output could not be written, or an input file is unusable\n"
    "  2            usage error\n"
    "  3            the arc trace never met its end point (the trace is written, the reason is\n"
    "               on standard error)\n"
    "  4            tune found no feasible set (nothing is written)\n"
    "  128 + N      stopped by signal N (Ctrl+C gives 130; nothing is written)\n";

// A command's options with the five gains' (--kp ... --w) among them.
std::vector<std::string> with_gains(std::vector<std::string> options) {
    options.insert(options.end(), GAIN_SET_KEYS.begin(), GAIN_SET_KEYS.begin() + RUN_GAIN_COUNT);
    return options;
}

const std::vector<Command>& commands() {
    static const std::vector<Command> list = {
        {"regulation",
         with_gains({"gains", "mode", "passes", "program", "out"}),
         {},
         "Usage: vantrel-trace regulation [--gains FILE] [--mode speed|position] [--passes N] [--kp T]\n"
         "                                [--ki T] [--kd T] [--kv T] [--w T] [--program FILE] [--out FILE]\n"
         "One regulation run as the window makes it with these edit texts (defaults: position mode,\n"
         "250, 60, 0, 30, 80), without pauses. Speed mode needs --passes N and ends after pass N;\n"
         "position mode runs until the NC program (the demo, or FILE) ends, --passes caps it. --gains\n"
         "reads the mode and the gains from a gain file ([gains] kp, ki, kd, kv, w, pos, speed_mode);\n"
         "options given after it override it.\n",
         [](const ParsedOptions& o, TraceOutput& out) { trace_regulation(o, out, std::cerr); }},
        {"insight",
         with_gains({"gains", "mode", "passes", "program", "out"}),
         {},
         "Usage: vantrel-trace insight [same options as regulation]\n"
         "One row per pass: pass,time,y,speed,position,command,shadow_y,shadow_speed,shadow_position,events\n"
         "y, speed, position and command are the integer run's chart values; the shadow_ columns are\n"
         "those of a real-valued twin of the cascade (no wrap, no truncation, the same limits);\n"
         "events names the wraps and limits of the pass, joined by '|'.\n",
         [](const ParsedOptions& o, TraceOutput& out) { trace_insight(o, out, std::cerr); }},
        {"metrics",
         with_gains({"gains", "mode", "passes", "format", "program", "out"}),
         {},
         "Usage: vantrel-trace metrics [--gains FILE] [--mode speed|position] [--passes N] [--kp T] [--ki T]\n"
         "                             [--kd T] [--kv T] [--w T] [--format csv|json] [--program FILE]\n"
         "                             [--out FILE]\n"
         "The metrics of the run that 'regulation' traces with the same options: a header line and one\n"
         "row (or one JSON object, null for empty cells). Speed mode needs --passes N. --gains reads\n"
         "a gain file; options given after it override it.\n",
         [](const ParsedOptions& o, TraceOutput& out) { trace_metrics(o, out, std::cerr); }},
        {"freq",
         {"gains", "mode", "kp", "ki", "kd", "kv", "w", "pos", "amplitude", "from", "to", "points", "jobs", "out"},
         {},
         "Usage: vantrel-trace freq [--gains FILE] [--mode speed|position] [--kp T] [--ki T] [--kd T] [--kv T]\n"
         "                          [--w T] [--pos P] [--amplitude A] [--from HZ] [--to HZ] [--points N]\n"
         "                          [--jobs J] [--out FILE]\n"
         "The open loop L of the 16-bit cascade, measured as it runs: a sine d = round(A sin(2 pi f t))\n"
         "is added where the loop is broken (speed mode: the drive's input, u = c + d, limited to\n"
         "-255 ... 255; position mode: the speed setpoint, v = p + d), and L = -C/U (or -P/V) from the\n"
         "single-bin Fourier transforms over whole periods once the loop has settled. One row per\n"
         "frequency, log-spaced: freq_hz,gain_db,phase_deg,distortion,twin_gain_db,twin_phase_deg.\n"
         "distortion is the share of c's (p's) energy about its mean that is not at f; the twin_\n"
         "columns are the linear loop's (no truncation, wrap, clamp or limit), exact.\n"
         "  --w T          the speed held in speed mode (default 0)\n"
         "  --pos P        the position held in position mode (default 0)\n"
         "  --amplitude A  counts, 1 ... 255 (default 50)\n"
         "  --from, --to   0.01 ... 125 Hz (default 0.1 and 125); each point is measured at the\n"
         "                 nearest frequency whose measured passes hold whole periods, below 125 Hz\n"
         "  --points N     1 ... 10000 (default 60)\n"
         "  --jobs J       threads (default: the number of cores); the rows are the same\n"
         "The gain options are read as regulation reads them; --gains reads a gain file (its w and\n"
         "pos are then held); options given after it override it.\n",
         [](const ParsedOptions& o, TraceOutput& out) { trace_frequency(o, out, std::cerr); }},
        {"margins",
         {"gains", "mode", "kp", "ki", "kd", "kv", "w", "pos", "amplitude", "from", "to", "points", "jobs", "format",
          "out"},
         {},
         "Usage: vantrel-trace margins [same options as freq] [--format csv|json]\n"
         "The stability margins of the response 'freq' measures with the same options, and of the\n"
         "twin's: gain_margin_db,phase_margin_deg,crossover_hz,phase_crossover_hz,ms,bandwidth_hz and\n"
         "the same six with the prefix twin_, as a header and one row (or one JSON object). Crossings\n"
         "are found between the points by interpolation in log frequency (the twin's on a fine grid,\n"
         "then narrowed on its closed form); the phase is wrapped to (-360, 0]; with several phase\n"
         "crossovers the smallest |gain margin| counts, with several gain crossovers the smallest\n"
         "|phase margin|; ms is the largest |1/(1+L)|; bandwidth where |L/(1+L)| first falls 3 dB\n"
         "below its value at --from. A crossing the range does not show is an empty cell (null).\n",
         [](const ParsedOptions& o, TraceOutput& out) { trace_margins(o, out, std::cerr); }},
        {"nc",
         {"program", "out"},
         {"print-demo"},
         "Usage: vantrel-trace nc [--program FILE] [--out FILE]\n"
         "       vantrel-trace nc --print-demo [--out FILE]\n"
         "One row per nc_step call of the demo program (or FILE), up to the first non-zero result.\n"
         "--print-demo writes the demo program as a program file instead.\n",
         trace_nc},
        {"circle",
         {"cx", "cy", "r", "out"},
         {},
         "Usage: vantrel-trace circle [--cx N] [--cy N] [--r N] [--out FILE]\n"
         "The logical points the midpoint circle plots, in drawing order (defaults 100, 100, 80).\n",
         trace_circle},
        {"arc",
         {"cx", "cy", "sx", "sy", "ex", "ey", "out"},
         {},
         "Usage: vantrel-trace arc [--cx N] [--cy N] [--sx N] [--sy N] [--ex N] [--ey N] [--out FILE]\n"
         "The start point, then one row per pass of the arc trace (defaults: the circle test's\n"
         "100, 100, 100, 180, 180, 100).\n",
         trace_arc},
        {"image",
         {"program", "out"},
         {},
         "Usage: vantrel-trace image nc|circle [--program FILE] --out FILE\n"
         "The NC Tests page's image as \"Draw NC Path\" (of the demo, or FILE) or \"Circle test\" leaves\n"
         "it, without pauses. The file's extension chooses the format (png, jpg, bmp, ...; PNG without\n"
         "one or for '-').\n",
         nullptr,
         trace_image,
         true},
        {"sweep",
         with_gains({"gains", "mode", "passes", "jobs", "shard", "program", "engine", "out"}),
         {"wraps"},
    "Usage: vantrel-trace sweep [--mode speed|position] [--kp RANGE] [--ki RANGE] [--kd RANGE]\n"
    "                           [--kv RANGE] [--w RANGE] [--passes N] [--jobs J] [--shard K/N]\n"
    "                           [--gains FILE] [--program FILE] [--engine E] [--wraps] [--out FILE]\n"
    "The metrics of one run per gain set, with the header and columns of `vantrel-trace metrics`.\n"
    "RANGE is V, FROM:TO or FROM:TO:STEP (whole numbers, TO included, STEP 1 unless given, values\n"
    "within 16 bits); a gain left out keeps the window's initial value (250, 60, 0, 30, 80). Rows\n"
    "come in a fixed order, kp slowest and w fastest, whatever --jobs is. Speed mode needs\n"
    "--passes N; position mode runs each run to the end of the NC program, --passes caps it.\n"
    "--gains FILE (a gain file) gives the mode and the fixed gains; options given after it\n"
    "override it. --program FILE runs that NC program instead of the demo.\n"
    "  --jobs J     worker threads (default: the number of cores)\n"
    "  --shard K/N  only the gain sets whose index i in that order has i mod N = K\n"
    "  --engine E   auto (default), lanes (many gain sets stepped together on the widest\n"
    "               instruction set of this CPU) or scalar (one run at a time); the rows are\n"
    "               the same with every engine\n"
    "  --wraps      one more column, wraps: 1 when a pass wraps an error, sum or output of\n"
    "               either loop, else 0 (costs about a tenth more time)\n"
    "Progress goes to standard error. Ctrl+C stops the sweep and leaves no --out file.\n",
         nullptr,
         trace_sweep,
         false,
         true},
        {"tune",
         with_gains({"gains", "mode", "passes", "jobs", "program", "engine", "objective", "top", "max", "min", "budget",
                     "out"}),
         {"no-wraps", "stream"},
    "Usage: vantrel-trace tune [--mode speed|position] [--kp RANGE] [--ki RANGE] [--kd RANGE] [--kv RANGE]\n"
    "                          [--w V] [--passes N] [--objective COLUMN] [--max COLUMN=VALUE]...\n"
    "                          [--min COLUMN=VALUE]... [--no-wraps] [--top K] [--budget PASSES]\n"
    "                          [--jobs J] [--gains FILE]\n"
    "                          [--program FILE] [--engine E] [--stream] [--out FILE]\n"
    "The gains kp, ki, kd, kv within their ranges whose run has the smallest value of the metrics\n"
    "column COLUMN (default iae; a signed column counts by its magnitude), among the feasible ones.\n"
    "Prints the header of `vantrel-trace metrics` and the row of the best set (--top K: the K best,\n"
    "best first); ties go to the smaller kp, then ki, kd, kv. RANGE is V, FROM:TO or FROM:TO:STEP as\n"
    "in sweep; a gain left out keeps its value from --gains or the window's initial one (250, 60, 0,\n"
    "30, 80); w is never searched. Speed mode needs --passes N; position mode runs each run to the\n"
    "end of the NC program, --passes caps it.\n"
    "A box whose work fits the budget is measured whole, and the answer is exact; a larger one is\n"
    "searched within the budget, and the answer is the best of the sets measured. Standard error\n"
    "says which: \"exact: every set measured\" or \"best found: N of M sets measured\".\n"
    "  --max COLUMN=VALUE  feasible only when the column is at most VALUE (a signed column by its\n"
    "                      magnitude; an empty cell is not feasible); may be given several times\n"
    "  --min COLUMN=VALUE  feasible only when it is at least VALUE; likewise\n"
    "                      Besides the metrics, the margins of each set's linear twin can be limited\n"
    "                      (twin_gain_margin_db, twin_phase_margin_deg, twin_crossover_hz,\n"
    "                      twin_phase_crossover_hz, twin_ms, twin_bandwidth_hz, as `margins` prints\n"
    "                      them from 0.1 Hz on); they cost 16000 passes of the budget a set\n"
    "  --no-wraps          feasible only when no pass wraps an error, sum or output of either loop\n"
    "                      (clamps and the PWM and setpoint limits are allowed)\n"
    "  --budget PASSES     the work to spend, in passes: each run costs its passes plus 100\n"
    "                      (default 2e10); the same budget gives the same answer on any machine\n"
    "  --jobs J            worker threads (default: the number of cores); the rows are the same\n"
    "  --engine E          auto, lanes or scalar, as in sweep\n"
    "  --stream            one line per event instead, first field the kind: 'kind,' and the header\n"
    "                      first; 'set,ROW' for feasible sets as they are found (each new best, and\n"
    "                      a sample of the others); 'progress,N,P,M' as N sets of at most P are\n"
    "                      measured, of the M in the box; at the end 'answer,exact,N,M' or\n"
    "                      'answer,best found,N,M' and 'best,ROW' for each best row\n"
    "Progress goes to standard error. Exit status 4: no feasible set among the sets measured\n"
    "(standard error says how many, whether that was every set of the box, and which constraint\n"
    "ruled out the most); no rows are written.\n",
         nullptr,
         trace_tune,
         false,
         true},
        {"vectors",
         {"count", "seed", "format", "gains", "mode", "passes", "kp", "ki", "kd", "kv", "w", "program", "out"},
         {},
         "Usage: vantrel-trace vectors pid [--count N] [--seed S] [--format csv|c] [--out FILE]\n"
         "       vantrel-trace vectors run [regulation's options] [--format csv|c] [--out FILE]\n"
         "       vantrel-trace vectors harness [--count N] [--seed S] [regulation's options] [--out DIR]\n"
         "Golden vectors for checking a target's controller against the bench, bit for bit.\n"
         "pid: one step of the controller per vector: the record before it (w,x,y,ta,e,eSum,ePrev,\n"
         "kp,ki,kd), the measured value, the record after it. First a fixed table of edge cases, one\n"
         "or more for each rule of the step, then N random vectors (default 1000) from seed S\n"
         "(default 1); the same seed gives the same bytes everywhere. CSV columns: vector,\n"
         "w..kd, actual, w_after..kd_after, rules (the rules the vector exercises, joined by '|'),\n"
         "case (the edge case's name).\n"
         "run: the cascade pass by pass in the run 'regulation' makes with the same options: CSV\n"
         "columns pass,speed,position,command_x, position_w..position_kd, speed_w..speed_kd,\n"
         "pwm_duty,pwm_direction; pass 0 is the state the run starts from, pass N the measured\n"
         "speed and position handed to the loops (and the commanded X) and the state they left.\n"
         "--format c writes the C99 check of either instead (pid_vectors_check.c,\n"
         "cascade_vectors_check.c).\n"
         "harness: both checks and a README into DIR (default vantrel-vectors; made if missing).\n"
         "Each check needs only the target's pid_update (and regulate_speed, regulate_position),\n"
         "prints 'N vectors, 0 differ' and exits 0, or reports the first vector that differs\n"
         "(number, field, got, wanted, xor, the record before) and exits 1. Define\n"
         "PID_VECTORS_PARTS=n and PID_VECTORS_PART=k (CASCADE_VECTORS_... likewise) to compile\n"
         "only part k of n, for a target short of memory.\n",
         nullptr,
         trace_vectors,
         true},
    };
    return list;
}

int usage_error(const std::string& message, const char* usage) {
    std::cerr << "vantrel-trace: " << message << "\n" << usage;
    return 2;
}

int failure(const std::string& message, int status) {
    std::cerr << "vantrel-trace: " << echo_printable(message) << "\n";
    return status;
}

int run(const std::vector<std::string>& args) {
    if (args.empty()) return usage_error("missing command", kUsage);
    if (args[0] == "--help" || args[0] == "-h" || (args[0] == "help" && args.size() == 1)) {
        std::cout << kUsage;
        return 0;
    }
    if (args[0] == "help" && args.size() == 2 && args[1] == "--all") {
        // The manual page is made from this: the whole help, then each
        // command's under a heading of its own, indented as help2man wants it.
        std::cout << kUsage;
        for (const Command& command : commands()) {
            std::cout << "\nThe " << command.name << " command:\n";
            for (std::string_view rest = command.usage; !rest.empty();) {
                const std::size_t end = rest.find('\n');
                std::cout << "  " << rest.substr(0, end) << "\n";
                rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            }
        }
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
    for (const Command& command : commands()) {
        if (args[0] != command.name) continue;
        try {
            const ParsedOptions options = parse_options({args.begin() + 1, args.end()}, command.options, command.flags,
                                                        command.takesWords);
            if (options.help) {
                std::cout << command.usage;
                return 0;
            }
            if (command.run) return command.run(options);
            if (options.flag("print-demo") && options.text("program")) {
                throw UsageError{"--print-demo prints the demo; it takes no --program"};
            }
            load_program_option(options);
            return run_in_frame(command.name, options.text("out").value_or(""), [&](TraceOutput& out) {
                command.write(options, out);
                return 0;
            });
        } catch (const UsageError& e) {
            if (!command.oneLineRefusals) return usage_error(e.message, command.usage);
            std::cerr << "vantrel-trace: " << command.name << ": " << e.message << "\n";
            return 2;
        } catch (const Exception& e) {  // a file the command reads is unusable
            return failure(e.Message(), 1);
        }
    }
    return usage_error("unknown command " + echo_quoted(args[0]), kUsage);
}

}  // namespace

int main(int argc, char** argv) { return run({argv + 1, argv + argc}); }
