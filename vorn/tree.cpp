// Tree descriptions: code number plus a listed or merged permutation.
#include "vorn/tree.h"

#include "vorn/tables.h"

void VornTreeBuild(VornTree* tree, uint32_t t, const uint8_t* perm) {
  const uint8_t* lut = kVornCodeLookup[t & 15];
  for (int p = 0; p < 128; p++) tree->lookup[p] = (uint8_t)((lut[p] & 0xF0) | perm[lut[p] & 15]);
}

void VornTreeRead(VornBits* b, VornTree* tree) {
  uint8_t perm[16];
  uint32_t t = VornBitsGet(b, 4);
  for (int i = 0; i < 16; i++) perm[i] = (uint8_t)i;
  if (t != 0) {
    if (VornBitsGet1(b)) {
      // Listed form: the first n + 1 values, then the unlisted ones in order.
      // A list with repeats would give more than 16 entries; the surplus is
      // dropped.
      uint32_t n = VornBitsGet(b, 3) + 1;
      uint32_t listed = 0;
      int k = 0;
      for (uint32_t i = 0; i < n; i++) {
        uint32_t v = VornBitsGet(b, 4);
        perm[k++] = (uint8_t)v;
        listed |= 1u << v;
      }
      for (uint32_t v = 0; v < 16 && k < 16; v++)
        if (!(listed & (1u << v))) perm[k++] = (uint8_t)v;
    } else {
      // Merged form: merge neighbouring groups of 1, 2, ... 2^d entries.
      uint32_t d = VornBitsGet(b, 2);
      uint8_t merged[16];
      for (uint32_t s = 1; s <= (1u << d); s *= 2) {
        for (uint32_t g = 0; g < 16; g += 2 * s) {
          const uint8_t* p = perm + g;
          const uint8_t* q = perm + g + s;
          uint32_t i = 0, j = 0, o = 0;
          while (i < s && j < s) merged[o++] = VornBitsGet1(b) ? q[j++] : p[i++];
          while (i < s) merged[o++] = p[i++];
          while (j < s) merged[o++] = q[j++];
          for (uint32_t k = 0; k < 2 * s; k++) perm[g + k] = merged[k];
        }
      }
    }
  }
  VornTreeBuild(tree, t, perm);
}
