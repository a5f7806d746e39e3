// Coefficient and residue coding (the writer's side of the bit-plane list
// coding): the same walk either counts bits or writes them.
#pragma once

#include <stdint.h>

#include "vornmake/bitwriter.h"
#include "vorn/tables.h"
#include "vornmake/vmk.h"

// The walk's list of (index, mode) entries: mode 3 entries go in front of
// the start, mode 2 entries at the end.
struct VmkCodeList {
  uint8_t index[192];
  uint8_t mode[192];
  int start, end;
};

static inline void VmkListInit(VmkCodeList* l) { l->start = l->end = 64; }
static inline void VmkListAppend(VmkCodeList* l, uint32_t index, uint32_t mode) {
  l->index[l->end] = (uint8_t)index;
  l->mode[l->end++] = (uint8_t)mode;
}
static inline void VmkListPrepend(VmkCodeList* l, uint32_t index) {
  --l->start;
  l->index[l->start] = (uint8_t)index;
  l->mode[l->start] = 3;
}

// OR of magnitudes over the indexes an entry stands for: mode 0 covers 20
// indexes, mode 1 16, mode 2 4, mode 3 one.
static inline uint32_t VmkEntryMagnitude(const uint32_t* mag, const uint32_t* quad, uint32_t index,
                                         uint32_t mode) {
  switch (mode) {
    case 0: return quad[index >> 2] | quad[(index >> 2) + 1] | quad[(index >> 2) + 2] |
                   quad[(index >> 2) + 3] | quad[(index >> 2) + 4];
    case 1: return quad[index >> 2] | quad[(index >> 2) + 1] | quad[(index >> 2) + 2] |
                   quad[(index >> 2) + 3];
    case 2: return quad[index >> 2];
    default: return mag[index];
  }
}

// Codes AC values v[1..63] (coded order): 4 bits of plane count n, then the
// passes. Returns n.
template <class Sink>
uint32_t VmkCoefCode(Sink* s, const int32_t* v) {
  uint32_t mag[64], quad[17];
  uint32_t all = 0;
  mag[0] = 0;
  for (int i = 1; i < 64; i++) {
    mag[i] = (uint32_t)(v[i] < 0 ? -v[i] : v[i]);
    all |= mag[i];
  }
  for (int q = 0; q < 16; q++) quad[q] = mag[4 * q] | mag[4 * q + 1] | mag[4 * q + 2] | mag[4 * q + 3];
  quad[16] = 0;
  const uint32_t n = VmkBitLength(all);
  VmkBitsPut(s, n, 4);
  if (!n) return 0;
  VmkCodeList l;
  VmkListInit(&l);
  VmkListAppend(&l, 4, 0);
  VmkListAppend(&l, 24, 0);
  VmkListAppend(&l, 44, 0);
  VmkListAppend(&l, 1, 3);
  VmkListAppend(&l, 2, 3);
  VmkListAppend(&l, 3, 3);
  for (int b = (int)n - 1; b >= 0; b--) {
    const uint32_t mask = 1u << b;
    const int passStart = l.start;
    for (int p = passStart; p < l.end; p++) {
      for (;;) {
        uint32_t index = l.index[p], mode = l.mode[p];
        if (index == 0 && mode == 0) break;
        const uint32_t sig = VmkEntryMagnitude(mag, quad, index, mode) >= mask;
        VmkBitsPut(s, sig, 1);
        if (!sig) break;
        if (mode == 1) {
          l.mode[p] = 2;
          VmkListAppend(&l, index + 4, 2);
          VmkListAppend(&l, index + 8, 2);
          VmkListAppend(&l, index + 12, 2);
          continue;
        }
        if (mode == 3) {
          if (b) VmkBitsPut(s, mag[index] - mask, (uint32_t)b);
          VmkBitsPut(s, v[index] < 0, 1);
          l.index[p] = l.mode[p] = 0;
          break;
        }
        // Mode 0 or 2: a group of four.
        if (mode == 0) {
          l.index[p] = (uint8_t)(index + 4);
          l.mode[p] = 1;
        } else {
          l.index[p] = l.mode[p] = 0;
        }
        for (uint32_t j = index; j < index + 4; j++) {
          if (mag[j] >= mask) {
            VmkBitsPut(s, 0, 1);
            if (b) VmkBitsPut(s, mag[j] - mask, (uint32_t)b);
            VmkBitsPut(s, v[j] < 0, 1);
          } else {
            VmkBitsPut(s, 1, 1);
            VmkListPrepend(&l, j);
          }
        }
        if (mode == 2) break;
      }
    }
  }
  return n;
}

