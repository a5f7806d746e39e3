// Processor features for choosing SIMD routines at start-up.
#pragma once

#include <stdint.h>

enum {
  VORN_CPU_SSE2 = 0x01,
  VORN_CPU_SSSE3 = 0x02,
  VORN_CPU_SSE41 = 0x04,
  VORN_CPU_AVX2 = 0x08,
};

// Features of this processor, less those masked by $KOR_CPU_MASK (a number:
// bits to clear; KOR_CPU_MASK=-1 forces the plain C++ routines).
uint32_t VornCpuFlags(void);
