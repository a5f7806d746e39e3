// State of one plane's decoding: bit stream, trees, the nine bundles and the
// destination. Lives on the stack of ExpandVorn; nothing survives a plane.
#pragma once

#include <stdint.h>
#include <string.h>

#include "vorn/bitreader.h"
#include "vorn/tree.h"

enum {
  VORN_BUNDLE_TYPE,
  VORN_BUNDLE_SUBTYPE,
  VORN_BUNDLE_COLOUR,
  VORN_BUNDLE_PATTERN,
  VORN_BUNDLE_XOFF,
  VORN_BUNDLE_YOFF,
  VORN_BUNDLE_INTRADC,
  VORN_BUNDLE_INTERDC,
  VORN_BUNDLE_RUN,
  VORN_BUNDLES
};

struct VornBundle {
  uint8_t* values;     // bytes, or int16 for the two DC bundles
  uint32_t capacity;   // values the buffer holds
  uint32_t count;      // values in the current chunk
  uint32_t next;       // next value to take
  uint32_t countBits;  // width of chunk counts
  uint32_t done;       // a zero count ended the bundle for this plane
};

struct VornPlane {
  VornBits bits;
  VornTree tree[VORN_BUNDLES];  // by bundle; none for the DC bundles
  VornTree high[16];            // colours' high nibble by context
  uint32_t context;
  VornBundle bundle[VORN_BUNDLES];
  uint32_t signMagnitude;  // colours coded as sign and magnitude about 128
  uint32_t failed;         // data ran out or broke a limit: stop the frame
  uint8_t* dst;
  const uint8_t* ref;
  uint32_t pitch, rows;    // plane buffer
  uint32_t width, height;  // decoded area, multiples of 8
  uint32_t kind;           // 1 luminance or alpha, 2 chroma
  uint8_t* mapRow;         // block map row of the current block row
  uint32_t mapWidth;
};

// Prepares the bundles of a plane over the caller's buffers.
void VornBundlesInit(VornPlane* p, uint8_t* const* buffers, uint32_t lumaPitch);
// Refills every used-up bundle, in bundle order; false when the data broke
// a limit.
bool VornBundlesRefill(VornPlane* p);

// Takes the next value of a bundle; an empty bundle marks the plane failed
// and gives 0.
inline uint32_t VornTake(VornPlane* p, int i) {
  VornBundle* b = &p->bundle[i];
  if (b->next >= b->count) {
    p->failed = 1;
    return 0;
  }
  return b->values[b->next++];
}

inline int32_t VornTakeDC(VornPlane* p, int i) {
  VornBundle* b = &p->bundle[i];
  if (b->next >= b->count) {
    p->failed = 1;
    return 0;
  }
  int16_t v;
  memcpy(&v, b->values + 2 * b->next++, 2);
  return v;
}

// n values at once (null, plane failed, when fewer are left).
inline const uint8_t* VornTakeN(VornPlane* p, int i, uint32_t n) {
  VornBundle* b = &p->bundle[i];
  if (b->count - b->next < n || b->next > b->count) {
    p->failed = 1;
    return nullptr;
  }
  const uint8_t* v = b->values + b->next;
  b->next += n;
  return v;
}

// Decodes the blocks of one block row at y.
void VornDecodeRow(VornPlane* p, uint32_t y);
