#include "core/csv.h"
#include "core/regulation.h"
#include "trace/regulation_setup.h"
#include "trace/traces.h"

#include <array>
#include <cstdint>

namespace {

// The trace's side of a pass: a fixed mode, no pause, "Regelung aus" after
// the chosen number of passes, and a CSV row per pass.
class TracePass final : public RegulationPassHost {
public:
    TracePass(bool speedMode, std::int64_t passes, TraceOutput& out) : speedMode_(speedMode), passes_(passes), out_(out) {}

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
    std::int64_t passes_;
    std::int64_t pass_ = 0;
    TraceOutput& out_;
    std::string text_;
    std::array<std::optional<double>, 5> cells_{0.0, 0.0, 0.0, 0.0, 0.0};
};

}  // namespace

void trace_regulation(const ParsedOptions& options, TraceOutput& out, std::ostream& warnings) {
    const RegulationSetup setup = read_regulation_setup(options, warnings);
    TracePass host{setup.speedMode, setup.passLimit, out};
    host.write_header_and_start_points();

    RegulationRun run;
    regulationRunning = true;
    regulation_start(run, setup.speedMode, setup.gains);
    while (regulationRunning) {
        if (!regulation_pass(run, host)) break;
    }
}
