#include "core/csv.h"
#include "core/int16.h"
#include "core/regulation.h"
#include "toolkit/sys/sysutils.h"
#include "trace/traces.h"

#include <array>
#include <limits>
#include <ostream>

namespace {

// An edit text read as the window reads it: not a number gives 0, then the
// low 16 bits. Either surprise earns one warning line.
std::int16_t edit_value(const ParsedOptions& options, const std::string& name, const std::string& initial,
                        std::ostream& warnings) {
    const std::string text = options.text(name).value_or(initial);
    const int value = ParseIntDefault(text, 0);
    const std::int16_t kept = wrap16(value);
    if (value == 0 && ParseIntDefault(text, 1) == 1) {
        warnings << "vantrel-trace: warning: --" << name << " '" << text << "' is not a number; using 0\n";
    } else if (kept != value) {
        warnings << "vantrel-trace: warning: --" << name << " " << value << " wraps to " << kept << " in 16 bits\n";
    }
    return kept;
}

}  // namespace

void trace_regulation(const ParsedOptions& options, TraceOutput& out, std::ostream& warnings) {
    const std::string mode = options.text("mode").value_or("position");
    if (mode != "speed" && mode != "position") {
        throw UsageError{"option --mode needs 'speed' or 'position', not '" + mode + "'"};
    }
    const bool speedMode = mode == "speed";
    if (speedMode && !options.text("passes")) throw UsageError{"speed mode needs --passes N"};
    const long passes = integer_option(options, "passes", std::numeric_limits<long>::max(), 1,
                                       std::numeric_limits<long>::max());

    // The window's initial texts, in the order the window reads them.
    RegulationGains gains{};
    gains.kp = edit_value(options, "kp", "250", warnings);
    gains.ki = edit_value(options, "ki", "60", warnings);
    gains.kd = edit_value(options, "kd", "0", warnings);
    gains.kv = edit_value(options, "kv", "30", warnings);
    gains.w = edit_value(options, "w", "80", warnings);

    std::string text;
    const std::string_view header[] = {"time", "series1", "series2", "series3", "series4"};
    csv_append_header(text, header);
    std::array<std::optional<double>, 5> cells{0.0, 0.0, 0.0, 0.0, 0.0};
    csv_append_row(text, cells);  // the start points
    out.write(text);

    RegulationRun run;
    regulationRunning = true;
    regulation_start(run, speedMode, gains);
    for (long pass = 1; regulationRunning; ++pass) {
        if (!regulation_control(run, speedMode)) break;
        if (pass == passes) stop_regulation();  // as if "Regelung aus" came in this pass
        const RegulationPoints points = regulation_chart_points(run, speedMode);
        cells[0] = run.runTime;
        for (int i = 0; i < 4; ++i) {
            cells[static_cast<std::size_t>(i) + 1] = i < points.count ? std::optional<double>(points.y[i]) : std::nullopt;
        }
        text.clear();
        csv_append_row(text, cells);
        out.write(text);
        regulation_advance_clock(run, speedMode);
    }
}
