// The lanes on what every machine of the architecture has (SSE2 on x86-64):
// 8 lanes of 16 bits to a register, four registers side by side (built with
// -ffp-contract=off, see core/CMakeLists.txt).
#include "core/batch/gain_lanes_kernel.h"

#if defined(__x86_64__)
extern const LaneKernel laneKernelBase = lane_kernel<8, 4>("sse2");
#else
extern const LaneKernel laneKernelBase = lane_kernel<8, 4>("portable");
#endif
