// SSE2 complex FFT: two values per register from the third stage on.
#include <emmintrin.h>

#include "vorn/fft_kernels.h"

void VornFftSse2(const VornRdft* t, float* z) {
  const uint32_t m = t->m;
  VornFftBitReverse(t, z);
  VornFftFirstPass(t, z);
  const __m128 evenSign = _mm_castsi128_ps(_mm_set_epi32(0, (int)0x80000000, 0, (int)0x80000000));
  for (uint32_t h = 4; h < m; h <<= 1) {
    const float* w = t->twiddle + 2 * h;
    for (uint32_t base = 0; base < m; base += 2 * h) {
      float* p = z + 2 * base;
      float* q = p + 2 * h;
      for (uint32_t j = 0; j < 2 * h; j += 4) {
        __m128 b = _mm_loadu_ps(q + j);
        __m128 tw = _mm_loadu_ps(w + j);
        __m128 wr = _mm_shuffle_ps(tw, tw, _MM_SHUFFLE(2, 2, 0, 0));
        __m128 wi = _mm_shuffle_ps(tw, tw, _MM_SHUFFLE(3, 3, 1, 1));
        __m128 bs = _mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 3, 0, 1));
        __m128 x = _mm_add_ps(_mm_mul_ps(b, wr), _mm_xor_ps(_mm_mul_ps(bs, wi), evenSign));
        __m128 a = _mm_loadu_ps(p + j);
        _mm_storeu_ps(p + j, _mm_add_ps(a, x));
        _mm_storeu_ps(q + j, _mm_sub_ps(a, x));
      }
    }
  }
}
