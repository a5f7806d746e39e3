// Least-significant-bit-first reader over one plane's bit stream. Bytes past
// the end read as zero; VornBitsOverrun tells when more bits were taken than
// the data holds.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

struct VornBits {
  const uint8_t* base;  // first byte of the stream
  size_t size;          // bytes that may be read from base
  size_t pos;           // next byte to load into the cache (may pass size)
  uint64_t cache;       // unread bits, next bit in bit 0
  uint32_t count;       // bits held in cache
};

inline void VornBitsInit(VornBits* b, const uint8_t* base, size_t size) {
  b->base = base;
  b->size = size;
  b->pos = 0;
  b->cache = 0;
  b->count = 0;
}

// Tops the cache up to at least 56 bits.
inline void VornBitsFill(VornBits* b) {
  if (b->count >= 32) return;
  uint64_t v = 0;
  if (b->pos + 8 <= b->size) {
    memcpy(&v, b->base + b->pos, 8);  // little-endian host
  } else {
    for (size_t i = 0; i < 8 && b->pos + i < b->size; i++) v |= (uint64_t)b->base[b->pos + i] << (8 * i);
  }
  b->cache |= v << b->count;
  b->pos += (63 - b->count) >> 3;
  b->count |= 56;
  // Bits loaded beyond the new count are dropped so a later load can't OR
  // onto them.
  b->cache &= ~0ull >> (64 - b->count);
}

// n = 0..32
inline uint32_t VornBitsGet(VornBits* b, uint32_t n) {
  VornBitsFill(b);
  uint32_t v = (uint32_t)(b->cache & ((1ull << n) - 1));
  b->cache >>= n;
  b->count -= n;
  return v;
}

inline uint32_t VornBitsGet1(VornBits* b) { return VornBitsGet(b, 1); }

// Bits taken so far.
inline size_t VornBitsUsed(const VornBits* b) { return b->pos * 8 - b->count; }

inline bool VornBitsOverrun(const VornBits* b) { return VornBitsUsed(b) > b->size * 8; }

// Offset of the word after the last one the stream took bits from.
inline size_t VornBitsEndWord(const VornBits* b) { return (VornBitsUsed(b) + 31) / 32 * 4; }
