// AVX2 versions of the analysis routines.
#include <immintrin.h>
#include <stddef.h>
#include <stdint.h>

// The motion search with eight-sample sums of differences for sixteen
// horizontal offsets at once: for one vertical offset, every horizontal
// offset's sum is computed in full, then the sums are visited in the
// search's order, so the result is that of the one-at-a-time search.
void VmkSearchAvx2(const uint8_t* s, const uint8_t* r, uint32_t pitch, int lox, int hix, int loy, int hiy,
                   int* mvx, int* mvy) {
  __m256i src[8];
  for (int y = 0; y < 8; y++) src[y] = _mm256_broadcastq_epi64(_mm_loadl_epi64((const __m128i*)(s + (size_t)y * pitch)));
  const int count = hix - lox + 1;
  alignas(32) uint16_t sums[32];
  uint32_t best = UINT32_MAX;
  int bx = 0, by = 0;
  for (int iy = 0; iy <= hiy - loy && best; iy++) {
    const int dy = iy <= hiy ? iy : loy + (iy - hiy - 1);
    const uint8_t* base = r + (ptrdiff_t)dy * (ptrdiff_t)pitch + lox;
    for (int b0 = 0; b0 < count; b0 += 16) {
      __m256i acc = _mm256_setzero_si256();
      for (int y = 0; y < 8; y++) {
        const uint8_t* p = base + (size_t)y * pitch + b0;
        const __m256i a = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128((const __m128i*)p)),
                                                  _mm_loadu_si128((const __m128i*)(p + 8)), 1);
        acc = _mm256_add_epi16(acc, _mm256_mpsadbw_epu8(a, src[y], 0x00));
        acc = _mm256_add_epi16(acc, _mm256_mpsadbw_epu8(a, src[y], 0x2D));
      }
      _mm256_store_si256((__m256i*)(sums + b0), acc);
    }
    for (int ix = 0; ix < count; ix++) {
      const int dx = ix <= hix ? ix : lox + (ix - hix - 1);
      const uint32_t e = sums[dx - lox];
      if (e < best) {
        best = e;
        bx = dx;
        by = dy;
        if (!best) break;
      }
    }
  }
  *mvx = bx;
  *mvy = by;
}
