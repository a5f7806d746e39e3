// The length of the coefficient coding in closed form. An entry of the
// walk's list costs one bit in every pass from the one it is first visited
// in down to the pass where it becomes significant (or the last pass); a
// group of four costs four bits; a value of bit length L costs L bits (the
// L - 1 below its leading one, and a sign). Summed over the list's tree this
// leaves, per group of four coded indexes, only its largest bit length and
// its count of non-zero values.
#include "vornmake/coefcode.h"

namespace {

// Block positions of each group of four coded indexes.
struct Quads {
  uint8_t pos[16][4];
  Quads() {
    for (int k = 0; k < 16; k++)
      for (int j = 0; j < 4; j++) pos[k][j] = kVornCoefOrder[4 * k + j];
  }
};
const Quads kQuads;

inline int Len(int v) { return (int)VmkBitLength((uint32_t)(v < 0 ? -v : v)); }
inline int Max(int a, int b) { return a > b ? a : b; }
// Passes an entry first visited in pass b0 costs until it is significant
// (bit length len; 0: never).
inline int Visits(int len, int b0) { return b0 + 1 - Max(len - 1, 0); }

}  // namespace

uint32_t VmkCoefBitsFromQuads(const int* qlen, const int* qnz, int l1, int l2, int l3) {
  int n = Max(Max(l1, l2), l3);
  for (int k = 1; k < 16; k++) n = Max(n, qlen[k]);
  if (!n) return 4;
  int bits = 4 + 3 * n + (l1 > 0) + (l2 > 0) + (l3 > 0);
  for (int k0 = 1; k0 < 16; k0 += 5) {
    // A subtree of five groups: its root, then a node over the last four.
    const int top = Max(Max(qlen[k0 + 1], qlen[k0 + 2]), Max(qlen[k0 + 3], qlen[k0 + 4]));
    const int l0 = Max(qlen[k0], top);
    bits += Visits(l0, n - 1);
    if (!l0) continue;
    bits += 4 * l0 + qnz[k0];
    bits += Visits(top, l0 - 1);
    if (!top) continue;
    for (int k = k0 + 1; k < k0 + 5; k++) {
      bits += Visits(qlen[k], top - 1);
      if (qlen[k]) bits += 4 * qlen[k] + qnz[k];
    }
  }
  return (uint32_t)bits;
}

uint32_t VmkCoefBits(const int16_t* coef) {
  int qlen[16], qnz[16];
  for (int k = 1; k < 16; k++) {
    const uint8_t* p = kQuads.pos[k];
    const int a = coef[p[0]], b = coef[p[1]], c = coef[p[2]], d = coef[p[3]];
    const uint32_t any = (uint32_t)(a < 0 ? -a : a) | (uint32_t)(b < 0 ? -b : b) | (uint32_t)(c < 0 ? -c : c) |
                         (uint32_t)(d < 0 ? -d : d);
    qlen[k] = (int)VmkBitLength(any);
    qnz[k] = (a != 0) + (b != 0) + (c != 0) + (d != 0);
  }
  // Indexes 1-3 stand alone; the DC is not coded.
  return VmkCoefBitsFromQuads(qlen, qnz, Len(coef[kQuads.pos[0][1]]), Len(coef[kQuads.pos[0][2]]),
                              Len(coef[kQuads.pos[0][3]]));
}

// Which 2 x 2 square of block positions (row pair * 4 + column pair) each
// group of four coded indexes covers.
static struct Squares {
  uint8_t of[16];
  Squares() {
    for (int k = 0; k < 16; k++) of[k] = (uint8_t)((kVornCoefOrder[4 * k] / 16) * 4 + (kVornCoefOrder[4 * k] % 8) / 2);
  }
} kSquares;

const uint8_t* VmkCoefSquares(void) { return kSquares.of; }
