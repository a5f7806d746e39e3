// Reconstruction of transform-coded blocks with the decoder's dequantisation
// and inverse transform, so that the encoder sees what a decoder will.
#pragma once

#include <stdint.h>

// Intra table; stores the 8 x 8 result.
void VmkInversePut(const int16_t coef[64], uint32_t q, uint8_t* dst, uint32_t pitch);
// Intra table; stores each result as a 2 x 2 square of a 16 x 16 area.
void VmkInversePutDoubled(const int16_t coef[64], uint32_t q, uint8_t* dst, uint32_t pitch);
// Inter table; adds the result to the 8 x 8 work block (pitch 8) and stores.
void VmkInverseAdd(const int16_t coef[64], uint32_t q, const uint8_t* work, uint8_t* dst,
                   uint32_t pitch);
