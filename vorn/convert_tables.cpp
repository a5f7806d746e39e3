// Colour conversion tables: luma scale, chroma terms, clamp, gray ramp and
// the field placement of the 16-bit layouts.
#include "vorn/convert_impl.h"

static int16_t ChromaTerm(int32_t coefficient, int32_t c) {
  return (int16_t)(coefficient * (c - 128) / 32768);  // C division truncates toward zero
}

static void BuildTables(VornConvTables* t) {
  for (int32_t i = 0; i < 256; i++) {
    int32_t y = i - 16;
    y = y < 0 ? 0 : y > 219 ? 219 : y;
    t->luma[i] = (int16_t)((y * 38154) >> 15);
    t->gray[i] = (uint8_t)(i <= 16 ? 0 : i >= 235 ? 255 : (i - 16) * 255 / 219);
    t->red[i] = ChromaTerm(52299, i);
    t->blue[i] = ChromaTerm(66101, i);
    t->greenV[i] = ChromaTerm(-26639, i);
    t->greenU[i] = ChromaTerm(-12837, i);
    t->alpha4[i] = (uint16_t)((i >> 4) << 12);
    t->alpha1[i] = (uint16_t)((i >> 7) << 15);
  }
  for (int32_t i = 0; i < 1280; i++) {
    int32_t v = i - 512;
    t->clampBase[i] = (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : v);
  }
  t->clamp = t->clampBase + 512;
  for (int32_t l = 0; l < 6; l++) {
    const uint8_t* f = kVornLayouts[l];
    for (int32_t v = 0; v < 256; v++) {
      t->field[l][0][v] = (uint16_t)((v >> (8 - f[0])) << f[3]);
      t->field[l][1][v] = (uint16_t)((v >> (8 - f[1])) << f[2]);
      t->field[l][2][v] = (uint16_t)(v >> (8 - f[2]));
    }
  }
}

const VornConvTables* VornConvGetTables(void) {
  static VornConvTables tables;
  static const bool built = (BuildTables(&tables), true);
  (void)built;
  return &tables;
}
