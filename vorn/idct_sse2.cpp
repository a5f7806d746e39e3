// Inverse transform with SSE2: four columns (then rows) per register, the
// low 32 bits of each product built from two unsigned multiplies.
#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>

#include "vorn/idct.h"

namespace {

inline __m128i MulLo(__m128i a, __m128i b) {
  __m128i even = _mm_mul_epu32(a, b);
  __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

inline __m128i Mul(__m128i v, int k) { return _mm_srai_epi32(MulLo(v, _mm_set1_epi32(k)), 11); }

inline void Transform(__m128i* x) {
  __m128i a0 = _mm_add_epi32(x[0], x[4]), a1 = _mm_sub_epi32(x[0], x[4]);
  __m128i a2 = _mm_add_epi32(x[2], x[6]), a3 = Mul(_mm_sub_epi32(x[2], x[6]), 2896);
  __m128i a4 = _mm_add_epi32(x[5], x[3]), a5 = _mm_sub_epi32(x[5], x[3]);
  __m128i a6 = _mm_add_epi32(x[1], x[7]), a7 = _mm_sub_epi32(x[1], x[7]);
  __m128i b0 = _mm_add_epi32(a4, a6);
  __m128i b1 = Mul(_mm_add_epi32(a5, a7), 3784);
  __m128i b2 = _mm_add_epi32(_mm_sub_epi32(Mul(a5, -5352), b0), b1);
  __m128i b3 = _mm_sub_epi32(Mul(_mm_sub_epi32(a6, a4), 2896), b2);
  __m128i b4 = _mm_sub_epi32(_mm_add_epi32(Mul(a7, 2217), b3), b1);
  __m128i s02 = _mm_add_epi32(a0, a2), d02 = _mm_sub_epi32(a0, a2);
  __m128i p13 = _mm_sub_epi32(_mm_add_epi32(a1, a3), a2);
  __m128i m13 = _mm_add_epi32(_mm_sub_epi32(a1, a3), a2);
  x[0] = _mm_add_epi32(s02, b0);
  x[1] = _mm_add_epi32(p13, b2);
  x[2] = _mm_add_epi32(m13, b3);
  x[3] = _mm_sub_epi32(d02, b4);
  x[4] = _mm_add_epi32(d02, b4);
  x[5] = _mm_sub_epi32(m13, b3);
  x[6] = _mm_sub_epi32(p13, b2);
  x[7] = _mm_sub_epi32(s02, b0);
}

// 4 x 4 transpose of a[0..3] into b[0..3].
inline void Transpose4(const __m128i* a, __m128i* b) {
  __m128i t0 = _mm_unpacklo_epi32(a[0], a[1]), t1 = _mm_unpackhi_epi32(a[0], a[1]);
  __m128i t2 = _mm_unpacklo_epi32(a[2], a[3]), t3 = _mm_unpackhi_epi32(a[2], a[3]);
  b[0] = _mm_unpacklo_epi64(t0, t2);
  b[1] = _mm_unpackhi_epi64(t0, t2);
  b[2] = _mm_unpacklo_epi64(t1, t3);
  b[3] = _mm_unpackhi_epi64(t1, t3);
}

}  // namespace

void VornIdctSse2(int32_t out[64], const int16_t coef[64], const int32_t quant[64]) {
  __m128i left[8], right[8];  // columns 0-3 and 4-7, one row per register
  for (int r = 0; r < 8; r++) {
    __m128i c = _mm_loadu_si128((const __m128i*)(coef + r * 8));
    __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(c, c), 16), hi = _mm_srai_epi32(_mm_unpackhi_epi16(c, c), 16);
    left[r] = _mm_srai_epi32(MulLo(lo, _mm_loadu_si128((const __m128i*)(quant + r * 8))), 11);
    right[r] = _mm_srai_epi32(MulLo(hi, _mm_loadu_si128((const __m128i*)(quant + r * 8 + 4))), 11);
  }
  Transform(left);
  Transform(right);
  // Rows 0-3 and 4-7, one column per register.
  __m128i top[8], bottom[8];
  Transpose4(left, top);
  Transpose4(right, top + 4);
  Transpose4(left + 4, bottom);
  Transpose4(right + 4, bottom + 4);
  Transform(top);
  Transform(bottom);
  const __m128i round = _mm_set1_epi32(127);
  for (int k = 0; k < 8; k++) {
    top[k] = _mm_srai_epi32(_mm_add_epi32(top[k], round), 8);
    bottom[k] = _mm_srai_epi32(_mm_add_epi32(bottom[k], round), 8);
  }
  __m128i t[4];
  for (int half = 0; half < 2; half++) {
    const __m128i* src = half ? bottom : top;
    Transpose4(src, t);
    for (int r = 0; r < 4; r++) _mm_storeu_si128((__m128i*)(out + (half * 4 + r) * 8), t[r]);
    Transpose4(src + 4, t);
    for (int r = 0; r < 4; r++) _mm_storeu_si128((__m128i*)(out + (half * 4 + r) * 8 + 4), t[r]);
  }
}
#endif
