// The analysis's inner routines, with a plain C++ reference and SIMD
// versions chosen at start-up.
#pragma once

#include <stdint.h>

struct VmkDsp {
  // Sum of absolute differences of two 8 x 8 blocks. The sum is checked
  // against limit as it goes (after every row, or pair of rows): a result
  // above limit only says the sum exceeds it; a result at or below limit is
  // the exact sum.
  uint32_t (*sad8)(const uint8_t* a, uint32_t pitchA, const uint8_t* b, uint32_t pitchB,
                   uint32_t limit);
  // Error of an 8 x 8 block (pitch 8) standing for a 16 x 16 area (pitch
  // 16), each of its samples covering a 2 x 2 square.
  uint32_t (*doubled)(const uint8_t* full, const uint8_t* half);
  // Sum of |quads[4 i + k] - v[i]| over 64 values, each against four
  // samples.
  uint32_t (*spread)(const uint8_t* quads, const uint8_t* v);
  // For every start s of 64 scanned values (readable to 80 bytes): the
  // range (maximum - minimum) and the minimum of values s..s+j, j = 0..15.
  void (*runprep)(const uint8_t* v, uint8_t range[64][16], uint8_t low[64][16]);
  // First j in 1..avail-1 with range[j] > t, else avail (range: 16 bytes).
  uint32_t (*runfind)(const uint8_t* range, uint32_t avail, uint32_t t);
  // Median of v[0..n-1], n = 2..16 (the mean of the two middle values,
  // rounded down, for an even n); 16 bytes of v readable.
  uint32_t (*median16)(const uint8_t* v, uint32_t n);
  // Bit i set where v[i] equals v[i + 1], for i = 0..62 (v readable to 80
  // bytes).
  uint64_t (*eqnext)(const uint8_t* v);
  // VmkQuantise, returning the coefficient coding's length in bits instead
  // (4 when every AC value is 0).
  uint32_t (*quantise)(const int32_t coef[64], const int32_t factor[64], int16_t out[64]);
  // Samples of s within t of r take r's value (n samples).
  void (*smooth)(uint8_t* s, const uint8_t* r, uint32_t n, uint32_t t);
  // Sum of absolute differences of n samples.
  uint64_t (*sadn)(const uint8_t* a, const uint8_t* b, uint32_t n);
  // Motion search of the 8 x 8 block at s against the reference block at r
  // (same pitch) over offsets lox..hix, loy..hiy (see search.h). The
  // reference must stay readable 64 bytes past its last offset.
  void (*search)(const uint8_t* s, const uint8_t* r, uint32_t pitch, int lox, int hix, int loy, int hiy,
                 int* mvx, int* mvy);
};

// The routines for this processor (reference ones when $KOR_CPU_MASK masks
// the SIMD features).
const VmkDsp* VmkDspGet(void);
// Routine sets by name for tests: "c", "sse2", "avx2"; null when the
// processor lacks the features.
const VmkDsp* VmkDspByName(const char* name);
