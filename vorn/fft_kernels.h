// Complex FFT kernels behind VornRdft (internal).
#pragma once

#include <string.h>

#include "vorn/rdft.h"

void VornFftReference(const VornRdft* t, float* z);
void VornFftSse2(const VornRdft* t, float* z);
void VornFftAvx2(const VornRdft* t, float* z);

// Bit-reversal permutation of the interleaved complex values.
static inline void VornFftBitReverse(const VornRdft* t, float* z) {
  const uint32_t* s = t->swaps;
  for (uint32_t i = 0; i < t->swapCount; i++, s += 2) {
    float* a = z + 2 * s[0];
    float* b = z + 2 * s[1];
    uint64_t x, y;
    memcpy(&x, a, 8);
    memcpy(&y, b, 8);
    memcpy(a, &y, 8);
    memcpy(b, &x, 8);
  }
}

// The first two radix-2 stages (half sizes 1 and 2, twiddles 1 and i) as one
// radix-4 pass over groups of four values.
static inline void VornFftFirstPass(const VornRdft* t, float* z) {
  for (uint32_t g = 0; g < t->m; g += 4) {
    float* p = z + 2 * g;
    float p0r = p[0] + p[2], p0i = p[1] + p[3];
    float p1r = p[0] - p[2], p1i = p[1] - p[3];
    float p2r = p[4] + p[6], p2i = p[5] + p[7];
    float p3r = p[4] - p[6], p3i = p[5] - p[7];
    p[0] = p0r + p2r;
    p[1] = p0i + p2i;
    p[4] = p0r - p2r;
    p[5] = p0i - p2i;
    // p1 +/- i p3
    p[2] = p1r - p3i;
    p[3] = p1i + p3r;
    p[6] = p1r + p3i;
    p[7] = p1i - p3r;
  }
}
