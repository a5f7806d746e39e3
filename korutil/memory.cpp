// The library's allocator: 32-byte aligned blocks from the runtime heap.
#include "korutil/korutil.h"

#include <stdlib.h>

#include "platform/plat.h"

extern "C" void* kormalloc(int32_t bytes) {
  if (bytes == 0 || bytes == -1) return nullptr;
  // The count is a signed 32-bit number: a negative one cannot be met.
  void* raw = bytes > 0 ? malloc((size_t)bytes + 32) : nullptr;
  if (!raw) {
    PlatMessageBox("Memory Error", "Error: ran out of memory!", PLAT_MB_OK | PLAT_MB_ICONERROR);
    return nullptr;
  }
  // Move up to the next multiple of 32 (by 1 to 32 bytes, never 0) and keep
  // the distance in the byte before the block.
  uintptr_t p = (uintptr_t)raw;
  uint8_t step = (uint8_t)(32 - (p & 31));
  uint8_t* block = (uint8_t*)raw + step;
  block[-1] = step;
  return block;
}

extern "C" void korfree(void* block) {
  if (!block) return;
  uint8_t* b = (uint8_t*)block;
  free(b - b[-1]);
}
