// Constant tables: the dequantisation rule with its exception entries, the
// prefix codes and the orders.
#include <gtest/gtest.h>
#include <math.h>

#include <vector>

#include "vorn/tables.h"

namespace {

struct Exception {
  int q;
  std::vector<int> k;
};

// Entries one above the plain rounding of the rule.
const Exception kIntraUp[] = {
    {5, {33}},
    {6, {48, 53}},
    {7, {10, 21, 42}},
    {9, {8, 24, 35}},
    {10, {25, 48}},
    {11, {2, 6, 20, 24, 28, 33, 35}},
    {12, {37, 40, 51, 59}},
    {13, {2, 11, 12, 20, 29, 31, 48, 60}},
    {14, {1, 10, 11, 17, 18, 19, 21, 25, 26, 29, 42}},
    {15, {21, 42, 44, 46, 48}},
};
const Exception kInterUp[] = {
    {0, {18}},
    {1, {27}},
    {3, {33}},
    {4, {34}},
    {7, {18}},
    {8, {33}},
    {9, {34, 61}},
    {10, {3, 37, 40}},
    {11, {13, 16, 18, 20, 25, 43}},
    {12, {14, 19, 26, 30, 33}},
    {13, {43, 48, 49}},
    {14, {10, 19, 22, 26, 33, 54}},
    {15, {12, 17, 22, 25, 27, 41, 55}},
};

const int kIntraM[64] = {16, 16, 16, 19, 16, 19, 22, 22, 22, 22, 26, 24, 26, 22, 22, 27,
                         27, 27, 26, 26, 26, 29, 29, 29, 27, 27, 27, 26, 34, 34, 34, 29,
                         29, 29, 27, 27, 37, 34, 34, 32, 32, 29, 29, 38, 37, 35, 35, 34,
                         35, 40, 40, 40, 38, 38, 48, 48, 46, 46, 58, 56, 56, 69, 69, 83};
const int kInterM[64] = {16, 17, 17, 18, 18, 18, 19, 19, 19, 19, 20, 20, 20, 20, 20, 21,
                         21, 21, 21, 21, 21, 22, 22, 22, 22, 22, 22, 22, 23, 23, 23, 23,
                         23, 23, 23, 23, 24, 24, 24, 25, 24, 24, 24, 25, 26, 26, 26, 26,
                         25, 27, 27, 27, 27, 27, 28, 28, 28, 28, 30, 30, 30, 31, 31, 33};

void CheckRule(const int32_t (*table)[64], const int* m, const Exception* up, size_t upCount,
               int expectedUp) {
  static const double kS[16] = {1,     4.0 / 3, 5.0 / 3, 2, 8.0 / 3, 3.5, 4,  5,
                                6,     8,       12,      17, 22,     28,  34, 44};
  double a[8];
  a[0] = 1;
  for (int i = 1; i < 8; i++) a[i] = sqrt(2.0) * cos(i * M_PI / 16);
  int ups = 0;
  for (int q = 0; q < 16; q++) {
    for (int k = 0; k < 64; k++) {
      int32_t want = (int32_t)floor(kS[q] * m[k] * a[k / 8] * a[k % 8] * 4096 + 0.5);
      for (size_t e = 0; e < upCount; e++)
        if (up[e].q == q)
          for (int kk : up[e].k)
            if (kk == k) want++, ups++;
      EXPECT_EQ(table[q][k], want) << "q " << q << " k " << k;
    }
  }
  EXPECT_EQ(ups, expectedUp);
}

TEST(VornTables, DequantisationFollowsRuleAndExceptions) {
  const int32_t intra0[8] = {65536, 90901, 85627, 91511, 65536, 61146, 48768, 24862};
  const int32_t inter0[8] = {65536, 96582, 90979, 86695, 73728, 57928, 42118, 21472};
  for (int i = 0; i < 8; i++) {
    EXPECT_EQ(kVornIntraQuant[0][i], intra0[i]);
    EXPECT_EQ(kVornInterQuant[0][i], inter0[i]);
  }
  EXPECT_EQ(kVornIntraQuant[15][0], 2883584);
  CheckRule(kVornIntraQuant, kIntraM, kIntraUp, sizeof kIntraUp / sizeof kIntraUp[0], 46);
  CheckRule(kVornInterQuant, kInterM, kInterUp, sizeof kInterUp / sizeof kInterUp[0], 38);
}

TEST(VornTables, CodesArePrefixFreeAndLookupMatches) {
  for (int t = 0; t < 16; t++) {
    double kraft = 0;
    int longest = 0;
    for (int s = 0; s < 16; s++) {
      const VornCode& c = kVornCodes[t][s];
      kraft += ldexp(1.0, -c.length);
      if (c.length > longest) longest = c.length;
      // Every 7-bit peek that starts with this code finds it.
      for (int p = 0; p < 128; p++) {
        if ((p & ((1 << c.length) - 1)) == c.bits) {
          ASSERT_EQ(kVornCodeLookup[t][p], s | (c.length << 4)) << "tree " << t << " symbol " << s;
        }
      }
    }
    EXPECT_EQ(kraft, 1.0) << "tree " << t;
    EXPECT_EQ(longest, kVornCodeMaxLength[t]);
  }
  // Spot checks in reading order: tree 7 symbol 6 is 110110, tree 15 symbol 10 is 1111010.
  EXPECT_EQ(kVornCodes[7][6].bits, 0x1b);
  EXPECT_EQ(kVornCodes[7][6].length, 6);
  EXPECT_EQ(kVornCodes[15][10].bits, 0x2f);
  EXPECT_EQ(kVornCodes[15][10].length, 7);
}

TEST(VornTables, OrdersArePermutations) {
  for (int t = 0; t < 17; t++) {
    const uint8_t* order = t < 16 ? kVornScans[t] : kVornCoefOrder;
    uint64_t seen = 0;
    for (int i = 0; i < 64; i++) seen |= 1ull << order[i];
    EXPECT_EQ(seen, ~0ull) << "order " << t;
  }
  // Every four coefficient indexes form a 2 x 2 square.
  for (int i = 0; i < 64; i += 4) {
    int p = kVornCoefOrder[i];
    EXPECT_EQ(kVornCoefOrder[i + 1], p + 1);
    EXPECT_EQ(kVornCoefOrder[i + 2], p + 8);
    EXPECT_EQ(kVornCoefOrder[i + 3], p + 9);
  }
  EXPECT_EQ(kVornScans[1][0], 59);
  EXPECT_EQ(kVornScans[15][63], 7);
  EXPECT_EQ(kVornRepeat[0], 4);
  EXPECT_EQ(kVornRepeat[3], 32);
}

}  // namespace
