#include "vornmake/batch.h"

#include "vornmake/vornmake.h"

static inline uint64_t Round16(uint64_t n) { return (n + 15) & ~(uint64_t)15; }

void VmkBatchInit(VmkBatch* b) {
  b->count = 0;
  b->total = 0;
  b->overflow = 0;
}

void VmkBatchReserve(VmkBatch* b, void** where, uint64_t bytes) {
  if (b->count == VMK_BATCH_MAX) {
    b->overflow = 1;
    return;
  }
  b->where[b->count] = where;
  b->size[b->count++] = Round16(bytes);
  b->total += Round16(bytes);
}

void* VmkBatchAllocate(VmkBatch* b, uint64_t first) {
  const uint64_t total = b->total + Round16(first);
  uint8_t* block = nullptr;
  // kormalloc takes a signed 32-bit count.
  if (!b->overflow && total <= 0x7FFFFF00u) block = (uint8_t*)kormalloc((int32_t)total);
  if (block) {
    uint8_t* p = block + Round16(first);
    for (uint32_t i = 0; i < b->count; i++) {
      *b->where[i] = p;
      p += b->size[i];
    }
  }
  VmkBatchInit(b);
  return block;
}
