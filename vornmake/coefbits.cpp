// The length of the coefficient coding in closed form. An entry of the
// walk's list costs one bit in every pass from the one it is first visited
// in down to the pass where it becomes significant (or the last pass); a
// group costs four bits; a value of bit length L costs L bits (L - 1 below
// its leading one, and a sign).
#include "vornmake/coefcode.h"

namespace {

// Visits of an entry first seen in pass b0 whose largest bit length is len.
inline int Visits(int len, int b0) {
  if (b0 < 0) return 0;
  return len ? b0 - len + 2 : b0 + 1;
}

// A group of four coded in pass p: values significant now, the others
// deferred to single entries from the next pass on.
inline int Group(const uint8_t* len, int i, int p) {
  int bits = 4;
  for (int j = i; j < i + 4; j++) bits += len[j] == p + 1 ? len[j] : Visits(len[j], p - 1) + len[j];
  return bits;
}

inline int Max(const uint8_t* len, int from, int count) {
  int m = 0;
  for (int j = from; j < from + count; j++) m = len[j] > m ? len[j] : m;
  return m;
}

}  // namespace

uint32_t VmkCoefBits(const int16_t* coef) {
  uint8_t len[64];
  int n = 0;
  len[0] = 0;
  for (int i = 1; i < 64; i++) {
    int v = coef[kVornCoefOrder[i]];
    len[i] = (uint8_t)VmkBitLength((uint32_t)(v < 0 ? -v : v));
    n = len[i] > n ? len[i] : n;
  }
  if (!n) return 4;
  int bits = 4;
  for (int i = 1; i < 4; i++) bits += Visits(len[i], n - 1) + len[i];
  for (int i = 4; i < 64; i += 20) {
    const int l0 = Max(len, i, 20);
    bits += Visits(l0, n - 1);
    if (!l0) continue;
    bits += Group(len, i, l0 - 1);
    const int l1 = Max(len, i + 4, 16);
    bits += Visits(l1, l0 - 1);
    if (!l1) continue;
    for (int j = i + 4; j < i + 20; j += 4) {
      const int l2 = Max(len, j, 4);
      bits += Visits(l2, l1 - 1);
      if (l2) bits += Group(len, j, l2 - 1);
    }
  }
  return (uint32_t)bits;
}
