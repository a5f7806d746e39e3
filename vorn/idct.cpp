// Inverse transform: column pass with dequantisation folded in, row pass,
// all sums and products wrapping at 32 bits.
#include "vorn/idct.h"

#include "vorn/cpu.h"

namespace {

typedef uint32_t u32;

// (v * k) >> 11 on the wrapped 32-bit product.
inline u32 Mul(u32 v, u32 k) { return (u32)((int32_t)(v * k) >> 11); }

inline void Transform(u32* x, int stride) {
  u32 x0 = x[0], x1 = x[stride], x2 = x[2 * stride], x3 = x[3 * stride];
  u32 x4 = x[4 * stride], x5 = x[5 * stride], x6 = x[6 * stride], x7 = x[7 * stride];
  u32 a0 = x0 + x4, a1 = x0 - x4, a2 = x2 + x6, a3 = Mul(x2 - x6, 2896);
  u32 a4 = x5 + x3, a5 = x5 - x3, a6 = x1 + x7, a7 = x1 - x7;
  u32 b0 = a4 + a6;
  u32 b1 = Mul(a5 + a7, 3784);
  u32 b2 = Mul(a5, (u32)-5352) - b0 + b1;
  u32 b3 = Mul(a6 - a4, 2896) - b2;
  u32 b4 = Mul(a7, 2217) + b3 - b1;
  x[0] = a0 + a2 + b0;
  x[stride] = a1 + a3 - a2 + b2;
  x[2 * stride] = a1 - a3 + a2 + b3;
  x[3 * stride] = a0 - a2 - b4;
  x[4 * stride] = a0 - a2 + b4;
  x[5 * stride] = a1 - a3 + a2 - b3;
  x[6 * stride] = a1 + a3 - a2 - b2;
  x[7 * stride] = a0 + a2 - b0;
}

}  // namespace

void VornIdctRef(int32_t out[64], const int16_t coef[64], const int32_t quant[64]) {
  u32 t[64];
  for (int c = 0; c < 8; c++) {
    bool acZero = true;
    for (int r = 1; r < 8; r++) acZero &= coef[r * 8 + c] == 0;
    u32 dc = Mul((u32)(int32_t)coef[c], (u32)quant[c]);
    if (acZero) {
      // A column with only its first value gives eight copies of it.
      for (int r = 0; r < 8; r++) t[r * 8 + c] = dc;
      continue;
    }
    t[c] = dc;
    for (int r = 1; r < 8; r++) t[r * 8 + c] = Mul((u32)(int32_t)coef[r * 8 + c], (u32)quant[r * 8 + c]);
    Transform(t + c, 8);
  }
  for (int r = 0; r < 8; r++) {
    u32* row = t + r * 8;
    Transform(row, 1);
    for (int c = 0; c < 8; c++) out[r * 8 + c] = (int32_t)(row[c] + 127) >> 8;
  }
}

VornIdctFunc VornIdctSelect(void) {
#if defined(__x86_64__) || defined(__i386__)
  uint32_t cpu = VornCpuFlags();
  if (cpu & VORN_CPU_AVX2) return VornIdctAvx2;
  if (cpu & VORN_CPU_SSE2) return VornIdctSse2;
#endif
  return VornIdctRef;
}

void VornIdct(int32_t out[64], const int16_t coef[64], const int32_t quant[64]) {
  static const VornIdctFunc f = VornIdctSelect();
  f(out, coef, quant);
}

void VornIdctPut(uint8_t* dst, uint32_t pitch, const int16_t coef[64], const int32_t quant[64]) {
  int32_t r[64];
  VornIdct(r, coef, quant);
  for (int y = 0; y < 8; y++, dst += pitch)
    for (int x = 0; x < 8; x++) dst[x] = (uint8_t)r[y * 8 + x];
}

void VornIdctAdd(uint8_t* dst, uint32_t pitch, const uint8_t* work, const int16_t coef[64],
                 const int32_t quant[64]) {
  int32_t r[64];
  VornIdct(r, coef, quant);
  for (int y = 0; y < 8; y++, dst += pitch)
    for (int x = 0; x < 8; x++) dst[x] = (uint8_t)(work[y * 8 + x] + r[y * 8 + x]);
}
