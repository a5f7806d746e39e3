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

uint32_t VmkCoefBitsFromQuads(const int* qlen, const int* qnz, int l1, int l2, int l3);
const uint8_t* VmkCoefSquares(void);

static inline int Len(int v) { return v ? 32 - __builtin_clz((uint32_t)(v < 0 ? -v : v)) : 0; }

// (coefficient x factor + 0x1FFFFFFF) >> 30 on 64-bit products, four even
// and four odd lanes at a time. The results fit 16 bits, so the logical
// shift's low bits are the arithmetic shift's. Each 2 x 2 square's largest
// magnitude and non-zero count give the coding's length.
uint32_t VmkQuantiseAvx2(const int32_t coef[64], const int32_t factor[64], int16_t out[64]) {
  const __m256i bias = _mm256_set1_epi64x(0x1FFFFFFF);
  __m256i res[8];
  for (int k = 0; k < 8; k++) {
    const __m256i c = _mm256_loadu_si256((const __m256i*)(coef + 8 * k));
    const __m256i f = _mm256_loadu_si256((const __m256i*)(factor + 8 * k));
    const __m256i even = _mm256_srli_epi64(_mm256_add_epi64(_mm256_mul_epi32(c, f), bias), 30);
    const __m256i odd = _mm256_srli_epi64(
        _mm256_add_epi64(_mm256_mul_epi32(_mm256_srli_epi64(c, 32), _mm256_srli_epi64(f, 32)), bias), 30);
    res[k] = _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
  }
  for (int k = 0; k < 8; k += 2) {
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(res[k], res[k + 1]), 0xD8);
    _mm256_storeu_si256((__m256i*)(out + 8 * k), packed);
  }
  // Per square: OR of magnitudes and count of zeros (as -1s), in the even
  // lanes of each row pair.
  alignas(32) int32_t orSq[4][8], zeroSq[4][8];
  for (int r = 0; r < 4; r++) {
    __m256i a = _mm256_or_si256(_mm256_abs_epi32(res[2 * r]), _mm256_abs_epi32(res[2 * r + 1]));
    __m256i z = _mm256_add_epi32(_mm256_cmpeq_epi32(res[2 * r], _mm256_setzero_si256()),
                                 _mm256_cmpeq_epi32(res[2 * r + 1], _mm256_setzero_si256()));
    _mm256_store_si256((__m256i*)orSq[r], _mm256_or_si256(a, _mm256_srli_epi64(a, 32)));
    _mm256_store_si256((__m256i*)zeroSq[r], _mm256_add_epi32(z, _mm256_srli_epi64(z, 32)));
  }
  const uint8_t* sq = VmkCoefSquares();
  int qlen[16], qnz[16];
  for (int k = 1; k < 16; k++) {
    const int r = sq[k] >> 2, c = (sq[k] & 3) * 2;
    const uint32_t v = (uint32_t)orSq[r][c];
    qlen[k] = v ? 32 - __builtin_clz(v) : 0;
    qnz[k] = 4 + zeroSq[r][c];
  }
  return VmkCoefBitsFromQuads(qlen, qnz, Len(out[1]), Len(out[8]), Len(out[9]));
}

namespace {

// One compare-exchange step of a bitonic network over sixteen bytes.
struct Step {
  __m128i partner, takeMax;
};

struct Network {
  Step step[10];
  Network() {
    int n = 0;
    for (int k = 2; k <= 16; k *= 2)
      for (int j = k / 2; j >= 1; j /= 2) {
        alignas(16) uint8_t perm[16], mask[16];
        for (int i = 0; i < 16; i++) {
          perm[i] = (uint8_t)(i ^ j);
          const bool lower = (i & j) == 0, ascending = (i & k) == 0;
          mask[i] = lower == ascending ? 0 : 0xFF;
        }
        step[n].partner = _mm_load_si128((const __m128i*)perm);
        step[n++].takeMax = _mm_load_si128((const __m128i*)mask);
      }
  }
};
const Network kNetwork;

}  // namespace

// Sorts the sixteen lanes (those past n set to 255) and takes the middle.
uint32_t VmkMedian16Avx2(const uint8_t* v, uint32_t n) {
  static const uint8_t kLanes[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  const __m128i valid = _mm_cmplt_epi8(_mm_loadu_si128((const __m128i*)kLanes), _mm_set1_epi8((char)n));
  __m128i x = _mm_or_si128(_mm_loadu_si128((const __m128i*)v), _mm_andnot_si128(valid, _mm_set1_epi8((char)0xFF)));
  for (const Step& s : kNetwork.step) {
    const __m128i y = _mm_shuffle_epi8(x, s.partner);
    x = _mm_blendv_epi8(_mm_min_epu8(x, y), _mm_max_epu8(x, y), s.takeMax);
  }
  alignas(16) uint8_t sorted[16];
  _mm_store_si128((__m128i*)sorted, x);
  return (sorted[(n - 1) / 2] + sorted[n / 2]) >> 1;
}
