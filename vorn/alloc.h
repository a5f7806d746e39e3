// Grouped allocations: one block holding a main object and the pieces that
// belong to it.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum { VORN_GROUP_MAX = 128 };

struct VornGroupPiece {
  void** where;        // absolute place for the pointer, or null
  size_t fieldOffset;  // else: offset of the pointer inside the main object
  size_t bytes;
};

struct VornGroup {
  size_t mainBytes;
  uint32_t count;
  int overflow;  // a piece was refused (too many or too large)
  VornGroupPiece pieces[VORN_GROUP_MAX];
};

void VornGroupStart(VornGroup* g, size_t mainBytes);
// Registers a piece whose pointer goes into the main object at fieldOffset.
void VornGroupAddField(VornGroup* g, size_t fieldOffset, size_t bytes);
// Registers a piece whose pointer goes to *where.
void VornGroupAddPointer(VornGroup* g, void** where, size_t bytes);
// Allocates the block (zero-filled), stores every piece's pointer and
// returns the block (the main object at its start), or null. *total gets the
// block's size.
void* VornGroupAlloc(VornGroup* g, size_t* total);
// Offset of each piece from the block start, as VornGroupAlloc lays it out;
// returns the total size, or 0 when the group cannot be laid out.
size_t VornGroupLayout(const VornGroup* g, size_t* offsets);
