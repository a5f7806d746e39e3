// Quantisation factors, the range of quantised values, and the SIMD sums of
// absolute differences against the reference.
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <vector>

#include "vorn/tables.h"
#include "vornmake/analyse.h"
#include "vornmake/coefcode.h"
#include "vornmake/dsp.h"
#include "vornmake/transform.h"

namespace {

TEST(Transform, FactorsInvertTheDecoderTables) {
  for (int q = 0; q < 16; q++)
    for (int k = 0; k < 64; k++) {
      const double intra = 34359738368.0 / kVornIntraQuant[q][k];
      const double inter = 34359738368.0 / kVornInterQuant[q][k];
      EXPECT_LE(fabs(kVmkIntraFactor[q][k] - intra), intra * 1e-4) << q << " " << k;
      EXPECT_LE(fabs(kVmkInterFactor[q][k] - inter), inter * 1e-4) << q << " " << k;
    }
}

// The worst blocks for each coefficient (samples at one extreme where its
// basis function is positive, at the other where negative) keep every
// quantised value within the coding's 15 bit planes, the intra DC within 11
// bits, and the decoder's 32-bit dequantisation products within range.
TEST(Transform, QuantisedValuesFitTheirFields) {
  int32_t basis[64];
  for (int pos = 0; pos < 64; pos++) {
    // The forward transform is linear enough for its signs to find the worst.
    int32_t tmp[64];
    for (int i = 0; i < 64; i++) {
      int32_t one[64] = {0};
      one[i] = 1;
      VmkForward(one, tmp);
      basis[i] = tmp[pos];
    }
    for (int inter = 0; inter < 2; inter++)
      for (int sign = -1; sign <= 1; sign += 2) {
        int32_t in[64], coef[64];
        for (int i = 0; i < 64; i++) {
          const bool hi = basis[i] * sign > 0;
          in[i] = inter ? (hi ? 127 : -128) : (hi ? 255 : 0);
        }
        VmkForward(in, coef);
        for (int q = 0; q < 16; q++) {
          int16_t out[64];
          VmkQuantise(coef, inter ? kVmkInterFactor[q] : kVmkIntraFactor[q], out);
          const int32_t* deq = inter ? kVornInterQuant[q] : kVornIntraQuant[q];
          for (int k = 0; k < 64; k++) {
            EXPECT_LT(abs(out[k]), 1 << 15);
            EXPECT_LT(fabs((double)out[k] * deq[k]), 2147483647.0) << pos << " " << q << " " << k;
          }
          if (!inter) {
            EXPECT_LE(out[0], 2047);
            EXPECT_GE(out[0], 0);
          }
        }
      }
  }
}

TEST(Transform, InterDcReachesMinus1024OnlyAtTheFinestQuantiser) {
  int32_t in[64], coef[64];
  int16_t out[64];
  for (int i = 0; i < 64; i++) in[i] = -128;
  VmkForward(in, coef);
  VmkQuantise(coef, kVmkInterFactor[0], out);
  EXPECT_EQ(out[0], -1024);  // one below what a chunk's first value can carry
  VmkQuantise(coef, kVmkInterFactor[1], out);
  EXPECT_GT(out[0], -1024);
}

TEST(Dsp, SimdRoutinesMatchTheReference) {
  const VmkDsp* ref = VmkDspByName("c");
  std::mt19937 rng(5);
  uint8_t a[16 * 16], b[16 * 16];
  for (const char* name : {"sse2"}) {
    const VmkDsp* simd = VmkDspByName(name);
    if (!simd) continue;
    for (int trial = 0; trial < 20000; trial++) {
      const int spread = 1 + (int)(rng() % 256);
      for (auto& v : a) v = (uint8_t)(rng() % spread);
      for (auto& v : b) v = (uint8_t)(rng() % spread);
      const uint32_t limit = trial % 3 ? rng() % 9000 : UINT32_MAX;
      const uint32_t pa = 8 + rng() % 9, pb = 8 + rng() % 9;
      uint32_t r = ref->sad8(a, pa, b, pb, limit), s = simd->sad8(a, pa, b, pb, limit);
      // Within the limit both give the exact sum; beyond it both only say so.
      if (r <= limit) {
        ASSERT_EQ(s, r) << name;
      } else {
        ASSERT_GT(s, limit) << name;
      }
      ASSERT_EQ(simd->doubled(a, b), ref->doubled(a, b)) << name;
      ASSERT_EQ(simd->spread(a, b), ref->spread(a, b)) << name;
      uint8_t r1[64][16], l1[64][16], r2[64][16], l2[64][16];
      simd->runprep(a, r1, l1);
      ref->runprep(a, r2, l2);
      ASSERT_EQ(memcmp(r1, r2, sizeof r1), 0) << name;
      ASSERT_EQ(memcmp(l1, l2, sizeof l1), 0) << name;
      const uint32_t avail = 1 + rng() % 16, t = rng() % 256, at = rng() % 64;
      ASSERT_EQ(simd->runfind(r1[at], avail, t), ref->runfind(r1[at], avail, t)) << name;
      const uint32_t n = 2 + rng() % 15;
      ASSERT_EQ(simd->median16(a + 3, n), ref->median16(a + 3, n)) << name;
      {
        uint8_t x[256], y[256];
        memcpy(x, a, 256);
        memcpy(y, a, 256);
        const uint32_t n = rng() % 256, th = rng() % 4;
        simd->smooth(x, b, n, th);
        ref->smooth(y, b, n, th);
        ASSERT_EQ(memcmp(x, y, 256), 0) << name;
        ASSERT_EQ(simd->sadn(a, b, n), ref->sadn(a, b, n)) << name;
      }
      for (int i = 0; i < 80; i++) b[i] = (uint8_t)(rng() % 3);
      ASSERT_EQ(simd->eqnext(b), ref->eqnext(b)) << name;
    }
  }
}

TEST(Dsp, SimdQuantisationMatchesTheReference) {
  const VmkDsp* ref = VmkDspByName("c");
  std::mt19937 rng(8);
  for (const char* name : {"sse2", "avx2"}) {
    const VmkDsp* simd = VmkDspByName(name);
    if (!simd) continue;
    for (int trial = 0; trial < 5000; trial++) {
      int32_t in[64], coef[64];
      for (int i = 0; i < 64; i++) in[i] = trial % 2 ? (int)(rng() % 256) : (int)(rng() % 256) - 128;
      if (trial % 7 == 0)
        for (int i = 0; i < 64; i++) in[i] = in[0];
      VmkForward(in, coef);
      const int q = (int)(rng() % 16);
      const int32_t* f = trial % 2 ? kVmkIntraFactor[q] : kVmkInterFactor[q];
      int16_t a[64], b[64];
      const uint32_t bits = simd->quantise(coef, f, a);
      ASSERT_EQ(bits, ref->quantise(coef, f, b)) << name;
      ASSERT_EQ(bits, VmkCoefBits(b));
      for (int i = 0; i < 64; i++) ASSERT_EQ(a[i], b[i]) << name << " " << i;
    }
  }
}

// Every search finds the offset of the one-at-a-time reference search, on
// planes with near matches, exact matches and flat areas, at the edges too.
TEST(Dsp, SearchesMatchTheReference) {
  const VmkDsp* ref = VmkDspByName("c");
  std::mt19937 rng(6);
  for (const char* name : {"sse2", "avx2"}) {
    const VmkDsp* simd = VmkDspByName(name);
    if (!simd) continue;
    for (int trial = 0; trial < 40; trial++) {
      const uint32_t w = 8 * (1 + rng() % 8), h = 8 * (1 + rng() % 6);
      std::vector<uint8_t> src(w * h), prev(w * h + 64);
      const int kind = trial % 4;
      for (uint32_t i = 0; i < w * h; i++) {
        prev[i] = (uint8_t)(kind == 0 ? rng() % 4 : kind == 1 ? (i * 7 + i / w * 3) & 255 : rng());
      }
      const int sx = (int)(rng() % 7) - 3, sy = (int)(rng() % 7) - 3;
      for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < w; x++) {
          int px = std::clamp((int)x + sx, 0, (int)w - 1), py = std::clamp((int)y + sy, 0, (int)h - 1);
          src[y * w + x] = (uint8_t)(prev[py * w + px] + (kind == 3 ? rng() % 3 : 0));
        }
      VmkAnalysis a = {src.data(), prev.data(), w, h, 0, nullptr, ref};
      VmkAnalysis b = a;
      b.dsp = simd;
      for (uint32_t y0 = 0; y0 < h; y0 += 8)
        for (uint32_t x0 = 0; x0 < w; x0 += 8) {
          int8_t rx, ry, qx, qy;
          VmkMotionSearch(&a, x0, y0, &rx, &ry);
          VmkMotionSearch(&b, x0, y0, &qx, &qy);
          ASSERT_EQ(rx, qx) << name << " " << trial;
          ASSERT_EQ(ry, qy) << name << " " << trial;
        }
    }
  }
}

}  // namespace
