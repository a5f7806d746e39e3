// The exhaustive motion search on any sum-of-differences routine: every
// offset in the window, visited 0, 1, ... hi, then lo, ... -1 in each
// direction (rows outer); the first strictly smallest sum wins and a sum of
// 0 ends the search. Candidates are given up once they reach the best.
#pragma once

#include <stddef.h>
#include <stdint.h>

template <class Sad>
void VmkSearchWith(Sad sad, const uint8_t* s, const uint8_t* r, uint32_t pitch, int lox, int hix, int loy, int hiy,
                   int* mvx, int* mvy) {
  uint32_t best = sad(s, pitch, r, pitch, UINT32_MAX);
  int bx = 0, by = 0;
  for (int iy = 0; iy <= hiy - loy && best; iy++) {
    const int dy = iy <= hiy ? iy : loy + (iy - hiy - 1);
    const uint8_t* rr = r + (ptrdiff_t)dy * (ptrdiff_t)pitch;
    for (int ix = 0; ix <= hix - lox; ix++) {
      const int dx = ix <= hix ? ix : lox + (ix - hix - 1);
      if (!dx && !dy) continue;
      uint32_t e = sad(s, pitch, rr + dx, pitch, best - 1);
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
