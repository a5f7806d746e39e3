// Stand-in for the decoder's constant tables until they are merged.
#pragma once

#include <stdint.h>

struct VornCode {
  uint8_t bits;
  uint8_t length;
};
extern const VornCode kVornCodes[16][16];
extern const uint8_t kVornScans[16][64];
extern const uint8_t kVornCoefOrder[64];
extern const int32_t kVornIntraQuant[16][64];
extern const int32_t kVornInterQuant[16][64];
