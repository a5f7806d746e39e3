// The encoder's codings read back by the decoder's readers: coefficients,
// residues cut at a limit, and tree descriptions with their symbols.
#include <gtest/gtest.h>
#include <string.h>

#include <random>

#include "vorn/bitreader.h"
#include "vorn/coef.h"
#include "vorn/tables.h"
#include "vorn/tree.h"
#include "vornmake/coefcode.h"
#include "vornmake/tree.h"

namespace {

// Values of up to `bits` bits, mostly zero, a few large.
void RandomBlock(std::mt19937& rng, int bits, int32_t* v) {
  for (int i = 0; i < 64; i++) {
    uint32_t r = rng();
    int mag = r % 4 ? 0 : (int)(rng() % (1u << (rng() % (bits + 1))));
    v[i] = r & 0x100 ? -mag : mag;
  }
}

TEST(Coding, CoefficientsReadBack) {
  std::mt19937 rng(1);
  for (int trial = 0; trial < 3000; trial++) {
    int32_t coded[64];
    RandomBlock(rng, trial % 13, coded);
    coded[0] = 0;
    uint32_t words[512] = {0};
    VmkBitWriter w;
    VmkBitsInit(&w, words, sizeof words);
    VmkCoefCode(&w, coded);
    int16_t block[64];
    for (int i = 0; i < 64; i++) block[kVornCoefOrder[i]] = (int16_t)coded[i];
    ASSERT_EQ(VmkBitsTell(&w), VmkCoefBits(block));
    VmkBitsPut(&w, 0xA, 4);  // what follows must stay in step
    VmkBitsAlign(&w);
    VornBits b;
    VornBitsInit(&b, (const uint8_t*)words, w.pos * 4);
    int16_t coef[64] = {0};
    VornReadCoefs(&b, coef);
    for (int i = 1; i < 64; i++) ASSERT_EQ(coef[kVornCoefOrder[i]], coded[i]) << trial << " " << i;
    ASSERT_EQ(VornBitsGet(&b, 4), 0xAu);
  }
}

TEST(Coding, ResidueCutAtLimitReadsBack) {
  std::mt19937 rng(2);
  for (int trial = 0; trial < 3000; trial++) {
    int32_t coded[64];
    RandomBlock(rng, 7, coded);
    coded[rng() % 64] = trial % 2 ? -128 : 127;
    const uint32_t limit = rng() % 128;
    int32_t applied[64] = {0};
    uint32_t count = 0;
    uint32_t words[512] = {0};
    VmkBitWriter w;
    VmkBitsInit(&w, words, sizeof words);
    VmkResidueCode(&w, coded, [&](uint32_t j, int32_t value, uint32_t bits) -> bool {
      applied[j] = value;
      EXPECT_EQ(bits, VmkBitsTell(&w));
      return ++count > limit;
    });
    VmkBitsPut(&w, 0x5, 3);
    VmkBitsAlign(&w);
    VornBits b;
    VornBitsInit(&b, (const uint8_t*)words, w.pos * 4);
    int8_t res[64];
    VornReadResidue(&b, limit, res);
    for (int i = 0; i < 64; i++) ASSERT_EQ(res[kVornCoefOrder[i]], (int8_t)applied[i]) << trial << " " << i;
    ASSERT_EQ(VornBitsGet(&b, 3), 0x5u);
  }
}

TEST(Coding, TreeDescriptionsAndSymbolsReadBack) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 2000; trial++) {
    uint32_t hist[16];
    const int shape = trial % 4;
    for (int i = 0; i < 16; i++)
      hist[i] = shape == 0 ? 0 : shape == 1 ? rng() % 3 : shape == 2 ? (rng() % 16 < 3 ? rng() % 1000 : 0)
                                                                       : (1000 >> (rng() % 12));
    VmkTreeCode t;
    VmkTreeChoose(hist, &t);
    uint32_t words[4096] = {0};
    VmkBitWriter w;
    VmkBitsInit(&w, words, sizeof words);
    VmkTreeWrite(&w, &t);
    std::vector<uint32_t> symbols;
    for (int v = 0; v < 16; v++)
      for (uint32_t k = 0; k < hist[v] && k < 40; k++) symbols.push_back((uint32_t)v);
    std::shuffle(symbols.begin(), symbols.end(), rng);
    for (uint32_t s : symbols) VmkTreePut(&w, &t, s);
    VmkBitsAlign(&w);
    VornBits b;
    VornBitsInit(&b, (const uint8_t*)words, w.pos * 4);
    VornTree tree;
    VornTreeRead(&b, &tree);
    for (uint32_t s : symbols) ASSERT_EQ(VornTreeGet(&b, &tree), s) << trial;
    // Tree 0 costs four bits a symbol: no choice is dearer.
    uint32_t n = 0;
    for (int v = 0; v < 16; v++) n += hist[v];
    ASSERT_LE(t.bits, 4 + 4 * n);
  }
}

}  // namespace
