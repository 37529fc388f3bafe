// `insight`: the regulation run with, per pass, the real-valued twin's
// counterparts and the wraps and limits the integer cascade met.
#include "core/formats/csv.h"
#include "core/measure/headless_run.h"
#include "core/measure/regulation_insight.h"
#include "trace/regulation_setup.h"
#include "trace/traces.h"

#include <cstdint>
#include <ostream>
#include <string>

void trace_insight(const ParsedOptions& options, TraceOutput& out, std::ostream& warnings) {
    const RunSetup setup = read_regulation_setup(options, warnings);
    out.write(std::string("pass,time,y,speed,position,command,shadow_y,shadow_speed,shadow_position,events\n"));

    RegulationInsight insight;
    insight_start(insight, setup.speedMode, setup.gains);
    const bool speedMode = setup.speedMode;
    std::string text;
    text.reserve(256);
    const auto cell = [&text](double value) {
        csv_append_number(text, value);
        text += ',';
    };
    const auto empty = [&text] { text += ','; };
    Engine engine = chosen_program_engine();
    run_headless(
        engine, setup,
        [&](const RegulationRun& run, const RegulationPoints& points, std::int64_t pass) {
            text.clear();
            cell(static_cast<double>(pass));
            cell(run.runTime);
            cell(points.y[0]);
            cell(points.y[1]);
            speedMode ? empty() : cell(points.y[2]);
            cell(speedMode ? engine.cascade.speedController.w : points.y[3]);
            cell(twin_chart_y(insight.twin, speedMode));
            cell(insight.twin.speed);
            speedMode ? empty() : cell(insight.twin.position);
            append_event_names(text, insight.events.raised);
            text += '\n';
            out.write(text);
        },
        [&engine, &insight](RegulationRun& run, bool mode) { return insight_control(engine, insight, run, mode); });
}
