// `freq` and `margins`: the loop's frequency response as it runs in 16 bits,
// beside the real-valued twin's, and the stability margins of both.
#include "core/batch/frequency_batch.h"
#include "core/formats/response_format.h"
#include "core/frequency/frequency_response.h"
#include "core/frequency/loop_margins.h"
#include "trace/command_frame.h"
#include "trace/regulation_setup.h"
#include "trace/traces.h"

#include <ostream>
#include <vector>

namespace {

constexpr double kLowestHz = 0.01;  // a period of 25000 passes

struct ResponseRequest {
    ResponseSetup setup;
    std::vector<double> hz;
    double fromHz = 0.0;
    double toHz = 0.0;
    int jobs = 1;
};

ResponseRequest read_request(const ParsedOptions& options, std::ostream& warnings) {
    const SetupSources sources = read_setup_sources(options, false);
    const RunSetup run = regulation_setup_of(sources, warnings);
    ResponseRequest request;
    ResponseSetup& setup = request.setup;
    setup.speedMode = run.speedMode;
    setup.gains = run.gains;
    // About rest, unless a speed (--w) or a position (--pos) is asked for.
    if (!options.text("gains") && !options.text("w")) setup.gains.w = 0;
    if (sources.filePos) setup.position = *sources.filePos;
    else setup.position = static_cast<std::int16_t>(integer_option(options, "pos", 0, -32768, 32767));
    setup.amplitude = static_cast<int>(
        integer_option(options, "amplitude", RESPONSE_DEFAULT_AMPLITUDE, 1, RESPONSE_AMPLITUDE_MOST));
    request.fromHz = decimal_option(options, "from", RESPONSE_FROM_HZ, kLowestHz, RESPONSE_NYQUIST_HZ);
    request.toHz = decimal_option(options, "to", RESPONSE_NYQUIST_HZ, kLowestHz, RESPONSE_NYQUIST_HZ);
    if (request.toHz < request.fromHz) throw UsageError{"--to must not be below --from"};
    const int points = static_cast<int>(integer_option(options, "points", RESPONSE_POINTS, 1, 10000));
    request.hz = log_spaced(request.fromHz, request.toHz, points);
    request.jobs = jobs_option(options);
    return request;
}

}  // namespace

void trace_frequency(const ParsedOptions& options, TraceOutput& out, std::ostream& warnings) {
    const ResponseRequest request = read_request(options, warnings);
    const TwinLoop twin(request.setup.speedMode, request.setup.gains, PLANT_AT_REST);
    out.write(frequency_csv_header());
    const bool whole =
        measure_response(request.setup, request.hz, request.jobs, command_stop(), [&](std::size_t, const MeasuredPoint& point) {
            out.write(frequency_csv_row(point, twin.open_loop(point.hz)));
        });
    if (!whole) throw CommandStopped{};
}

void trace_margins(const ParsedOptions& options, TraceOutput& out, std::ostream& warnings) {
    const std::string format = options.text("format").value_or("csv");
    if (format != "csv" && format != "json") {
        throw UsageError{"option --format needs 'csv' or 'json', not " + echo_quoted(format)};
    }
    const ResponseRequest request = read_request(options, warnings);
    std::vector<MeasuredPoint> measured;
    const bool whole = measure_response(request.setup, request.hz, request.jobs, command_stop(),
                                        [&](std::size_t, const MeasuredPoint& point) { measured.push_back(point); });
    if (!whole) throw CommandStopped{};
    const ResponseReport report = response_report(request.setup, std::move(measured), request.fromHz, request.toHz);
    out.write(format == "json" ? margins_json(report.measuredMargins, report.twinMargins)
                               : margins_csv(report.measuredMargins, report.twinMargins));
}
