#include <emmintrin.h>
#include <math.h>

#include "vornmake/audiodsp.h"

float VmkAudioNoiseSse2(const float* v, uint32_t count, float w, float r) {
  const __m128 vw = _mm_set1_ps(w), vr = _mm_set1_ps(r), half = _mm_set1_ps(0.5f);
  const __m128 sign = _mm_set1_ps(-0.0f);
  __m128 acc = _mm_setzero_ps();
  uint32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128 x = _mm_loadu_ps(v + i);
    const __m128 t = _mm_mul_ps(x, vr);
    // Halves away from zero: truncate |t| + 0.5, then give back the sign.
    const __m128 s = _mm_and_ps(t, sign);
    const __m128 a = _mm_add_ps(_mm_andnot_ps(sign, t), half);
    const __m128 n = _mm_or_ps(_mm_cvtepi32_ps(_mm_cvttps_epi32(a)), s);
    const __m128 e = _mm_sub_ps(x, _mm_mul_ps(n, vw));
    acc = _mm_add_ps(acc, _mm_mul_ps(e, e));
  }
  alignas(16) float lanes[4];
  _mm_store_ps(lanes, acc);
  float noise = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
  for (; i < count; i++) {
    const float e = v[i] - roundf(v[i] * r) * w;
    noise += e * e;
  }
  return noise;
}
