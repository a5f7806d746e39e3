#include "vornmake/dsp.h"

#include <string.h>

#include "vorn/cpu.h"

static uint32_t Sad8C(const uint8_t* a, uint32_t pa, const uint8_t* b, uint32_t pb, uint32_t limit) {
  uint32_t sum = 0;
  for (int r = 0; r < 8; r++) {
    for (int c = 0; c < 8; c++) {
      int d = a[c] - b[c];
      sum += (uint32_t)(d < 0 ? -d : d);
    }
    if (sum > limit) return sum;
    a += pa;
    b += pb;
  }
  return sum;
}

uint32_t VmkSad8Sse2(const uint8_t* a, uint32_t pa, const uint8_t* b, uint32_t pb, uint32_t limit);

static const VmkDsp kDspC = {Sad8C};
static const VmkDsp kDspSse2 = {VmkSad8Sse2};

const VmkDsp* VmkDspByName(const char* name) {
  uint32_t f = VornCpuFlags();
  if (!strcmp(name, "c")) return &kDspC;
  if (!strcmp(name, "sse2")) return (f & VORN_CPU_SSE2) ? &kDspSse2 : nullptr;
  return nullptr;
}

const VmkDsp* VmkDspGet(void) {
  static const VmkDsp* dsp = (VornCpuFlags() & VORN_CPU_SSE2) ? &kDspSse2 : &kDspC;
  return dsp;
}
