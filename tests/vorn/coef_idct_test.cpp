// Coefficient and residue coding, and the inverse transform's arithmetic.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <vector>

#include "vorn/coef.h"
#include "vorn/cpu.h"
#include "vorn/idct.h"
#include "vorn/tables.h"

namespace {

// Bits in reading order packed least significant first.
std::vector<uint8_t> Pack(const char* bits) {
  std::vector<uint8_t> out(64, 0);
  int n = 0;
  for (int i = 0; bits[i]; i++) {
    if (bits[i] == ' ') continue;
    if (bits[i] == '1') out[n / 8] |= (uint8_t)(1 << (n % 8));
    n++;
  }
  return out;
}

TEST(VornCoef, ValueBitsTakeTheirPlaneMask) {
  // Four planes; in the first (b = 3) entry (1, 3) reads v = 5 and sign 1.
  std::vector<uint8_t> s = Pack("0010 0001 101 1 00 00000 00000 00000");
  VornBits b;
  VornBitsInit(&b, s.data(), s.size());
  int16_t coef[64];
  coef[0] = 99;
  VornReadCoefs(&b, coef);
  EXPECT_EQ(coef[0], 99);
  EXPECT_EQ(coef[1], -13);
  for (int i = 2; i < 64; i++) EXPECT_EQ(coef[i], 0) << i;
}

TEST(VornCoef, ResidueLimitAndRefinement) {
  struct Case {
    const char* bits;
    uint32_t limit;
    int8_t r0, r1;
  } cases[] = {
      // c = 1: group 0..3, index 0 read now as +2; limit 0 stops before index 1.
      {"100 0001 0 0 0 0", 0, 2, 0},
      {"100 0001 0 0 0 0", 127, 2, 2},
      // c = 2: +4, then refined by 2 in the next pass.
      {"010 0001 0 0 1 1 1  1 000000  0 000000", 127, 6, 0},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> s = Pack(c.bits);
    VornBits b;
    VornBitsInit(&b, s.data(), s.size());
    int8_t res[64];
    VornReadResidue(&b, c.limit, res);
    EXPECT_EQ(res[0], c.r0) << c.bits << " limit " << c.limit;
    EXPECT_EQ(res[1], c.r1) << c.bits << " limit " << c.limit;
  }
}

void CompareWithReference(const char* name, VornIdctFunc f);

TEST(VornIdct, DcOnlyAndWrappingStores) {
  struct Case {
    int16_t dc;
    uint8_t want;
  } cases[] = {{8 * 200, 200}, {8 * 260, 4}, {-24, 253}, {0, 0}};
  for (const Case& c : cases) {
    int16_t coef[64] = {c.dc};
    uint8_t out[16 * 8];
    VornIdctPut(out, 16, coef, kVornIntraQuant[0]);
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 8; x++) ASSERT_EQ(out[y * 16 + x], c.want) << "dc " << c.dc;
  }
  // Inter: the work block plus the result, wrapped.
  int16_t coef[64] = {8 * 10};
  uint8_t work[64], out[64];
  for (int i = 0; i < 64; i++) work[i] = (uint8_t)(250 + i);
  VornIdctAdd(out, 8, work, coef, kVornInterQuant[0]);
  for (int i = 0; i < 64; i++) EXPECT_EQ(out[i], (uint8_t)(260 + i));
}

TEST(VornIdct, SimdMatchesReference) {
  struct Routine {
    const char* name;
    uint32_t cpu;
    VornIdctFunc f;
  } routines[] = {{"SSE2", VORN_CPU_SSE2, VornIdctSse2}, {"AVX2", VORN_CPU_AVX2, VornIdctAvx2}};
  for (const Routine& r : routines) {
    if (VornCpuFlags() & r.cpu) CompareWithReference(r.name, r.f);
  }
}

void CompareWithReference(const char* name, VornIdctFunc f) {
  srand(7);
  for (int iter = 0; iter < 10000; iter++) {
    int16_t coef[64] = {};
    int kind = iter % 4;
    for (int i = 0; i < 64; i++) {
      if (kind == 0 && rand() % 5) continue;  // sparse, with zero columns
      int v = kind == 3 ? (rand() & 0xFFFF) - 32768 : rand() % 512 - 256;
      coef[i] = (int16_t)v;
    }
    const int32_t* q = (iter & 1 ? kVornIntraQuant : kVornInterQuant)[rand() % 16];
    int32_t ref[64], simd[64];
    VornIdctRef(ref, coef, q);
    f(simd, coef, q);
    for (int i = 0; i < 64; i++) ASSERT_EQ(simd[i], ref[i]) << name << " iteration " << iter << " position " << i;
  }
}

}  // namespace
