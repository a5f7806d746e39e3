// Constant tables of the Vorn video bitstream, shared by the decoder and the
// encoder: prefix codes, repeat lengths, run scans, coefficient order and the
// two dequantisation tables.
#pragma once

#include <stdint.h>

// One prefix code: its bits in reading order (the first bit read in bit 0,
// matching the least-significant-first bit reader) and its length.
struct VornCode {
  uint8_t bits;
  uint8_t length;
};

// The sixteen codes over symbol indexes 0-15.
extern const VornCode kVornCodes[16][16];
// Longest code of each tree (4 to 7 bits).
extern const uint8_t kVornCodeMaxLength[16];
// Symbol lookup on a 7-bit peek: symbol index in bits 0-3, length in 4-7.
extern const uint8_t kVornCodeLookup[16][128];
// Repeat counts of block-type symbols 12-15.
extern const uint8_t kVornRepeat[4];
// Run-block scans: 16 orders of the 64 positions (row * 8 + column).
extern const uint8_t kVornScans[16][64];
// Coefficient order: coded index i stands for block position kVornCoefOrder[i].
extern const uint8_t kVornCoefOrder[64];
// Dequantisation by quantiser and block position: 16.16 fixed point with the
// inverse transform's scale folded in.
extern const int32_t kVornIntraQuant[16][64];
extern const int32_t kVornInterQuant[16][64];
