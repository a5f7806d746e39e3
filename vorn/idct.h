// Dequantisation and the 8 x 8 inverse transform, in exact 32-bit wrapping
// arithmetic, with the stores of intra, inter and scaled blocks.
#pragma once

#include <stdint.h>

// Transform of one block: coef by block position, quant one 64-entry row of
// kVornIntraQuant or kVornInterQuant. out receives the final results
// ((row value + 127) >> 8), not yet cut to bytes.
typedef void (*VornIdctFunc)(int32_t out[64], const int16_t coef[64], const int32_t quant[64]);

// Plain C++ reference.
void VornIdctRef(int32_t out[64], const int16_t coef[64], const int32_t quant[64]);
#if defined(__x86_64__) || defined(__i386__)
void VornIdctSse2(int32_t out[64], const int16_t coef[64], const int32_t quant[64]);
void VornIdctAvx2(int32_t out[64], const int16_t coef[64], const int32_t quant[64]);
#endif

// The fastest routine this processor runs (chosen once).
VornIdctFunc VornIdctSelect(void);
void VornIdct(int32_t out[64], const int16_t coef[64], const int32_t quant[64]);

// Intra: stores the results' low 8 bits.
void VornIdctPut(uint8_t* dst, uint32_t pitch, const int16_t coef[64], const int32_t quant[64]);
// Inter: stores the low 8 bits of work (8 x 8, pitch 8) plus the results.
void VornIdctAdd(uint8_t* dst, uint32_t pitch, const uint8_t* work, const int16_t coef[64],
                 const int32_t quant[64]);
