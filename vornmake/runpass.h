// The tolerance passes of a block's run options on any set of primitives:
// for tolerance 0 and then each range at which the pass before had to cut
// a run, the scanned values are cut into runs of at most 16 whose range
// stays within the tolerance, each run takes its median, and the pass gives
// the coding's estimated cost and its error.
#pragma once

#include <stdint.h>
#include <string.h>

struct VmkRunPass {
  uint32_t tolerance;
  int32_t cost;  // the runs' estimate, without the scan number
  uint32_t error;
};

// Median of n (1 to 16) values, the mean of the two middle ones rounded down
// for an even n (insertion sort; the reference).
static inline uint32_t VmkMedianRef(const uint8_t* v, uint32_t n) {
  uint8_t s[16];
  for (uint32_t i = 0; i < n; i++) {
    uint32_t j = i;
    for (; j > 0 && s[j - 1] > v[i]; j--) s[j] = s[j - 1];
    s[j] = v[i];
  }
  return (s[(n - 1) / 2] + s[n / 2]) >> 1;
}

// Cost of coding scanned values as runs (the writer's split: a fill run
// takes up to 16 equal values, a literal run values up to one that equals
// the value after it), from the mask of positions equal to the next; run is
// the cost of a run's flag and length.
static inline int32_t VmkRunEstimate(uint64_t eq, int32_t run, int32_t colour) {
  int32_t cost = 0;
  int j = 0;
  while (j < 63) {
    int len;
    if (eq >> j & 1) {
      // Equal values from j on: the ones in eq from j, plus one.
      const uint64_t rest = ~(eq >> j);
      len = (rest ? __builtin_ctzll(rest) : 64) + 1;
      if (len > 16) len = 16;
      if (len > 64 - j) len = 64 - j;
      cost += run + colour;
    } else {
      // Up to the next position equal to its successor.
      const uint64_t rest = eq >> (j + 1) << (j + 1);
      len = (rest ? __builtin_ctzll(rest) : 64) - j;
      if (len > 16) len = 16;
      cost += run + len * colour;
    }
    j += len;
  }
  if (j == 63) cost += colour;
  return cost;
}

// P supplies RunPrep, RunFind, Median, Sad64 (two 8 x 8 blocks of pitch 8),
// Spread and EqNext with the meanings of the VmkDsp routines. scanned is
// readable to 80 bytes; quads (a region's 2 x 2 groups in scan order, or
// null for a block) gives the errors. Returns the number of passes in out
// (at most 256).
template <class P>
int VmkRunPassesWith(const uint8_t* scanned, const uint8_t* quads, int32_t run, int32_t colour,
                     VmkRunPass* out) {
  // Each start's prefix ranges and minimums; the medians of the runs met so
  // far by start and length; the last pass's runs by their start: which
  // positions start one, and each one's length, the range that ended it
  // (256: its length or the end) and its median.
  uint8_t range[64][16], low[64][16], median[64][16];
  uint16_t known[64];
  uint8_t length[64], value[64];
  uint16_t cutRange[64];
  uint64_t starts = 0;
  uint8_t merged[80];
  P::RunPrep(scanned, range, low);
  memset(known, 0, sizeof known);
  int count = 0;
  uint32_t tol = 0;
  while (tol < 256) {
    // A larger tolerance leaves the runs before the first one it lets grow
    // as they were: those keep their values, and so does every later run
    // that starts where one of the last pass started and would not grow.
    uint32_t next = 256, i = 0;
    while (i < 64 && (starts >> i & 1) && cutRange[i] > tol) {
      if (cutRange[i] < next) next = cutRange[i];
      i += length[i];
    }
    uint64_t now = starts & ((1ull << i) - 1);
    while (i < 64) {
      if (!(starts >> i & 1) || cutRange[i] <= tol) {
        const uint32_t avail = 64 - i < 16 ? 64 - i : 16;
        const uint32_t n = P::RunFind(range[i], avail, tol);
        uint8_t m = scanned[i];
        if (range[i][n - 1]) {
          if (known[i] >> (n - 1) & 1) {
            m = median[i][n - 1];
          } else {
            m = (uint8_t)P::Median(scanned + i, n);
            median[i][n - 1] = m;
            known[i] |= (uint16_t)(1u << (n - 1));
          }
        }
        length[i] = (uint8_t)n;
        cutRange[i] = (uint16_t)(n < avail ? range[i][n] : 256);
        value[i] = m;
      }
      if (cutRange[i] < next) next = cutRange[i];
      now |= 1ull << i;
      memset(merged + i, value[i], 16);  // the next run overwrites what lies beyond
      i += length[i];
    }
    starts = now;
    out[count].tolerance = tol;
    out[count].error = quads ? P::Spread(quads, merged) : P::Sad64(scanned, merged);
    out[count++].cost = VmkRunEstimate(P::EqNext(merged), run, colour);
    tol = next;
  }
  return count;
}
