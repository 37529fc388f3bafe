// Loading the largest NC program file: 100 000 blocks read from their text
// and built into the interpreter's list. The goal is under 100 ms.
#include "core/engine/module.h"
#include "core/program/nc_program.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// 100 000 blocks in just under 1 MiB: modal moves of a few digits, a jump in
// G0 every tenth line, a comment now and then.
std::string largest_program() {
    std::string text = "%\n(largest program)\nG91\n";
    int atX = 0;  // where the moves have got to: they turn back before the 16-bit edge
    for (std::size_t i = 0; i < NC_PROGRAM_MAX_BLOCKS; ++i) {
        int x = int(i % 200) - 100;
        if (atX + x < -30000 || atX + x > 30000) x = -x;
        const int y = int(i % 15) - 7;
        if (i % 10 == 9) {
            text += "G0 Z" + std::to_string(y) + "\n";
        } else {
            atX += x;
            text += (i % 10 == 0 ? "G1 X" : "X") + std::to_string(x) + " Y" + std::to_string(y) +
                    (i % 100 == 0 ? " ;c\n" : "\n");
        }
    }
    return text + "M30\n%\n";
}

void BM_nc_program_load_largest(benchmark::State& state) {
    const std::string text = largest_program();
    for (auto _ : state) {
        const NcProgramParse parse = nc_parse_program(text, "largest.nc");
        if (!parse.ok || parse.program.blocks.size() != NC_PROGRAM_MAX_BLOCKS) state.SkipWithError("not loaded");
        nc_load_program(moduleEngine.nc, parse.program);
        benchmark::DoNotOptimize(ncProgramHead);
    }
    nc_release_program();
    state.counters["file_bytes"] = double(text.size());
}
BENCHMARK(BM_nc_program_load_largest)->Unit(benchmark::kMillisecond);

// The parse alone, without building the list.
void BM_nc_program_parse_largest(benchmark::State& state) {
    const std::string text = largest_program();
    for (auto _ : state) benchmark::DoNotOptimize(nc_parse_program(text, "largest.nc"));
}
BENCHMARK(BM_nc_program_parse_largest)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
