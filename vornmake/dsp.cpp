#include "vornmake/dsp.h"

#include <string.h>

#include "vorn/cpu.h"
#include "vornmake/coefcode.h"
#include "vornmake/search.h"
#include "vornmake/transform.h"

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

static uint32_t DoubledC(const uint8_t* full, const uint8_t* half) {
  uint32_t sum = 0;
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++) {
      int d = full[y * 16 + x] - half[(y >> 1) * 8 + (x >> 1)];
      sum += (uint32_t)(d < 0 ? -d : d);
    }
  return sum;
}

static uint32_t SpreadC(const uint8_t* quads, const uint8_t* v) {
  uint32_t sum = 0;
  for (int i = 0; i < 256; i++) {
    int d = quads[i] - v[i >> 2];
    sum += (uint32_t)(d < 0 ? -d : d);
  }
  return sum;
}

static void RunPrepC(const uint8_t* v, uint8_t range[64][16], uint8_t low[64][16]) {
  for (int s = 0; s < 64; s++) {
    int lo = v[s], hi = v[s];
    for (int j = 0; j < 16; j++) {
      const int x = v[s + j < 80 ? s + j : 79];
      lo = x < lo ? x : lo;
      hi = x > hi ? x : hi;
      range[s][j] = (uint8_t)(hi - lo);
      low[s][j] = (uint8_t)lo;
    }
  }
}

static uint32_t RunFindC(const uint8_t* range, uint32_t avail, uint32_t t) {
  for (uint32_t j = 1; j < avail; j++)
    if (range[j] > t) return j;
  return avail;
}

static uint32_t Median16C(const uint8_t* v, uint32_t n) {
  uint8_t s[16];
  for (uint32_t i = 0; i < n; i++) {
    uint32_t j = i;
    for (; j > 0 && s[j - 1] > v[i]; j--) s[j] = s[j - 1];
    s[j] = v[i];
  }
  return (s[(n - 1) / 2] + s[n / 2]) >> 1;
}

static uint64_t EqNextC(const uint8_t* v) {
  uint64_t eq = 0;
  for (int i = 0; i < 63; i++) eq |= (uint64_t)(v[i] == v[i + 1]) << i;
  return eq;
}

static uint32_t QuantiseC(const int32_t coef[64], const int32_t factor[64], int16_t out[64]) {
  VmkQuantise(coef, factor, out);
  return VmkCoefBits(out);
}

static void SmoothC(uint8_t* s, const uint8_t* r, uint32_t n, uint32_t t) {
  for (uint32_t i = 0; i < n; i++) {
    const int d = s[i] - r[i];
    if (d >= -(int)t && d <= (int)t) s[i] = r[i];
  }
}

static uint64_t SadNC(const uint8_t* a, const uint8_t* b, uint32_t n) {
  uint64_t sum = 0;
  for (uint32_t i = 0; i < n; i++) sum += (uint32_t)(a[i] > b[i] ? a[i] - b[i] : b[i] - a[i]);
  return sum;
}

static void SearchC(const uint8_t* s, const uint8_t* r, uint32_t pitch, int lox, int hix, int loy, int hiy,
                    int* mvx, int* mvy) {
  VmkSearchWith(Sad8C, s, r, pitch, lox, hix, loy, hiy, mvx, mvy);
}

uint32_t VmkSad8Sse2(const uint8_t* a, uint32_t pa, const uint8_t* b, uint32_t pb, uint32_t limit);
uint32_t VmkDoubledSse2(const uint8_t* full, const uint8_t* half);
uint32_t VmkSpreadSse2(const uint8_t* quads, const uint8_t* v);
void VmkSearchSse2(const uint8_t* s, const uint8_t* r, uint32_t pitch, int lox, int hix, int loy, int hiy,
                   int* mvx, int* mvy);
void VmkRunPrepSse2(const uint8_t* v, uint8_t range[64][16], uint8_t low[64][16]);
uint32_t VmkRunFindSse2(const uint8_t* range, uint32_t avail, uint32_t t);
uint32_t VmkMedian16Avx2(const uint8_t* v, uint32_t n);
void VmkSmoothSse2(uint8_t* s, const uint8_t* r, uint32_t n, uint32_t t);
uint64_t VmkSadNSse2(const uint8_t* a, const uint8_t* b, uint32_t n);
uint32_t VmkQuantiseAvx2(const int32_t coef[64], const int32_t factor[64], int16_t out[64]);
uint64_t VmkEqNextSse2(const uint8_t* v);
void VmkSearchAvx2(const uint8_t* s, const uint8_t* r, uint32_t pitch, int lox, int hix, int loy, int hiy,
                   int* mvx, int* mvy);

static const VmkDsp kDspC = {Sad8C, DoubledC, SpreadC, RunPrepC, RunFindC, Median16C, EqNextC, QuantiseC, SmoothC, SadNC, SearchC};
static const VmkDsp kDspSse2 = {VmkSad8Sse2,   VmkDoubledSse2, VmkSpreadSse2, VmkRunPrepSse2, VmkRunFindSse2, Median16C,
                                VmkEqNextSse2, QuantiseC,      VmkSmoothSse2, VmkSadNSse2, VmkSearchSse2};
static const VmkDsp kDspAvx2 = {VmkSad8Sse2,   VmkDoubledSse2,  VmkSpreadSse2, VmkRunPrepSse2, VmkRunFindSse2, VmkMedian16Avx2,
                                VmkEqNextSse2, VmkQuantiseAvx2, VmkSmoothSse2, VmkSadNSse2, VmkSearchAvx2};

const VmkDsp* VmkDspByName(const char* name) {
  uint32_t f = VornCpuFlags();
  if (!strcmp(name, "c")) return &kDspC;
  if (!strcmp(name, "sse2")) return (f & VORN_CPU_SSE2) ? &kDspSse2 : nullptr;
  if (!strcmp(name, "avx2")) return (f & VORN_CPU_AVX2) ? &kDspAvx2 : nullptr;
  return nullptr;
}

const VmkDsp* VmkDspGet(void) {
  static const VmkDsp* dsp = (VornCpuFlags() & VORN_CPU_AVX2)   ? &kDspAvx2
                             : (VornCpuFlags() & VORN_CPU_SSE2) ? &kDspSse2
                                                                : &kDspC;
  return dsp;
}
