// AVX2 versions of the analysis routines.
#include <immintrin.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "vorn/tables.h"
#include "vornmake/dsp_sse2.h"
#include "vornmake/runpass.h"

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
    // The row's smallest sum (lanes past the window count as the largest)
    // and the first offset in visiting order (0 .. hix, then lox .. -1)
    // that has it: the one-at-a-time visit would end the row there.
    const __m256i lanes = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    __m256i v0 = _mm256_load_si256((const __m256i*)sums), v1 = _mm256_load_si256((const __m256i*)(sums + 16));
    v0 = _mm256_or_si256(v0, _mm256_cmpgt_epi16(lanes, _mm256_set1_epi16((short)(count - 1))));
    v1 = _mm256_or_si256(v1, _mm256_cmpgt_epi16(lanes, _mm256_set1_epi16((short)(count - 17))));
    const __m256i m = _mm256_min_epu16(v0, v1);
    const uint32_t least = (uint32_t)_mm_extract_epi16(
        _mm_minpos_epu16(_mm_min_epu16(_mm256_castsi256_si128(m), _mm256_extracti128_si256(m, 1))), 0);
    if (least >= best) continue;
    const __m256i lv = _mm256_set1_epi16((short)least);
    const uint32_t eq = (uint32_t)_mm256_movemask_epi8(_mm256_packs_epi16(_mm256_cmpeq_epi16(v0, lv),
                                                                          _mm256_cmpeq_epi16(v1, lv)));
    // packs interleaves the halves: bytes 0-7 lanes 0-7, 8-15 lanes 16-23,
    // 16-23 lanes 8-15, 24-31 lanes 24-31.
    const uint32_t at = (eq & 0xFF) | (eq >> 16 & 0xFF) << 8 | (eq >> 8 & 0xFF) << 16 | (eq >> 24) << 24;
    const uint32_t zero = (uint32_t)-lox;  // index of offset 0
    const uint32_t ahead = at >> zero << zero;
    const uint32_t index = (uint32_t)__builtin_ctz(ahead ? ahead : at);
    best = least;
    bx = (int)index + lox;
    by = dy;
  }
  *mvx = bx;
  *mvy = by;
}


static inline int Len(int v) { return v ? 32 - __builtin_clz((uint32_t)(v < 0 ? -v : v)) : 0; }

// Bit lengths of eight values below 2^24 from their exponents as floats
// (bias 126; 0 stays 0).
static inline __m256i BitLength(__m256i v, __m256i bias) {
  const __m256i e = _mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(v)), 23);
  return _mm256_max_epi32(_mm256_sub_epi32(e, bias), _mm256_setzero_si256());
}

