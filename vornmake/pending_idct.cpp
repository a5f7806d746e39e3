// Stand-in for the decoder's inverse transform until it is merged.
#include "vornmake/pending_tables.h"
#include "vornmake/recon.h"

static inline int32_t Wrap(int64_t v) { return (int32_t)(uint32_t)(uint64_t)v; }
static inline int32_t Mul(int32_t v, int32_t k) { return Wrap((int64_t)v * k) >> 11; }

static void Idct1D(const int32_t* x, int32_t* y) {
  int32_t a0 = x[0] + x[4], a1 = x[0] - x[4], a2 = x[2] + x[6], a3 = Mul(x[2] - x[6], 2896);
  int32_t a4 = x[5] + x[3], a5 = x[5] - x[3], a6 = x[1] + x[7], a7 = x[1] - x[7];
  int32_t b0 = a4 + a6, b1 = Mul(a5 + a7, 3784);
  int32_t b2 = Mul(a5, -5352) - b0 + b1;
  int32_t b3 = Mul(a6 - a4, 2896) - b2;
  int32_t b4 = Mul(a7, 2217) + b3 - b1;
  y[0] = a0 + a2 + b0;
  y[1] = a1 + a3 - a2 + b2;
  y[2] = a1 - a3 + a2 + b3;
  y[3] = a0 - a2 - b4;
  y[4] = a0 - a2 + b4;
  y[5] = a1 - a3 + a2 - b3;
  y[6] = a1 + a3 - a2 - b2;
  y[7] = a0 + a2 - b0;
}

static void Idct(const int16_t* coef, const int32_t* t, int32_t* out) {
  int32_t mid[64];
  for (int c = 0; c < 8; c++) {
    int32_t x[8], y[8];
    for (int r = 0; r < 8; r++) x[r] = Wrap((int64_t)coef[r * 8 + c] * t[r * 8 + c]) >> 11;
    Idct1D(x, y);
    for (int r = 0; r < 8; r++) mid[r * 8 + c] = y[r];
  }
  for (int r = 0; r < 8; r++) {
    int32_t y[8];
    Idct1D(mid + r * 8, y);
    for (int c = 0; c < 8; c++) out[r * 8 + c] = (y[c] + 127) >> 8;
  }
}

void VmkInversePut(const int16_t coef[64], uint32_t q, uint8_t* dst, uint32_t pitch) {
  int32_t v[64];
  Idct(coef, kVornIntraQuant[q], v);
  for (int r = 0; r < 8; r++)
    for (int c = 0; c < 8; c++) dst[r * pitch + c] = (uint8_t)v[r * 8 + c];
}

void VmkInversePutDoubled(const int16_t coef[64], uint32_t q, uint8_t* dst, uint32_t pitch) {
  int32_t v[64];
  Idct(coef, kVornIntraQuant[q], v);
  for (int r = 0; r < 16; r++)
    for (int c = 0; c < 16; c++) dst[r * pitch + c] = (uint8_t)v[(r / 2) * 8 + c / 2];
}

void VmkInverseAdd(const int16_t coef[64], uint32_t q, const uint8_t* work, uint8_t* dst,
                   uint32_t pitch) {
  int32_t v[64];
  Idct(coef, kVornInterQuant[q], v);
  for (int r = 0; r < 8; r++)
    for (int c = 0; c < 8; c++) dst[r * pitch + c] = (uint8_t)(work[r * 8 + c] + v[r * 8 + c]);
}
