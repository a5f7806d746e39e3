#include <immintrin.h>
#include <math.h>

#include "vornmake/audiodsp.h"

float VmkAudioNoiseAvx2(const float* v, uint32_t count, float w, float r) {
  const __m256 vw = _mm256_set1_ps(w), vr = _mm256_set1_ps(r), half = _mm256_set1_ps(0.5f);
  const __m256 sign = _mm256_set1_ps(-0.0f);
  __m256 acc0 = _mm256_setzero_ps(), acc1 = _mm256_setzero_ps();
  uint32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    for (int k = 0; k < 2; k++) {
      const __m256 x = _mm256_loadu_ps(v + i + 8 * k);
      const __m256 t = _mm256_mul_ps(x, vr);
      const __m256 s = _mm256_and_ps(t, sign);
      const __m256 a = _mm256_add_ps(_mm256_andnot_ps(sign, t), half);
      const __m256 n = _mm256_or_ps(_mm256_round_ps(a, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC), s);
      const __m256 e = _mm256_fnmadd_ps(n, vw, x);
      if (k)
        acc1 = _mm256_fmadd_ps(e, e, acc1);
      else
        acc0 = _mm256_fmadd_ps(e, e, acc0);
    }
  }
  const __m256 acc = _mm256_add_ps(acc0, acc1);
  __m128 q = _mm_add_ps(_mm256_castps256_ps128(acc), _mm256_extractf128_ps(acc, 1));
  q = _mm_add_ps(q, _mm_movehl_ps(q, q));
  q = _mm_add_ss(q, _mm_shuffle_ps(q, q, 1));
  float noise = _mm_cvtss_f32(q);
  for (; i < count; i++) {
    const float e = v[i] - roundf(v[i] * r) * w;
    noise += e * e;
  }
  return noise;
}