// Bits of VmkCoefCode for a block's quantised coefficients (block
// positions; the DC is not coded), counted without walking the lists.
uint32_t VmkCoefBits(const int16_t* coef);
// The same from the largest bit length and the non-zero count of each group
// of four coded indexes (1..15) and the bit lengths of indexes 1, 2, 3.
uint32_t VmkCoefBitsFromQuads(const int* qlen, const int* qnz, int l1, int l2, int l3);
// For each group of four coded indexes, the 2 x 2 square of block positions
// it covers (row pair * 4 + column pair).
const uint8_t* VmkCoefSquares(void);

// Gathers a block's quantised coefficients (block positions) into coded
// order.
static inline void VmkCoefGather(const int16_t* coef, int32_t* v) {
  for (int i = 0; i < 64; i++) v[i] = coef[kVornCoefOrder[i]];
}

// Residue coding of d[0..63] (coded order, not all 0): 3 bits c, then c + 1
// passes of refinement and list walk. After each applied value the step
// callback gets (index, value now applied at that index, bits so far) and
// returns non-zero to stop.
template <class Sink, class Step>
void VmkResidueCode(Sink* s, const int32_t* d, Step step) {
  uint32_t mag[64], quad[17];
  uint32_t all = 0;
  for (int i = 0; i < 64; i++) {
    mag[i] = (uint32_t)(d[i] < 0 ? -d[i] : d[i]);
    all |= mag[i];
  }
  for (int q = 0; q < 16; q++) quad[q] = mag[4 * q] | mag[4 * q + 1] | mag[4 * q + 2] | mag[4 * q + 3];
  quad[16] = 0;
  const uint32_t c = VmkBitLength(all) - 1;
  uint32_t bits = 3;
  VmkBitsPut(s, c, 3);
  int32_t value[64] = {0};
  uint8_t nz[64];
  int nzCount = 0;
  VmkCodeList l;
  VmkListInit(&l);
  VmkListAppend(&l, 4, 0);
  VmkListAppend(&l, 24, 0);
  VmkListAppend(&l, 44, 0);
  VmkListAppend(&l, 0, 2);
  auto put = [&](uint32_t v, uint32_t n) {
    VmkBitsPut(s, v, n);
    bits += n;
  };
  auto newValue = [&](uint32_t j, uint32_t mask) -> bool {
    put(d[j] < 0, 1);
    value[j] = d[j] < 0 ? -(int32_t)mask : (int32_t)mask;
    nz[nzCount++] = (uint8_t)j;
    return step(j, value[j], bits);
  };
  for (int b = (int)c; b >= 0; b--) {
    const uint32_t mask = 1u << b;
    const int refine = nzCount;
    for (int k = 0; k < refine; k++) {
      uint32_t j = nz[k];
      uint32_t bit = (mag[j] & mask) != 0;
      put(bit, 1);
      if (bit) {
        value[j] += value[j] < 0 ? -(int32_t)mask : (int32_t)mask;
        if (step(j, value[j], bits)) return;
      }
    }
    const int passStart = l.start;
    for (int p = passStart; p < l.end; p++) {
      for (;;) {
        uint32_t index = l.index[p], mode = l.mode[p];
        if (index == 0 && mode == 0) break;
        uint32_t sig = VmkEntryMagnitude(mag, quad, index, mode) >= mask;
        // Indexes already significant are coded by refinement; entries only
        // ever cover indexes that are not.
        put(sig, 1);
        if (!sig) break;
        if (mode == 1) {
          l.mode[p] = 2;
          VmkListAppend(&l, index + 4, 2);
          VmkListAppend(&l, index + 8, 2);
          VmkListAppend(&l, index + 12, 2);
          continue;
        }
        if (mode == 3) {
          l.index[p] = l.mode[p] = 0;
          if (newValue(index, mask)) return;
          break;
        }
        if (mode == 0) {
          l.index[p] = (uint8_t)(index + 4);
          l.mode[p] = 1;
        } else {
          l.index[p] = l.mode[p] = 0;
        }
        for (uint32_t j = index; j < index + 4; j++) {
          if (mag[j] >= mask) {
            put(0, 1);
            if (newValue(j, mask)) return;
          } else {
            put(1, 1);
            VmkListPrepend(&l, j);
          }
        }
        if (mode == 2) break;
      }
    }
  }
}
