#include "vorn/cpu.h"

#include <stdlib.h>

uint32_t VornCpuFlags(void) {
  static const uint32_t flags = [] {
    __builtin_cpu_init();
    uint32_t f = 0;
    if (__builtin_cpu_supports("sse2")) f |= VORN_CPU_SSE2;
    if (__builtin_cpu_supports("ssse3")) f |= VORN_CPU_SSSE3;
    if (__builtin_cpu_supports("sse4.1")) f |= VORN_CPU_SSE41;
    if (__builtin_cpu_supports("avx2")) f |= VORN_CPU_AVX2;
    const char* mask = getenv("KOR_CPU_MASK");
    if (mask && *mask) f &= ~(uint32_t)strtol(mask, nullptr, 0);
    return f;
  }();
  return flags;
}
