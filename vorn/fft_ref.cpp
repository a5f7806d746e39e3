// Plain radix-2 complex FFT: the reference the SIMD kernels are tested against.
#include "vorn/fft_kernels.h"

void VornFftReference(const VornRdft* t, float* z) {
  const uint32_t m = t->m;
  VornFftBitReverse(t, z);
  for (uint32_t h = 1; h < m; h <<= 1) {
    const float* w = t->twiddle + 2 * h;
    for (uint32_t base = 0; base < m; base += 2 * h) {
      float* p = z + 2 * base;
      float* q = p + 2 * h;
      for (uint32_t j = 0; j < h; j++) {
        float br = q[2 * j], bi = q[2 * j + 1];
        float wr = w[2 * j], wi = w[2 * j + 1];
        float tr = br * wr - bi * wi;
        float ti = br * wi + bi * wr;
        float ar = p[2 * j], ai = p[2 * j + 1];
        p[2 * j] = ar + tr;
        p[2 * j + 1] = ai + ti;
        q[2 * j] = ar - tr;
        q[2 * j + 1] = ai - ti;
      }
    }
  }
}
