#include "core/formats/csv.h"
#include "core/measure/headless_run.h"
#include "trace/regulation_setup.h"
#include "trace/traces.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

void trace_regulation(const ParsedOptions& options, TraceOutput& out, std::ostream& warnings) {
    const RunSetup setup = read_regulation_setup(options, warnings);
    std::string text;
    std::array<std::optional<double>, 5> cells{0.0, 0.0, 0.0, 0.0, 0.0};
    const std::string_view header[] = {"time", "series1", "series2", "series3", "series4"};
    csv_append_header(text, header);
    csv_append_row(text, cells);  // the start points
    out.write(text);
    Engine engine = chosen_program_engine();
    run_headless(engine, setup, [&](const RegulationRun& run, const RegulationPoints& points, std::int64_t) {
        cells[0] = run.runTime;
        for (int i = 0; i < 4; ++i) {
            cells[static_cast<std::size_t>(i) + 1] = i < points.count ? std::optional<double>(points.y[i]) : std::nullopt;
        }
        text.clear();
        csv_append_row(text, cells);
        out.write(text);
    });
}
