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

// The trace's side of a pass: a fixed mode, no pause, "Regelung aus" after
// the chosen number of passes, and a CSV row per pass.
class TracePass final : public RegulationPassHost {
public:
    TracePass(bool speedMode, long passes, TraceOutput& out) : speedMode_(speedMode), passes_(passes), out_(out) {}

    void write_header_and_start_points() {
        const std::string_view header[] = {"time", "series1", "series2", "series3", "series4"};
        csv_append_header(text_, header);
        csv_append_row(text_, cells_);
        out_.write(text_);
    }

    bool speed_mode() override { return speedMode_; }
    void pause_and_pump() override {
        if (++pass_ == passes_) stop_regulation();  // as if "Regelung aus" came in this pass
    }
    void chart_points(const RegulationRun& run, const RegulationPoints& points) override {
        cells_[0] = run.runTime;
        for (int i = 0; i < 4; ++i) {
            cells_[static_cast<std::size_t>(i) + 1] = i < points.count ? std::optional<double>(points.y[i]) : std::nullopt;
        }
        text_.clear();
        csv_append_row(text_, cells_);
        out_.write(text_);
    }

private:
    bool speedMode_;
    long passes_;
    long pass_ = 0;
    TraceOutput& out_;
    std::string text_;
    std::array<std::optional<double>, 5> cells_{0.0, 0.0, 0.0, 0.0, 0.0};
};

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

    TracePass host{speedMode, passes, out};
    host.write_header_and_start_points();

    RegulationRun run;
    regulationRunning = true;
    regulation_start(run, speedMode, gains);
    while (regulationRunning) {
        if (!regulation_pass(run, host)) break;
    }
}
