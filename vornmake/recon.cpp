#include "vornmake/recon.h"

#include <stddef.h>

#include "vorn/idct.h"
#include "vorn/tables.h"

void VmkInversePut(const int16_t coef[64], uint32_t q, uint8_t* dst, uint32_t pitch) {
  VornIdctPut(dst, pitch, coef, kVornIntraQuant[q]);
}

void VmkInversePutDoubled(const int16_t coef[64], uint32_t q, uint8_t* dst, uint32_t pitch) {
  int32_t r[64];
  VornIdct(r, coef, kVornIntraQuant[q]);
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++) dst[(size_t)y * pitch + x] = (uint8_t)r[(y >> 1) * 8 + (x >> 1)];
}

void VmkInverseAdd(const int16_t coef[64], uint32_t q, const uint8_t* work, uint8_t* dst,
                   uint32_t pitch) {
  VornIdctAdd(dst, pitch, work, coef, kVornInterQuant[q]);
}
