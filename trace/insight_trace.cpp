// `insight`: the regulation run with, per pass, the real-valued twin's
// counterparts and the wraps and limits the integer cascade met.
#include "core/csv.h"
#include "core/regulation_insight.h"
#include "trace/regulation_setup.h"
#include "trace/traces.h"

#include <cstdint>
#include <ostream>
#include <string>

namespace {

// A fixed mode, no pause, "Regelung aus" after the chosen number of passes,
// and one row per pass.
class InsightPass final : public RegulationPassHost {
public:
    InsightPass(const RegulationSetup& setup, const RegulationInsight& insight, TraceOutput& out)
        : speedMode_(setup.speedMode), passes_(setup.passLimit), insight_(insight), out_(out) {
        text_.reserve(256);
    }

    bool speed_mode() override { return speedMode_; }
    void pause_and_pump() override {
        if (++pass_ == passes_) stop_regulation();  // as if "Regelung aus" came in this pass
    }
    void chart_points(const RegulationRun& run, const RegulationPoints& points) override {
        text_.clear();
        const auto cell = [this](double value) {
            csv_append_number(text_, value);
            text_ += ',';
        };
        const auto empty = [this] { text_ += ','; };
        cell(static_cast<double>(pass_));
        cell(run.runTime);
        cell(points.y[0]);
        cell(points.y[1]);
        speedMode_ ? empty() : cell(points.y[2]);
        cell(speedMode_ ? speedController.w : points.y[3]);
        cell(twin_chart_y(insight_.twin, speedMode_));
        cell(insight_.twin.speed);
        speedMode_ ? empty() : cell(insight_.twin.position);
        append_event_names(text_, insight_.events.raised);
        text_ += '\n';
        out_.write(text_);
    }

private:
    bool speedMode_;
    std::int64_t passes_;
    std::int64_t pass_ = 0;
    const RegulationInsight& insight_;
    TraceOutput& out_;
    std::string text_;
};

}  // namespace

void trace_insight(const ParsedOptions& options, TraceOutput& out, std::ostream& warnings) {
    const RegulationSetup setup = read_regulation_setup(options, warnings);
    out.write(std::string("pass,time,y,speed,position,command,shadow_y,shadow_speed,shadow_position,events\n"));

    RegulationRun run;
    RegulationInsight insight;
    regulationRunning = true;
    regulation_start(run, setup.speedMode, setup.gains);
    insight_start(insight, setup.speedMode, setup.gains);
    InsightPass host{setup, insight, out};
    while (regulationRunning) {
        if (!regulation_pass(run, host, insight)) break;
    }
}
