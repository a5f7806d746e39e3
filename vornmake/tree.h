// Choice of a bundle's prefix code and symbol permutation from its
// histogram, and the description that tells the decoder.
#pragma once

#include <stdint.h>

#include "vornmake/bitwriter.h"

struct VmkTreeCode {
  uint8_t tree;       // 0..15
  uint8_t merge;      // permutation form: 1 merge, 0 explicit list
  uint8_t size;       // explicit: entries listed - 1; merge: depth
  uint8_t perm[16];   // code index -> value
  uint8_t mergeBits;  // number of merge bits
  uint64_t mergeCode; // merge bits, first in bit 0
  uint8_t length[16]; // by value
  uint8_t code[16];   // by value: code bits, first bit in bit 0
  uint32_t bits;      // description plus symbols
};

// Picks the cheapest of the sixteen codes with its best description for the
// given symbol counts (the lower tree number on a tie).
void VmkTreeChoose(const uint32_t hist[16], VmkTreeCode* out);

// Writes the description (tree number and permutation).
void VmkTreeWrite(VmkBitWriter* w, const VmkTreeCode* t);

static inline void VmkTreePut(VmkBitWriter* w, const VmkTreeCode* t, uint32_t value) {
  VmkBitsPut(w, t->code[value], t->length[value]);
}
