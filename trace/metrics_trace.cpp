#include "core/measure/headless_run.h"
#include "core/formats/metrics_format.h"
#include "trace/command_frame.h"
#include "trace/regulation_setup.h"
#include "trace/traces.h"

void trace_metrics(const ParsedOptions& options, TraceOutput& out, std::ostream& warnings) {
    const std::string format = options.text("format").value_or("csv");
    if (format != "csv" && format != "json") {
        throw UsageError{"option --format needs 'csv' or 'json', not " + echo_quoted(format)};
    }
    const RunSetup setup = read_regulation_setup(options, warnings);
    RunMeter meter{chosen_program_engine(), {}};
    const RunMetrics metrics =
        measure_regulation_run(meter, setup.speedMode, setup.gains, setup.passLimit, setup.stop);
    if (stop_asked(setup.stop)) throw CommandStopped{};  // a run cut short measured nothing
    out.write(format == "json" ? metrics_json(setup.gains, metrics)
                               : metrics_csv_header() + metrics_csv_row(setup.gains, metrics));
}
