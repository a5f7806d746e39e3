// Inverse transform with AVX2: the eight columns (then rows) in the lanes of
// one register per position; the same wrapping arithmetic as the reference.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include "vorn/idct.h"

namespace {

inline __m256i Mul(__m256i v, int k) { return _mm256_srai_epi32(_mm256_mullo_epi32(v, _mm256_set1_epi32(k)), 11); }

inline void Transform(__m256i* x) {
  __m256i a0 = _mm256_add_epi32(x[0], x[4]), a1 = _mm256_sub_epi32(x[0], x[4]);
  __m256i a2 = _mm256_add_epi32(x[2], x[6]), a3 = Mul(_mm256_sub_epi32(x[2], x[6]), 2896);
  __m256i a4 = _mm256_add_epi32(x[5], x[3]), a5 = _mm256_sub_epi32(x[5], x[3]);
  __m256i a6 = _mm256_add_epi32(x[1], x[7]), a7 = _mm256_sub_epi32(x[1], x[7]);
  __m256i b0 = _mm256_add_epi32(a4, a6);
  __m256i b1 = Mul(_mm256_add_epi32(a5, a7), 3784);
  __m256i b2 = _mm256_add_epi32(_mm256_sub_epi32(Mul(a5, -5352), b0), b1);
  __m256i b3 = _mm256_sub_epi32(Mul(_mm256_sub_epi32(a6, a4), 2896), b2);
  __m256i b4 = _mm256_sub_epi32(_mm256_add_epi32(Mul(a7, 2217), b3), b1);
  __m256i s02 = _mm256_add_epi32(a0, a2), d02 = _mm256_sub_epi32(a0, a2);
  __m256i p13 = _mm256_sub_epi32(_mm256_add_epi32(a1, a3), a2);  // a1 + a3 - a2
  __m256i m13 = _mm256_add_epi32(_mm256_sub_epi32(a1, a3), a2);  // a1 - a3 + a2
  x[0] = _mm256_add_epi32(s02, b0);
  x[1] = _mm256_add_epi32(p13, b2);
  x[2] = _mm256_add_epi32(m13, b3);
  x[3] = _mm256_sub_epi32(d02, b4);
  x[4] = _mm256_add_epi32(d02, b4);
  x[5] = _mm256_sub_epi32(m13, b3);
  x[6] = _mm256_sub_epi32(p13, b2);
  x[7] = _mm256_sub_epi32(s02, b0);
}

inline void Transpose(__m256i* x) {
  __m256i t0 = _mm256_unpacklo_epi32(x[0], x[1]), t1 = _mm256_unpackhi_epi32(x[0], x[1]);
  __m256i t2 = _mm256_unpacklo_epi32(x[2], x[3]), t3 = _mm256_unpackhi_epi32(x[2], x[3]);
  __m256i t4 = _mm256_unpacklo_epi32(x[4], x[5]), t5 = _mm256_unpackhi_epi32(x[4], x[5]);
  __m256i t6 = _mm256_unpacklo_epi32(x[6], x[7]), t7 = _mm256_unpackhi_epi32(x[6], x[7]);
  __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
  __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
  __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
  __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
  x[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
  x[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
  x[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
  x[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
  x[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
  x[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
  x[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
  x[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

}  // namespace

void VornIdctAvx2(int32_t out[64], const int16_t coef[64], const int32_t quant[64]) {
  __m256i x[8];
  for (int r = 0; r < 8; r++) {
    __m256i c = _mm256_cvtepi16_epi32(_mm_loadu_si128((const __m128i*)(coef + r * 8)));
    __m256i q = _mm256_loadu_si256((const __m256i*)(quant + r * 8));
    x[r] = _mm256_srai_epi32(_mm256_mullo_epi32(c, q), 11);
  }
  Transform(x);  // columns
  Transpose(x);
  Transform(x);  // rows, now one row per lane
  const __m256i round = _mm256_set1_epi32(127);
  for (int r = 0; r < 8; r++) x[r] = _mm256_srai_epi32(_mm256_add_epi32(x[r], round), 8);
  Transpose(x);
  for (int r = 0; r < 8; r++) _mm256_storeu_si256((__m256i*)(out + r * 8), x[r]);
}
#endif
