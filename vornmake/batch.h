// Batch allocation: buffers are reserved first, then one block holds a
// record and every reserved buffer after it.
#pragma once

#include <stdint.h>

enum { VMK_BATCH_MAX = 1024 };

struct VmkBatch {
  void** where[VMK_BATCH_MAX];
  uint64_t size[VMK_BATCH_MAX];
  uint32_t count;
  uint64_t total;
  int overflow;
};

void VmkBatchInit(VmkBatch* b);
// Reserves bytes (rounded up to 16) for the pointer at where.
void VmkBatchReserve(VmkBatch* b, void** where, uint64_t bytes);
// Allocates the first object's size (rounded up to 16) plus every
// reservation and fills the reserved pointers; returns the block (the first
// object lies at its start) or null. The reservations are used up either way.
void* VmkBatchAllocate(VmkBatch* b, uint64_t first);
