// Bounded bit reader of the sound blocks (internal): little-endian 32-bit
// words, least significant bit first; bytes at or past the end read as 0.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct VornAudioBits {
  const uint8_t* data;
  size_t size;     // bytes that may be read
  size_t loaded;   // bytes taken into acc so far, possibly past size
  uint64_t acc;    // unread bits, next one in bit 0
  uint32_t count;  // bits in acc
};

static inline void VornAudioBitsStart(VornAudioBits* b, const uint8_t* data, const uint8_t* end) {
  b->data = data;
  b->size = end > data ? (size_t)(end - data) : 0;
  b->loaded = 0;
  b->acc = 0;
  b->count = 0;
}

static inline uint32_t VornAudioBitsWord(VornAudioBits* b) {
  const size_t at = b->loaded;
  b->loaded += 4;
  if (at + 4 <= b->size) {
    const uint8_t* p = b->data + at;
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
  }
  uint32_t w = 0;
  for (size_t i = 0; i < 4 && at + i < b->size; i++) w |= (uint32_t)b->data[at + i] << (8 * i);
  return w;
}

// Makes at least 32 bits available.
static inline void VornAudioBitsRefill(VornAudioBits* b) {
  if (b->count < 32) {
    b->acc |= (uint64_t)VornAudioBitsWord(b) << b->count;
    b->count += 32;
  }
}

// Drops n bits (n <= count).
static inline void VornAudioBitsSkip(VornAudioBits* b, uint32_t n) {
  b->acc >>= n;
  b->count -= n;
}

// Reads an n-bit field, 1 <= n <= 32.
static inline uint32_t VornAudioBitsRead(VornAudioBits* b, uint32_t n) {
  VornAudioBitsRefill(b);
  uint32_t v = (uint32_t)(b->acc & ((((uint64_t)1) << n) - 1));
  VornAudioBitsSkip(b, n);
  return v;
}

// Bits consumed since the start.
static inline uint64_t VornAudioBitsUsed(const VornAudioBits* b) {
  return (uint64_t)b->loaded * 8 - b->count;
}
