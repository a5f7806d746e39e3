#include "vornmake/tree.h"

#include <string.h>

#include "vorn/tables.h"

// Bits of the description of a permutation and of the symbols under it.
static uint32_t Cost(const uint32_t* hist, uint32_t tree, const uint8_t* perm, uint32_t header) {
  uint32_t bits = header;
  for (int i = 0; i < 16; i++) bits += hist[perm[i]] * kVornCodes[tree][i].length;
  return bits;
}

// Bottom-up merge sort of the identity by target length, stopped after
// groups of 2^(depth + 1); records the merge bits (1: taken from the second
// group).
static void MergeForm(const uint8_t* target, uint32_t depth, uint8_t* perm, uint64_t* code,
                      uint8_t* count) {
  uint8_t cur[16], next[16];
  for (int i = 0; i < 16; i++) cur[i] = (uint8_t)i;
  uint64_t bits = 0;
  uint32_t n = 0;
  for (uint32_t s = 1; s <= (1u << depth); s <<= 1) {
    for (uint32_t g = 0; g < 16; g += 2 * s) {
      uint32_t a = g, b = g + s, ae = g + s, be = g + 2 * s, o = g;
      while (a < ae && b < be) {
        uint32_t la = target[cur[a]], lb = target[cur[b]];
        bool second = lb < la || (lb == la && be - b < ae - a);
        if (second) bits |= 1ull << n;
        n++;
        next[o++] = second ? cur[b++] : cur[a++];
      }
      while (a < ae) next[o++] = cur[a++];
      while (b < be) next[o++] = cur[b++];
    }
    memcpy(cur, next, 16);
  }
  memcpy(perm, cur, 16);
  *code = bits;
  *count = (uint8_t)n;
}

static void Finish(VmkTreeCode* t) {
  for (int i = 0; i < 16; i++) {
    t->length[t->perm[i]] = kVornCodes[t->tree][i].length;
    t->code[t->perm[i]] = kVornCodes[t->tree][i].bits;
  }
}

void VmkTreeChoose(const uint32_t hist[16], VmkTreeCode* out) {
  uint32_t total = 0;
  for (int i = 0; i < 16; i++) total += hist[i];
  VmkTreeCode best;
  memset(&best, 0, sizeof best);
  for (int i = 0; i < 16; i++) best.perm[i] = (uint8_t)i;
  best.bits = 4 + 4 * total;
  // Values by falling count (lower value first among equal counts).
  uint8_t ranked[16];
  for (int i = 0; i < 16; i++) ranked[i] = (uint8_t)i;
  for (int i = 1; i < 16; i++) {
    uint8_t v = ranked[i];
    int j = i;
    while (j > 0 && hist[ranked[j - 1]] < hist[v]) {
      ranked[j] = ranked[j - 1];
      j--;
    }
    ranked[j] = v;
  }
  for (uint32_t tree = 1; tree < 16; tree++) {
    VmkTreeCode c;
    memset(&c, 0, sizeof c);
    c.tree = (uint8_t)tree;
    // Explicit lists of the n + 1 most frequent values.
    for (uint32_t n = 0; n < 8; n++) {
      uint8_t perm[16], used[16] = {0};
      for (uint32_t i = 0; i <= n; i++) {
        perm[i] = ranked[i];
        used[ranked[i]] = 1;
      }
      uint32_t k = n + 1;
      for (int v = 0; v < 16; v++)
        if (!used[v]) perm[k++] = (uint8_t)v;
      uint32_t bits = Cost(hist, tree, perm, 4 + 1 + 3 + 4 * (n + 1));
      if (bits < best.bits) {
        best = c;
        best.merge = 0;
        best.size = (uint8_t)n;
        memcpy(best.perm, perm, 16);
        best.bits = bits;
      }
    }
    // Merge forms of depth 0..3.
    uint8_t target[16];
    for (int i = 0; i < 16; i++) target[ranked[i]] = kVornCodes[tree][i].length;
    for (uint32_t d = 0; d < 4; d++) {
      uint8_t perm[16], count;
      uint64_t code;
      MergeForm(target, d, perm, &code, &count);
      uint32_t bits = Cost(hist, tree, perm, 4 + 1 + 2 + count);
      if (bits < best.bits) {
        best = c;
        best.merge = 1;
        best.size = (uint8_t)d;
        memcpy(best.perm, perm, 16);
        best.mergeCode = code;
        best.mergeBits = count;
        best.bits = bits;
      }
    }
  }
  Finish(&best);
  *out = best;
}

void VmkTreeWrite(VmkBitWriter* w, const VmkTreeCode* t) {
  VmkBitsPut(w, t->tree, 4);
  if (!t->tree) return;
  VmkBitsPut(w, t->merge ? 0 : 1, 1);
  if (!t->merge) {
    VmkBitsPut(w, t->size, 3);
    for (uint32_t i = 0; i <= t->size; i++) VmkBitsPut(w, t->perm[i], 4);
    return;
  }
  VmkBitsPut(w, t->size, 2);
  uint64_t code = t->mergeCode;
  for (uint32_t n = t->mergeBits; n;) {
    uint32_t k = n > 32 ? 32 : n;
    VmkBitsPut(w, (uint32_t)(code & ((1ull << k) - 1)), k);
    code >>= k;
    n -= k;
  }
}
