// Coefficient and residue coding of intra, inter and residue blocks.
#pragma once

#include <stdint.h>

#include "vorn/bitreader.h"

// Reads the AC coefficients into coef (block positions); coef[0], the DC, is
// set by the caller and left alone.
void VornReadCoefs(VornBits* b, int16_t coef[64]);

// Reads a residue with the given limit of applied values; res by block
// position.
void VornReadResidue(VornBits* b, uint32_t limit, int8_t res[64]);

// Adds residues to an 8 x 8 work block (pitch 8) and stores the sums.
void VornAddResidue(uint8_t* dst, uint32_t pitch, const int8_t res[64], const uint8_t* work);
