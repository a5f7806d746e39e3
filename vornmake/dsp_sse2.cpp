// SSE2 versions of the analysis routines.
#include <emmintrin.h>
#include <stddef.h>
#include <stdint.h>

#include "vornmake/dsp_sse2.h"
#include "vornmake/runpass.h"
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


void VmkSearchSse2(const uint8_t* s, const uint8_t* r, uint32_t pitch, int lox, int hix, int loy, int hiy,
                   int* mvx, int* mvy) {
  VmkSearchWith(VmkSad8Sse2, s, r, pitch, lox, hix, loy, hiy, mvx, mvy);
}




// Low bytes of sixteen sums at a time: masked to 8 bits, the packs do not
// saturate.
void VmkStoreSse2(const int32_t r[64], const uint8_t* add, uint8_t out[64]) {
  const __m128i low = _mm_set1_epi32(255), zero = _mm_setzero_si128();
  for (int i = 0; i < 64; i += 16) {
    __m128i v[4];
    for (int k = 0; k < 4; k++) v[k] = _mm_loadu_si128((const __m128i*)(r + i + 4 * k));
    if (add) {
      const __m128i a = _mm_loadu_si128((const __m128i*)(add + i));
      const __m128i lo = _mm_unpacklo_epi8(a, zero), hi = _mm_unpackhi_epi8(a, zero);
      v[0] = _mm_add_epi32(v[0], _mm_unpacklo_epi16(lo, zero));
      v[1] = _mm_add_epi32(v[1], _mm_unpackhi_epi16(lo, zero));
      v[2] = _mm_add_epi32(v[2], _mm_unpacklo_epi16(hi, zero));
      v[3] = _mm_add_epi32(v[3], _mm_unpackhi_epi16(hi, zero));
    }
    for (int k = 0; k < 4; k++) v[k] = _mm_and_si128(v[k], low);
    _mm_storeu_si128((__m128i*)(out + i),
                     _mm_packus_epi16(_mm_packs_epi32(v[0], v[1]), _mm_packs_epi32(v[2], v[3])));
  }
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

uint32_t VmkSpreadSse2(const uint8_t* quads, const uint8_t* v) { return VmkSpreadSse2Inline(quads, v); }
void VmkRunPrepSse2(const uint8_t* v, uint8_t range[64][16], uint8_t low[64][16]) { VmkRunPrepSse2Inline(v, range, low); }
uint32_t VmkRunFindSse2(const uint8_t* range, uint32_t avail, uint32_t t) { return VmkRunFindSse2Inline(range, avail, t); }
uint64_t VmkEqNextSse2(const uint8_t* v) { return VmkEqNextSse2Inline(v); }

namespace {
struct Sse2Prims {
  static void RunPrep(const uint8_t* v, uint8_t range[64][16], uint8_t low[64][16]) { VmkRunPrepSse2Inline(v, range, low); }
  static uint32_t RunFind(const uint8_t* r, uint32_t avail, uint32_t t) { return VmkRunFindSse2Inline(r, avail, t); }
  static uint32_t Median(const uint8_t* v, uint32_t n) { return VmkMedianRef(v, n); }
  static uint32_t Sad64(const uint8_t* a, const uint8_t* b) { return VmkSad64Sse2(a, b); }
  static uint32_t Spread(const uint8_t* q, const uint8_t* v) { return VmkSpreadSse2Inline(q, v); }
  static uint64_t EqNext(const uint8_t* v) { return VmkEqNextSse2Inline(v); }
};
}  // namespace

int VmkRunPassesSse2(const uint8_t* scanned, const uint8_t* quads, int32_t run, int32_t colour, VmkRunPass* out) {
  return VmkRunPassesWith<Sse2Prims>(scanned, quads, run, colour, out);
}
