// The decoder's allocator and its grouped allocations.
#include "vorn/alloc.h"

#include <stdlib.h>
#include <string.h>

#include "vorn/vorn.h"

// Tag byte before every block: who owns the raw memory.
enum { kTagHeap = 1, kTagInstalled = 3 };
// Headroom for the alignment step and the two bytes before the block.
static const size_t kHeadroom = 64;
// Largest block handed out; larger requests fail (they come from corrupt
// sizes and would only exhaust the machine).
static const size_t kMaxBlock = (size_t)1 << 34;

static VornAllocFn g_alloc;
static VornFreeFn g_free;

extern "C" void VornSetMemory(VornAllocFn alloc, VornFreeFn freeFn) {
  if (alloc && freeFn) {
    g_alloc = alloc;
    g_free = freeFn;
  } else {
    g_alloc = nullptr;
    g_free = nullptr;
  }
}

extern "C" void* VornAlloc(size_t bytes) {
  if (bytes == 0 || bytes > kMaxBlock) return nullptr;
  uint8_t tag = g_alloc ? kTagInstalled : kTagHeap;
  uint8_t* raw = (uint8_t*)(g_alloc ? g_alloc(bytes + kHeadroom) : malloc(bytes + kHeadroom));
  if (!raw) return nullptr;
  // Up to the next multiple of 32, leaving at least two bytes for the step
  // and the tag.
  size_t step = 32 - ((uintptr_t)raw & 31);
  if (step < 2) step += 32;
  uint8_t* block = raw + step;
  block[-1] = (uint8_t)step;
  block[-2] = tag;
  memset(block, 0, bytes);
  return block;
}

extern "C" void VornFree(void* p) {
  if (!p) return;
  uint8_t* block = (uint8_t*)p;
  uint8_t* raw = block - block[-1];
  if (block[-2] == kTagInstalled) {
    if (g_free) g_free(raw);
  } else {
    free(raw);
  }
}

void VornGroupStart(VornGroup* g, size_t mainBytes) {
  g->mainBytes = mainBytes;
  g->count = 0;
  g->overflow = 0;
}

static void Add(VornGroup* g, void** where, size_t fieldOffset, size_t bytes) {
  if (g->count >= VORN_GROUP_MAX || bytes > kMaxBlock) {
    g->overflow = 1;
    return;
  }
  VornGroupPiece& p = g->pieces[g->count++];
  p.where = where;
  p.fieldOffset = fieldOffset;
  p.bytes = bytes;
}

void VornGroupAddField(VornGroup* g, size_t fieldOffset, size_t bytes) {
  Add(g, nullptr, fieldOffset, bytes);
}

void VornGroupAddPointer(VornGroup* g, void** where, size_t bytes) { Add(g, where, 0, bytes); }

static size_t Round16(size_t n) { return (n + 15) & ~(size_t)15; }

// The main object rounded up to 16, then each piece after a gap of k x 32
// bytes that staggers the pieces' starts: k = (T / 32 - (S / 32) mod 32 + 1)
// mod 32, T the space taken before it and S its size; each piece takes S
// rounded up to 16 plus its gap.
size_t VornGroupLayout(const VornGroup* g, size_t* offsets) {
  if (g->overflow || g->mainBytes > kMaxBlock) return 0;
  size_t base = Round16(g->mainBytes);
  size_t taken = 0;
  for (uint32_t i = 0; i < g->count; i++) {
    size_t s = g->pieces[i].bytes;
    size_t k = ((taken / 32) % 32 + 32 - (s / 32) % 32 + 1) % 32;
    offsets[i] = base + taken + k * 32;
    taken += Round16(s) + k * 32;
    if (base + taken > kMaxBlock) return 0;
  }
  return base + taken;
}

void* VornGroupAlloc(VornGroup* g, size_t* total) {
  size_t offsets[VORN_GROUP_MAX];
  size_t size = VornGroupLayout(g, offsets);
  uint8_t* block = size ? (uint8_t*)VornAlloc(size) : nullptr;
  if (!block) return nullptr;
  for (uint32_t i = 0; i < g->count; i++) {
    void* piece = block + offsets[i];
    if (g->pieces[i].where)
      *g->pieces[i].where = piece;
    else
      memcpy(block + g->pieces[i].fieldOffset, &piece, sizeof piece);
  }
  if (total) *total = size;
  return block;
}