namespace {

// The groups of four coded indexes as the coding's tree takes them: the
// four children of groups 1, 6 and 11 (groups 2-5, 7-10, 12-15), then those
// three groups and an empty lane. For each lane, where its group finds its
// 2 x 2 square among the square-ordered values (index within eight, and
// whether in the upper eight); and the even lanes that hold a row pair's
// four squares.
struct Groups {
  __m256i index[2], high[2], even;
  Groups() {
    static const int kLayout[16] = {2, 3, 4, 5, 7, 8, 9, 10, 12, 13, 14, 15, 1, 6, 11, 0};
    alignas(32) int32_t idx[16], hi[16];
    for (int l = 0; l < 16; l++) {
      const int first = kVornCoefOrder[4 * kLayout[l]], sq = (first / 16) * 4 + (first % 8) / 2;
      idx[l] = sq & 7;
      hi[l] = sq >= 8 ? -1 : 0;
    }
    for (int h = 0; h < 2; h++) {
      index[h] = _mm256_load_si256((const __m256i*)(idx + 8 * h));
      high[h] = _mm256_load_si256((const __m256i*)(hi + 8 * h));
    }
    even = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
  }
};
const Groups kGroups;

}  // namespace

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
  // lanes of each row pair; gathered in square order (row pair * 4 + column
  // pair), then in the order of the groups of coded indexes.
  __m256i orSq[4], zeroSq[4];
  for (int r = 0; r < 4; r++) {
    const __m256i a = _mm256_or_si256(_mm256_abs_epi32(res[2 * r]), _mm256_abs_epi32(res[2 * r + 1]));
    const __m256i z = _mm256_add_epi32(_mm256_cmpeq_epi32(res[2 * r], _mm256_setzero_si256()),
                                       _mm256_cmpeq_epi32(res[2 * r + 1], _mm256_setzero_si256()));
    orSq[r] = _mm256_permutevar8x32_epi32(_mm256_or_si256(a, _mm256_srli_epi64(a, 32)), kGroups.even);
    zeroSq[r] = _mm256_permutevar8x32_epi32(_mm256_add_epi32(z, _mm256_srli_epi64(z, 32)), kGroups.even);
  }
  const __m256i four = _mm256_set1_epi32(4), expBias = _mm256_set1_epi32(126);
  const __m256i lenSq[2] = {BitLength(_mm256_blend_epi32(orSq[0], orSq[1], 0xF0), expBias),
                            BitLength(_mm256_blend_epi32(orSq[2], orSq[3], 0xF0), expBias)};
  const __m256i nzSq[2] = {_mm256_add_epi32(four, _mm256_blend_epi32(zeroSq[0], zeroSq[1], 0xF0)),
                           _mm256_add_epi32(four, _mm256_blend_epi32(zeroSq[2], zeroSq[3], 0xF0))};
  __m256i len[2], nz[2];
  for (int h = 0; h < 2; h++) {
    const __m256i idx = kGroups.index[h], high = kGroups.high[h];
    len[h] = _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(lenSq[0], idx),
                                _mm256_permutevar8x32_epi32(lenSq[1], idx), high);
    nz[h] = _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(nzSq[0], idx),
                               _mm256_permutevar8x32_epi32(nzSq[1], idx), high);
  }
  len[1] = _mm256_blend_epi32(len[1], _mm256_setzero_si256(), 0x80);  // the empty lane
  // VmkCoefBitsFromQuads on the tree layout: a child group of bit length L
  // costs [L > 0] (4 L + non-zero count) - max(L - 1, 0) beyond four bits
  // per pass of its parent's subtree.
  const __m256i one = _mm256_set1_epi32(1), zero = _mm256_setzero_si256();
  __m256i child[2], top[2];
  for (int h = 0; h < 2; h++) {
    const __m256i some = _mm256_cmpgt_epi32(len[h], zero);
    child[h] = _mm256_sub_epi32(_mm256_and_si256(some, _mm256_add_epi32(_mm256_slli_epi32(len[h], 2), nz[h])),
                                _mm256_max_epi32(_mm256_sub_epi32(len[h], one), zero));
    // Sums and maximums over each four lanes.
    child[h] = _mm256_add_epi32(child[h], _mm256_shuffle_epi32(child[h], 0x4E));
    child[h] = _mm256_add_epi32(child[h], _mm256_shuffle_epi32(child[h], 0xB1));
    top[h] = _mm256_max_epi32(len[h], _mm256_shuffle_epi32(len[h], 0x4E));
    top[h] = _mm256_max_epi32(top[h], _mm256_shuffle_epi32(top[h], 0xB1));
  }
  alignas(32) int32_t sums[2][8], tops[2][8], lens[8], nzs[8];
  for (int h = 0; h < 2; h++) {
    _mm256_store_si256((__m256i*)sums[h], child[h]);
    _mm256_store_si256((__m256i*)tops[h], top[h]);
  }
  _mm256_store_si256((__m256i*)lens, len[1]);
  _mm256_store_si256((__m256i*)nzs, nz[1]);
  const int l1 = Len(out[1]), l2 = Len(out[8]), l3 = Len(out[9]);
  int n = l1 > l2 ? l1 : l2;
  n = n > l3 ? n : l3;
  const int tl[4] = {tops[0][0], tops[0][4], tops[1][0], tops[1][4]};  // groups 2-15, then 1, 6, 11
  for (int v : tl) n = n > v ? n : v;
  if (!n) return 4;
  int bits = 4 + 3 * n + (l1 > 0) + (l2 > 0) + (l3 > 0);
  const int subTop[3] = {tops[0][0], tops[0][4], tops[1][0]}, subSum[3] = {sums[0][0], sums[0][4], sums[1][0]};
  for (int t = 0; t < 3; t++) {
    const int tp = subTop[t], l0 = lens[4 + t] > tp ? lens[4 + t] : tp;
    bits += n - (l0 > 1 ? l0 - 1 : 0);
    if (!l0) continue;
    bits += 5 * l0 + nzs[4 + t] - (tp > 1 ? tp - 1 : 0);
    if (tp) bits += 4 * tp + subSum[t];
  }
  return (uint32_t)bits;
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

