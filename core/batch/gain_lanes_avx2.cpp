// The lanes on AVX2: 16 lanes of 16 bits to a register, four registers side
// by side (built with -mavx2 and -ffp-contract=off, see core/CMakeLists.txt;
// run only where the CPU has AVX2).
#include "core/batch/gain_lanes_kernel.h"

extern const LaneKernel laneKernelAvx2 = lane_kernel<16, 4>("avx2");
