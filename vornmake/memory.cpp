// The library's allocator: 32-byte aligned blocks from the caller's
// allocator when one is installed, else from the runtime heap. The byte
// before a block holds the distance to the start of the underlying block,
// the byte before that its origin (3 caller, 0 heap), and for caller blocks
// the pointer-sized word 16 bytes before it the free function to use.
#include "vornmake/vornmake.h"

#include <stdlib.h>
#include <string.h>

enum { kHeadroom = 64, kFromCaller = 3, kFromHeap = 0 };

static VornMakeAllocFunc g_alloc;
static VornMakeFreeFunc g_free;

extern "C" void KORSetMemory(VornMakeAllocFunc alloc, VornMakeFreeFunc free) {
  g_alloc = alloc;
  g_free = free;
}

extern "C" void* kormalloc(int32_t bytes) {
  if (bytes == 0 || bytes == -1) return nullptr;
  // The count is signed 32-bit: a negative one cannot be met.
  if (bytes < 0) return nullptr;
  uint32_t size = (uint32_t)bytes + kHeadroom;
  uint8_t marker = kFromHeap;
  void* raw = nullptr;
  VornMakeFreeFunc freeFn = g_free;
  if (g_alloc) {
    raw = g_alloc(size);
    if (raw == (void*)-1) return nullptr;
    if (raw) marker = kFromCaller;
  }
  if (!raw) raw = malloc(size);
  if (!raw) return nullptr;
  uintptr_t p = (uintptr_t)raw;
  uint8_t step = (uint8_t)(kHeadroom - (p & 31));  // 33..64
  uint8_t* block = (uint8_t*)raw + step;
  block[-1] = step;
  block[-2] = marker;
  if (marker == kFromCaller) memcpy(block - 16, &freeFn, sizeof freeFn);
  return block;
}

extern "C" void korfree(void* block) {
  if (!block) return;
  uint8_t* b = (uint8_t*)block;
  void* raw = b - b[-1];
  if (b[-2] == kFromCaller) {
    VornMakeFreeFunc freeFn;
    memcpy(&freeFn, b - 16, sizeof freeFn);
    if (freeFn) freeFn(raw);
    return;
  }
  free(raw);
}
