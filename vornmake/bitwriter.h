// Least-significant-bit-first bit writer into 32-bit little-endian words.
// Writes past the capacity are dropped and remembered in overflow.
#pragma once

#include <stdint.h>
#include <string.h>

struct VmkBitWriter {
  uint32_t* words;
  uint32_t capacity;  // in words
  uint32_t pos;       // words stored
  uint64_t acc;       // pending bits, next bit in bit 0
  uint32_t count;     // number of pending bits (< 32 between calls)
  uint32_t overflow;
};

static inline void VmkBitsInit(VmkBitWriter* w, void* buffer, uint32_t bytes) {
  w->words = (uint32_t*)buffer;
  w->capacity = bytes / 4;
  w->pos = 0;
  w->acc = 0;
  w->count = 0;
  w->overflow = 0;
}

// Appends the low n bits of v (n = 0..32; the caller keeps v within them).
static inline void VmkBitsPut(VmkBitWriter* w, uint32_t v, uint32_t n) {
  w->acc |= (uint64_t)v << w->count;
  w->count += n;
  if (w->count >= 32) {
    if (w->pos < w->capacity)
      w->words[w->pos++] = (uint32_t)w->acc;
    else
      w->overflow = 1;
    w->acc >>= 32;
    w->count -= 32;
  }
}

static inline uint64_t VmkBitsTell(const VmkBitWriter* w) { return (uint64_t)w->pos * 32 + w->count; }

// Zero bits up to the next word boundary.
static inline void VmkBitsAlign(VmkBitWriter* w) {
  if (w->count) VmkBitsPut(w, 0, 32 - w->count);
}

// Appends n bits taken from a word array starting at bit position start.
static inline void VmkBitsCopy(VmkBitWriter* w, const uint32_t* src, uint64_t start, uint64_t n) {
  const uint32_t* p = src + (start >> 5);
  uint32_t shift = (uint32_t)(start & 31);
  while (n >= 32) {
    uint64_t two = p[0] | (shift ? (uint64_t)p[1] << 32 : 0);
    VmkBitsPut(w, (uint32_t)(two >> shift), 32);
    p++;
    n -= 32;
  }
  if (n) {
    uint64_t two = p[0] | (shift + n > 32 ? (uint64_t)p[1] << 32 : 0);
    VmkBitsPut(w, (uint32_t)(two >> shift) & (uint32_t)((1ull << n) - 1), (uint32_t)n);
  }
}

// Bit counter with the same interface, for measuring codings.
struct VmkBitCounter {
  uint32_t bits;
};
static inline void VmkBitsPut(VmkBitCounter* c, uint32_t, uint32_t n) { c->bits += n; }
