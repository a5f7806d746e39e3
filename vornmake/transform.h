// Forward 8 x 8 transform and quantisation of the transform-coded options.
#pragma once

#include <stdint.h>

// Quantisation factors by quantiser and block position.
extern const int32_t kVmkIntraFactor[16][64];
extern const int32_t kVmkInterFactor[16][64];

// Forward transform of 64 samples or differences (block positions, row by
// row) into unscaled coefficients; the quantisation factors absorb the
// per-position scale.
void VmkForward(const int32_t in[64], int32_t out[64]);

// Quantises coefficients with one quantiser's factors into 16-bit values;
// returns the OR of the AC magnitudes (0 when every AC value is 0).
uint32_t VmkQuantise(const int32_t coef[64], const int32_t factor[64], int16_t out[64]);
