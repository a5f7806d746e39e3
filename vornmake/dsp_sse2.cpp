// SSE2 versions of the analysis routines.
#include <emmintrin.h>
#include <stddef.h>
#include <stdint.h>

#include "vornmake/search.h"

static inline __m128i Rows(const uint8_t* p, uint32_t pitch) {
  return _mm_unpacklo_epi64(_mm_loadl_epi64((const __m128i*)p), _mm_loadl_epi64((const __m128i*)(p + pitch)));
}

// Two rows per step; the limit is checked after every pair.
uint32_t VmkSad8Sse2(const uint8_t* a, uint32_t pa, const uint8_t* b, uint32_t pb, uint32_t limit) {
  __m128i acc = _mm_setzero_si128();
  for (int r = 0; r < 8; r += 2) {
    acc = _mm_add_epi32(acc, _mm_sad_epu8(Rows(a, pa), Rows(b, pb)));
    uint32_t sum = (uint32_t)_mm_cvtsi128_si32(acc) + (uint32_t)_mm_cvtsi128_si32(_mm_srli_si128(acc, 8));
    if (sum > limit) return sum;
    a += 2 * pa;
    b += 2 * pb;
  }
  return (uint32_t)_mm_cvtsi128_si32(acc) + (uint32_t)_mm_cvtsi128_si32(_mm_srli_si128(acc, 8));
}

uint32_t VmkDoubledSse2(const uint8_t* full, const uint8_t* half) {
  __m128i acc = _mm_setzero_si128();
  for (int y = 0; y < 8; y++) {
    __m128i h = _mm_loadl_epi64((const __m128i*)(half + y * 8));
    h = _mm_unpacklo_epi8(h, h);
    acc = _mm_add_epi32(acc, _mm_sad_epu8(_mm_loadu_si128((const __m128i*)(full + 32 * y)), h));
    acc = _mm_add_epi32(acc, _mm_sad_epu8(_mm_loadu_si128((const __m128i*)(full + 32 * y + 16)), h));
  }
  return (uint32_t)_mm_cvtsi128_si32(acc) + (uint32_t)_mm_cvtsi128_si32(_mm_srli_si128(acc, 8));
}

uint32_t VmkSpreadSse2(const uint8_t* quads, const uint8_t* v) {
  __m128i acc = _mm_setzero_si128();
  for (int i = 0; i < 64; i += 16) {
    const __m128i x = _mm_loadu_si128((const __m128i*)(v + i));
    const __m128i lo = _mm_unpacklo_epi8(x, x), hi = _mm_unpackhi_epi8(x, x);
    const __m128i q[4] = {_mm_unpacklo_epi16(lo, lo), _mm_unpackhi_epi16(lo, lo), _mm_unpacklo_epi16(hi, hi),
                          _mm_unpackhi_epi16(hi, hi)};
    for (int k = 0; k < 4; k++)
      acc = _mm_add_epi32(acc, _mm_sad_epu8(_mm_loadu_si128((const __m128i*)(quads + 4 * i + 16 * k)), q[k]));
  }
  return (uint32_t)_mm_cvtsi128_si32(acc) + (uint32_t)_mm_cvtsi128_si32(_mm_srli_si128(acc, 8));
}

void VmkSearchSse2(const uint8_t* s, const uint8_t* r, uint32_t pitch, int lox, int hix, int loy, int hiy,
                   int* mvx, int* mvy) {
  VmkSearchWith(VmkSad8Sse2, s, r, pitch, lox, hix, loy, hiy, mvx, mvy);
}

// Prefix minimum and maximum over sixteen lanes for each start.
void VmkRunPrepSse2(const uint8_t* v, uint8_t range[64][16], uint8_t low[64][16]) {
  const __m128i ones = _mm_set1_epi8((char)0xFF);
  const __m128i f1 = _mm_srli_si128(ones, 15), f2 = _mm_srli_si128(ones, 14), f4 = _mm_srli_si128(ones, 12),
                f8 = _mm_srli_si128(ones, 8);
  for (int s = 0; s < 64; s++) {
    const __m128i x = _mm_loadu_si128((const __m128i*)(v + s));
    __m128i lo = x, hi = x;
    lo = _mm_min_epu8(lo, _mm_or_si128(_mm_slli_si128(lo, 1), f1));
    hi = _mm_max_epu8(hi, _mm_slli_si128(hi, 1));
    lo = _mm_min_epu8(lo, _mm_or_si128(_mm_slli_si128(lo, 2), f2));
    hi = _mm_max_epu8(hi, _mm_slli_si128(hi, 2));
    lo = _mm_min_epu8(lo, _mm_or_si128(_mm_slli_si128(lo, 4), f4));
    hi = _mm_max_epu8(hi, _mm_slli_si128(hi, 4));
    lo = _mm_min_epu8(lo, _mm_or_si128(_mm_slli_si128(lo, 8), f8));
    hi = _mm_max_epu8(hi, _mm_slli_si128(hi, 8));
    _mm_storeu_si128((__m128i*)range[s], _mm_sub_epi8(hi, lo));
    _mm_storeu_si128((__m128i*)low[s], lo);
  }
}

uint32_t VmkRunFindSse2(const uint8_t* range, uint32_t avail, uint32_t t) {
  const __m128i r = _mm_loadu_si128((const __m128i*)range);
  const __m128i within = _mm_cmpeq_epi8(_mm_subs_epu8(r, _mm_set1_epi8((char)t)), _mm_setzero_si128());
  const uint32_t over = ~(uint32_t)_mm_movemask_epi8(within) & ((1u << avail) - 1);
  return over ? (uint32_t)__builtin_ctz(over) : avail;
}

uint64_t VmkEqNextSse2(const uint8_t* v) {
  uint64_t eq = 0;
  for (int i = 0; i < 64; i += 16) {
    const __m128i a = _mm_loadu_si128((const __m128i*)(v + i)), b = _mm_loadu_si128((const __m128i*)(v + i + 1));
    eq |= (uint64_t)(uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)) << i;
  }
  return eq & ~(1ull << 63);
}

void VmkSmoothSse2(uint8_t* s, const uint8_t* r, uint32_t n, uint32_t t) {
  const __m128i tv = _mm_set1_epi8((char)t);
  uint32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i a = _mm_loadu_si128((const __m128i*)(s + i)), b = _mm_loadu_si128((const __m128i*)(r + i));
    const __m128i d = _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
    const __m128i near = _mm_cmpeq_epi8(_mm_subs_epu8(d, tv), _mm_setzero_si128());
    _mm_storeu_si128((__m128i*)(s + i), _mm_or_si128(_mm_and_si128(near, b), _mm_andnot_si128(near, a)));
  }
  for (; i < n; i++) {
    const int d = s[i] - r[i];
    if (d >= -(int)t && d <= (int)t) s[i] = r[i];
  }
}

uint64_t VmkSadNSse2(const uint8_t* a, const uint8_t* b, uint32_t n) {
  __m128i acc = _mm_setzero_si128();
  uint32_t i = 0;
  for (; i + 16 <= n; i += 16)
    acc = _mm_add_epi64(acc, _mm_sad_epu8(_mm_loadu_si128((const __m128i*)(a + i)), _mm_loadu_si128((const __m128i*)(b + i))));
  uint64_t sum = (uint64_t)_mm_cvtsi128_si64(acc) + (uint64_t)_mm_cvtsi128_si64(_mm_srli_si128(acc, 8));
  for (; i < n; i++) sum += (uint32_t)(a[i] > b[i] ? a[i] - b[i] : b[i] - a[i]);
  return sum;
}
