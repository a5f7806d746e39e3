// AVX2/FMA complex FFT: four values per register from the third stage on.
#include <immintrin.h>

#include "vorn/fft_kernels.h"

void VornFftAvx2(const VornRdft* t, float* z) {
  const uint32_t m = t->m;
  VornFftBitReverse(t, z);
  VornFftFirstPass(t, z);
  for (uint32_t h = 4; h < m; h <<= 1) {
    const float* w = t->twiddle + 2 * h;
    for (uint32_t base = 0; base < m; base += 2 * h) {
      float* p = z + 2 * base;
      float* q = p + 2 * h;
      for (uint32_t j = 0; j < 2 * h; j += 8) {
        __m256 b = _mm256_loadu_ps(q + j);
        __m256 tw = _mm256_loadu_ps(w + j);
        __m256 wr = _mm256_moveldup_ps(tw);
        __m256 wi = _mm256_movehdup_ps(tw);
        __m256 bs = _mm256_permute_ps(b, _MM_SHUFFLE(2, 3, 0, 1));
        __m256 x = _mm256_fmaddsub_ps(b, wr, _mm256_mul_ps(bs, wi));
        __m256 a = _mm256_loadu_ps(p + j);
        _mm256_storeu_ps(p + j, _mm256_add_ps(a, x));
        _mm256_storeu_ps(q + j, _mm256_sub_ps(a, x));
      }
    }
  }
}
