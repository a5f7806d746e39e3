// Transform output to 16-bit samples, eight at a time.
#include <emmintrin.h>

#include "vorn/audio.h"

void VornAudioRoundSse2(int16_t* out, const float* y, float gain, uint32_t n) {
  const __m128 g = _mm_set1_ps(gain);
  const __m128 lo = _mm_set1_ps(-32768.0f), hi = _mm_set1_ps(32767.0f);
  for (uint32_t i = 0; i < n; i += 8) {
    __m128 a = _mm_mul_ps(_mm_loadu_ps(y + i), g);
    __m128 b = _mm_mul_ps(_mm_loadu_ps(y + i + 4), g);
    a = _mm_and_ps(a, _mm_cmpeq_ps(a, a));  // not a number -> 0
    b = _mm_and_ps(b, _mm_cmpeq_ps(b, b));
    a = _mm_min_ps(_mm_max_ps(a, lo), hi);
    b = _mm_min_ps(_mm_max_ps(b, lo), hi);
    // cvtps2dq rounds in the current (nearest-even) mode.
    __m128i s = _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b));
    _mm_storeu_si128((__m128i*)(out + i), s);
  }
}
