#include "core/engine/nc.h"
#include "core/formats/csv.h"
#include "core/program/nc_program.h"
#include "trace/traces.h"

#include <array>

void trace_nc(const ParsedOptions& options, TraceOutput& out) {
    if (options.flag("print-demo")) {
        out.write(nc_demo_program_text());
        return;
    }
    // Row by row into the output, which writes as its buffer fills: the
    // memory stays the same however long the program runs.
    std::string text;
    const std::string_view header[] = {"call", "result", "X", "Y", "Z"};
    csv_append_header(text, header);
    out.write(text);
    NcInterpreter nc;
    nc_load(nc, nc_chosen_blocks().get());
    NcPoint point{0, 0, 0};
    for (long call = 1;; ++call) {
        const std::int16_t result = nc_step(nc, point);
        const std::array<std::optional<double>, 5> cells{double(call), double(result), double(point.X),
                                                         double(point.Y), double(point.Z)};
        text.clear();
        csv_append_row(text, cells);
        out.write(text);
        if (result != NC_STEPPED) break;
    }
}
