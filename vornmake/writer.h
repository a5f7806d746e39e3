// The plane writer: turns a plane's decided blocks into its bitstream and
// rebuilds the plane exactly as a decoder will.
#pragma once

#include <stdint.h>

#include "vornmake/vmk.h"

enum {
  VMK_B_TYPES,
  VMK_B_SUBTYPES,
  VMK_B_COLOURS,
  VMK_B_PATTERNS,
  VMK_B_XOFF,
  VMK_B_YOFF,
  VMK_B_INTRADC,
  VMK_B_INTERDC,
  VMK_B_RUNS,
  VMK_BUNDLES
};

// What was written, for the cost model.
struct VmkPlaneStats {
  uint32_t elements[VMK_ELEMENTS];
  uint32_t bits[VMK_ELEMENTS];
  uint32_t colourElements, colourBits;
};

// Work space for planes of up to a given size (see VmkWriterScratchSize).
struct VmkWriterScratch {
  int16_t* values[VMK_BUNDLES];
  uint32_t* rowEnd[VMK_BUNDLES];    // values stored after each block row
  uint32_t* chunkEnd[VMK_BUNDLES];  // value index ending each chunk
  uint32_t* data;                   // block data bits
  uint32_t dataBytes;
  uint64_t* rowData;                // block data bit position after each row
};

// Bytes of work space for planes of up to width x height (multiples of 8),
// and setting up the pointers into such a block.
uint32_t VmkWriterScratchSize(uint32_t width, uint32_t height);
void VmkWriterScratchInit(VmkWriterScratch* s, void* block, uint32_t width, uint32_t height);

// Largest bitstream a plane of width x height can take.
uint32_t VmkPlaneBitstreamBound(uint32_t width, uint32_t height);

struct VmkWriteArgs {
  uint8_t* recon;       // the picture to build
  const uint8_t* ref;   // the current reference picture
  const uint8_t* src;   // the source plane
  uint32_t width, height;
  const VmkBlock* blocks;  // (width / 8) x (height / 8), decided
  uint8_t* out;
  uint32_t outCapacity;
  VmkWriterScratch* scratch;
};

// Writes the plane. Returns its length in bytes (a multiple of 4), or 0 when
// the output would not fit.
uint32_t VmkWritePlane(const VmkWriteArgs* a, VmkPlaneStats* stats);
