// Per-plane symbol trees: one of the sixteen prefix codes with its symbols
// permuted, decoded by one lookup on a 7-bit peek.
#pragma once

#include <stdint.h>

#include "vorn/bitreader.h"

struct VornTree {
  uint8_t lookup[128];  // value in bits 0-3, code length in bits 4-7
};

// Reads a tree description (code number and permutation) and builds its
// lookup table.
void VornTreeRead(VornBits* b, VornTree* tree);

// Builds the lookup for code number t with perm[symbol index] = value.
void VornTreeBuild(VornTree* tree, uint32_t t, const uint8_t* perm);

inline uint32_t VornTreeGet(VornBits* b, const VornTree* tree) {
  VornBitsFill(b);
  uint32_t e = tree->lookup[b->cache & 127];
  uint32_t len = e >> 4;
  b->cache >>= len;
  b->count -= len;
  return e & 15;
}