namespace {

// Each scan's consecutive pairs: those 1, 7, 8 or 9 positions apart as a
// byte weight per step and lower position, the others as position pairs.
struct ScanWeights {
  alignas(32) int8_t near[16][4][64];
  uint8_t far[16][16][2];
  uint8_t farCount[16];
  ScanWeights() {
    static const int kStep[4] = {1, 7, 8, 9};
    memset(near, 0, sizeof near);
    for (int s = 0; s < 16; s++) {
      farCount[s] = 0;
      for (int i = 0; i < 63; i++) {
        const int a = kVornScans[s][i], b = kVornScans[s][i + 1], lo = a < b ? a : b, d = a < b ? b - a : a - b;
        int kind = -1;
        for (int k = 0; k < 4; k++)
          if (d == kStep[k]) kind = k;
        if (kind >= 0) {
          near[s][kind][lo] = 1;
        } else if (farCount[s] < 16) {
          far[s][farCount[s]][0] = (uint8_t)a;
          far[s][farCount[s]++][1] = (uint8_t)b;
        }
      }
    }
  }
};
const ScanWeights kScanWeights;

}  // namespace

// Every scan's score, |difference| plus one when not 0 summed over its
// consecutive pairs, as weighted sums of the neighbour differences: bytes
// times 0/1 weights in pairs, then in fours.
uint32_t VmkRunScanAvx2(const uint8_t* v) {
  alignas(32) uint8_t buf[96];
  memcpy(buf, v, 64);
  memset(buf + 64, 0, 32);
  static const int kStep[4] = {1, 7, 8, 9};
  __m256i d[4][2], nz[4][2];
  const __m256i one = _mm256_set1_epi8(1);
  for (int k = 0; k < 4; k++)
    for (int h = 0; h < 2; h++) {
      const __m256i a = _mm256_load_si256((const __m256i*)(buf + 32 * h));
      const __m256i b = _mm256_loadu_si256((const __m256i*)(buf + 32 * h + kStep[k]));
      d[k][h] = _mm256_sub_epi8(_mm256_max_epu8(a, b), _mm256_min_epu8(a, b));
      nz[k][h] = _mm256_min_epu8(d[k][h], one);
    }
  const __m256i ones16 = _mm256_set1_epi16(1);
  uint32_t best = 0, bestScore = UINT32_MAX;
  for (uint32_t s = 0; s < 16; s++) {
    __m256i acc = _mm256_setzero_si256();
    for (int k = 0; k < 4; k++)
      for (int h = 0; h < 2; h++) {
        const __m256i w = _mm256_load_si256((const __m256i*)(kScanWeights.near[s][k] + 32 * h));
        const __m256i pairs = _mm256_add_epi16(_mm256_maddubs_epi16(d[k][h], w), _mm256_maddubs_epi16(nz[k][h], w));
        acc = _mm256_add_epi32(acc, _mm256_madd_epi16(pairs, ones16));
      }
    __m128i x = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
    x = _mm_add_epi32(x, _mm_shuffle_epi32(x, 0x4E));
    x = _mm_add_epi32(x, _mm_shuffle_epi32(x, 0xB1));
    uint32_t score = 1 + (uint32_t)_mm_cvtsi128_si32(x);
    for (int i = 0; i < kScanWeights.farCount[s]; i++) {
      const int a = v[kScanWeights.far[s][i][0]], b = v[kScanWeights.far[s][i][1]];
      const uint32_t diff = (uint32_t)(a > b ? a - b : b - a);
      score += diff + (diff != 0);
    }
    if (score < bestScore) {
      bestScore = score;
      best = s;
    }
  }
  return best;
}

namespace {
struct Avx2Prims {
  static void RunPrep(const uint8_t* v, uint8_t range[64][16], uint8_t low[64][16]) { VmkRunPrepSse2Inline(v, range, low); }
  static uint32_t RunFind(const uint8_t* r, uint32_t avail, uint32_t t) { return VmkRunFindSse2Inline(r, avail, t); }
  static uint32_t Median(const uint8_t* v, uint32_t n) { return VmkMedian16Avx2(v, n); }
  static uint32_t Sad64(const uint8_t* a, const uint8_t* b) { return VmkSad64Sse2(a, b); }
  static uint32_t Spread(const uint8_t* q, const uint8_t* v) { return VmkSpreadSse2Inline(q, v); }
  static uint64_t EqNext(const uint8_t* v) { return VmkEqNextSse2Inline(v); }
};
}  // namespace

int VmkRunPassesAvx2(const uint8_t* scanned, const uint8_t* quads, int32_t run, int32_t colour, VmkRunPass* out) {
  return VmkRunPassesWith<Avx2Prims>(scanned, quads, run, colour, out);
}
