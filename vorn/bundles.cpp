// The nine bundles: sizes, and refills of one chunk at the start of a block
// row.
#include <string.h>

#include "vorn/expand.h"
#include "vorn/plane.h"
#include "vorn/tables.h"

namespace {

const uint8_t kValueBytes[VORN_BUNDLES] = {1, 1, 1, 1, 1, 1, 2, 2, 1};
const uint8_t kPerBlock[VORN_BUNDLES] = {1, 1, 64, 8, 1, 1, 1, 1, 48};

uint64_t BundleSize(int i, uint64_t pitch) {
  uint64_t width = i == VORN_BUNDLE_SUBTYPE ? pitch / 2 : pitch;
  uint64_t w = kValueBytes[i] * 8;
  uint64_t size = (w * (width / 8) * kPerBlock[i]) / 8 + (512 * w) / 8;
  return (size + 3) & ~3ull;
}

uint32_t BitLength(uint64_t v) {
  uint32_t n = v ? 64 - (uint32_t)__builtin_clzll(v) : 0;
  return n > 32 ? 32 : n;
}

inline uint32_t Signed(VornBits* b, uint32_t m) { return m && VornBitsGet1(b) ? (uint32_t)-(int32_t)m : m; }

void RefillTypes(VornPlane* p, VornBundle* bd, const VornTree* tree, uint32_t c) {
  VornBits* b = &p->bits;
  uint8_t* v = bd->values;
  if (VornBitsGet1(b)) {
    memset(v, (int)VornBitsGet(b, 4), c);
    return;
  }
  uint32_t last = 0;
  for (uint32_t i = 0; i < c;) {
    uint32_t s = VornTreeGet(b, tree);
    if (s < 12) {
      v[i++] = (uint8_t)s;
      last = s;
    } else {
      // A repeat running past the chunk is cut at its end.
      uint32_t n = kVornRepeat[s - 12];
      if (n > c - i) n = c - i;
      memset(v + i, (int)last, n);
      i += n;
    }
  }
}

inline uint32_t Colour(VornPlane* p) {
  uint32_t hi = VornTreeGet(&p->bits, &p->high[p->context]);
  p->context = hi;
  uint32_t v = hi * 16 + VornTreeGet(&p->bits, &p->tree[VORN_BUNDLE_COLOUR]);
  if (p->signMagnitude) v = (v & 0x80 ? 128 - (v & 0x7F) : 128 + (v & 0x7F)) & 0xFF;
  return v;
}

void RefillColours(VornPlane* p, VornBundle* bd, uint32_t c) {
  if (VornBitsGet1(&p->bits)) {
    memset(bd->values, (int)Colour(p), c);
    return;
  }
  for (uint32_t i = 0; i < c; i++) bd->values[i] = (uint8_t)Colour(p);
}

void RefillPatterns(VornPlane* p, VornBundle* bd, uint32_t c) {
  const VornTree* t = &p->tree[VORN_BUNDLE_PATTERN];
  for (uint32_t i = 0; i < c; i++) {
    uint32_t lo = VornTreeGet(&p->bits, t);
    bd->values[i] = (uint8_t)(lo + 16 * VornTreeGet(&p->bits, t));
  }
}

void RefillOffsets(VornPlane* p, VornBundle* bd, const VornTree* tree, uint32_t c) {
  VornBits* b = &p->bits;
  if (VornBitsGet1(b)) {
    memset(bd->values, (int)Signed(b, VornBitsGet(b, 4)), c);
    return;
  }
  for (uint32_t i = 0; i < c; i++) bd->values[i] = (uint8_t)Signed(b, VornTreeGet(b, tree));
}

void RefillDC(VornPlane* p, VornBundle* bd, uint32_t c, bool inter) {
  VornBits* b = &p->bits;
  int32_t prev = inter ? (int32_t)Signed(b, VornBitsGet(b, 10)) : (int32_t)VornBitsGet(b, 11);
  int16_t v = (int16_t)prev;
  memcpy(bd->values, &v, 2);
  for (uint32_t i = 1; i < c;) {
    uint32_t g = c - i < 8 ? c - i : 8;
    uint32_t n = VornBitsGet(b, 4);
    for (uint32_t k = 0; k < g; k++, i++) {
      if (n) prev = (int32_t)((uint32_t)prev + Signed(b, VornBitsGet(b, n)));
      v = (int16_t)prev;
      memcpy(bd->values + 2 * i, &v, 2);
    }
  }
}

void RefillRuns(VornPlane* p, VornBundle* bd, uint32_t c) {
  VornBits* b = &p->bits;
  if (VornBitsGet1(b)) {
    memset(bd->values, (int)VornBitsGet(b, 4), c);
    return;
  }
  const VornTree* t = &p->tree[VORN_BUNDLE_RUN];
  for (uint32_t i = 0; i < c; i++) bd->values[i] = (uint8_t)VornTreeGet(b, t);
}

}  // namespace

uint32_t ExpandBundleSizes(uint32_t* sizes, uint32_t pitch) {
  for (int i = 0; i < VORN_BUNDLES; i++) {
    uint64_t s = BundleSize(i, pitch);
    sizes[i] = s > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)s;
  }
  return sizes[VORN_BUNDLES - 1];
}

void VornBundlesInit(VornPlane* p, uint8_t* const* buffers, uint32_t lumaPitch) {
  for (int i = 0; i < VORN_BUNDLES; i++) {
    VornBundle* bd = &p->bundle[i];
    uint64_t cap = BundleSize(i, lumaPitch) / kValueBytes[i];
    bd->values = buffers[i];
    bd->capacity = cap > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)cap;
    bd->count = bd->next = bd->done = 0;
    uint32_t blocks = (i == VORN_BUNDLE_SUBTYPE ? p->width / 2 : p->width) / 8;
    bd->countBits = BitLength(511 + (uint64_t)kPerBlock[i] * blocks);
  }
}

bool VornBundlesRefill(VornPlane* p) {
  for (int i = 0; i < VORN_BUNDLES; i++) {
    VornBundle* bd = &p->bundle[i];
    if (bd->next < bd->count || bd->done) continue;
    bd->next = bd->count = 0;
    uint32_t c = VornBitsGet(&p->bits, bd->countBits);
    if (c == 0) {
      bd->done = 1;
      continue;
    }
    // A chunk larger than the buffer can't be held: stop the frame.
    if (c > bd->capacity) return false;
    switch (i) {
      case VORN_BUNDLE_TYPE:
      case VORN_BUNDLE_SUBTYPE: RefillTypes(p, bd, &p->tree[i], c); break;
      case VORN_BUNDLE_COLOUR: RefillColours(p, bd, c); break;
      case VORN_BUNDLE_PATTERN: RefillPatterns(p, bd, c); break;
      case VORN_BUNDLE_XOFF:
      case VORN_BUNDLE_YOFF: RefillOffsets(p, bd, &p->tree[i], c); break;
      case VORN_BUNDLE_INTRADC: RefillDC(p, bd, c, false); break;
      case VORN_BUNDLE_INTERDC: RefillDC(p, bd, c, true); break;
      default: RefillRuns(p, bd, c); break;
    }
    bd->count = c;
    if (VornBitsOverrun(&p->bits)) return false;
  }
  return true;
}
