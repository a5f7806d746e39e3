// Plain C++ row converters: every format, width, colour and grayscale, any
// start column. All arithmetic is table lookups.
#include <string.h>

#include "vorn/convert_impl.h"

namespace {

struct Rgb {
  uint8_t r, g, b;
};

inline Rgb Colour(const VornConvTables* t, uint8_t y, uint8_t v, uint8_t u) {
  int32_t l = t->luma[y];
  return Rgb{t->clamp[l + t->red[v]], t->clamp[l + t->greenV[v] + t->greenU[u]],
             t->clamp[l + t->blue[u]]};
}

inline void Put16(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}

template <int Kind, bool Wide>
inline void PutPixel(const VornConvCtx* c, uint8_t* d, int32_t i, Rgb px, uint8_t alpha) {
  const VornConvTables* t = c->t;
  uint8_t lo = c->swapRB ? px.r : px.b, hi = c->swapRB ? px.b : px.r;
  if (Kind == VORN_KIND_RGB24) {
    uint8_t* p = d + i * 3 * (Wide ? 2 : 1);
    p[0] = lo, p[1] = px.g, p[2] = hi;
    if (Wide) p[3] = lo, p[4] = px.g, p[5] = hi;
  } else if (Kind == VORN_KIND_RGB32) {
    uint8_t* p = d + i * 4 * (Wide ? 2 : 1);
    uint8_t a = c->alpha ? alpha : 0;
    p[0] = lo, p[1] = px.g, p[2] = hi, p[3] = a;
    if (Wide) p[4] = lo, p[5] = px.g, p[6] = hi, p[7] = a;
  } else {
    const uint16_t(*f)[256] = t->field[c->layout];
    uint32_t v = f[0][hi] | f[1][px.g] | f[2][lo];
    if (c->alpha == 4) v |= t->alpha4[alpha];
    if (c->alpha == 1) v |= t->alpha1[alpha];
    uint8_t* p = d + i * 2 * (Wide ? 2 : 1);
    Put16(p, v);
    if (Wide) Put16(p + 2, v);
  }
}

template <int Kind, bool Wide, bool Gray>
int32_t RowRgb(const VornConvCtx* c, const VornRowArgs* a) {
  const VornConvTables* t = c->t;
  int32_t rows = a->d1 ? 2 : 1;
  for (int32_t i = 0; i < a->n; i++) {
    int32_t ci = (a->odd + i) >> 1;
    for (int32_t k = 0; k < rows; k++) {
      uint8_t y = (k ? a->y1 : a->y0)[i];
      Rgb px;
      if (Gray) {
        uint8_t g = t->gray[y];
        px = Rgb{g, g, g};
      } else {
        px = Colour(t, y, a->cv[ci], a->cu[ci]);
      }
      const uint8_t* al = k ? a->a1 : a->a0;
      PutPixel<Kind, Wide>(c, k ? a->d1 : a->d0, i, px, al ? al[i] : 0);
    }
  }
  return a->n;
}

// Packed YUV: each output pixel is its luma and the chroma byte of its slot
// (even output column: cu, odd: cv).
template <bool Wide>
int32_t RowYuv(const VornConvCtx* c, const VornRowArgs* a) {
  int32_t rows = a->d1 ? 2 : 1;
  int32_t ly = c->uyvy ? 1 : 0, lc = 1 - ly;
  for (int32_t i = 0; i < a->n; i++) {
    int32_t ci = (a->odd + i) >> 1;
    uint8_t u = c->gray ? 128 : a->cu[ci], v = c->gray ? 128 : a->cv[ci];
    for (int32_t k = 0; k < rows; k++) {
      uint8_t y = (k ? a->y1 : a->y0)[i];
      uint8_t* p = (k ? a->d1 : a->d0) + i * 2 * (Wide ? 2 : 1);
      int32_t x = a->xodd + i * (Wide ? 2 : 1);
      p[ly] = y, p[lc] = (x & 1) ? v : u;
      if (Wide) p[2 + ly] = y, p[2 + lc] = (x & 1) ? u : v;
    }
  }
  return a->n;
}

template <int Kind, bool Wide>
int32_t RowRgbAny(const VornConvCtx* c, const VornRowArgs* a) {
  return c->gray ? RowRgb<Kind, Wide, true>(c, a) : RowRgb<Kind, Wide, false>(c, a);
}

}  // namespace

int32_t VornConvRowRef(const VornConvCtx* c, const VornRowArgs* a) {
  if (a->n <= 0) return 0;
  switch (c->kind) {
    case VORN_KIND_RGB24:
      return c->wide ? RowRgbAny<VORN_KIND_RGB24, true>(c, a) : RowRgbAny<VORN_KIND_RGB24, false>(c, a);
    case VORN_KIND_RGB32:
      return c->wide ? RowRgbAny<VORN_KIND_RGB32, true>(c, a) : RowRgbAny<VORN_KIND_RGB32, false>(c, a);
    case VORN_KIND_RGB16:
      return c->wide ? RowRgbAny<VORN_KIND_RGB16, true>(c, a) : RowRgbAny<VORN_KIND_RGB16, false>(c, a);
    default:
      return c->wide ? RowYuv<true>(c, a) : RowYuv<false>(c, a);
  }
}
