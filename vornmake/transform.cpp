#include "vornmake/transform.h"

// (v * k) >> 11 with the product taken exactly: column inputs can reach 2^23,
// whose products with the larger constants would not fit 32 bits.
static inline int32_t Mul(int32_t v, int32_t k) { return (int32_t)(((int64_t)v * k) >> 11); }

static inline void Forward1D(int32_t* x, int stride) {
  int32_t t0 = x[0] + x[7 * stride], t7 = x[0] - x[7 * stride];
  int32_t t1 = x[stride] + x[6 * stride], t6 = x[stride] - x[6 * stride];
  int32_t t2 = x[2 * stride] + x[5 * stride], t5 = x[2 * stride] - x[5 * stride];
  int32_t t3 = x[3 * stride] + x[4 * stride], t4 = x[3 * stride] - x[4 * stride];
  int32_t z1 = Mul(t0 - t3 + t1 - t2, 1448);
  int32_t z5 = Mul(t4 + t5 - t6 - t7, 784);
  int32_t z2 = z5 + Mul(t4 + t5, 1108);
  int32_t z4 = z5 + Mul(t6 + t7, 2676);
  int32_t z3 = Mul(t5 + t6, 1448);
  x[0] = t0 + t1 + t2 + t3;
  x[4 * stride] = t0 + t3 - t1 - t2;
  x[2 * stride] = t0 - t3 + z1;
  x[6 * stride] = t0 - t3 - z1;
  x[5 * stride] = t7 - z3 + z2;
  x[3 * stride] = t7 - z3 - z2;
  x[stride] = t7 + z3 + z4;
  x[7 * stride] = t7 + z3 - z4;
}

void VmkForward(const int32_t in[64], int32_t out[64]) {
  for (int i = 0; i < 64; i++) out[i] = in[i] * 256;
  for (int r = 0; r < 8; r++) Forward1D(out + r * 8, 1);
  for (int c = 0; c < 8; c++) Forward1D(out + c, 8);
}

uint32_t VmkQuantise(const int32_t coef[64], const int32_t factor[64], int16_t out[64]) {
  uint32_t acc = 0;
  for (int k = 0; k < 64; k++) {
    int32_t q = (int32_t)(((int64_t)coef[k] * factor[k] + 0x1FFFFFFF) >> 30);
    out[k] = (int16_t)q;
    if (k) acc |= (uint32_t)(q < 0 ? -q : q);
  }
  return acc;
}
