// The lanes on AVX-512: 32 lanes of 16 bits to a register, two registers side
// by side (built with -mavx512f -mavx512bw -mavx512vl -mavx512dq and
// -ffp-contract=off, see core/CMakeLists.txt; run only where the CPU has all four).
#include "core/batch/gain_lanes_kernel.h"

extern const LaneKernel laneKernelAvx512 = lane_kernel<32, 2>("avx512");
