#include "vornmake/prepare.h"

#include <stddef.h>
#include <string.h>

static const int kSoftenWeight[17] = {0, 288, 96, 48, 32, 22, 16, 12, 10, 8, 7, 6, 5, 4, 3, 2, 1};

void VmkScaledSize(uint32_t mode, uint32_t width, uint32_t height, uint32_t* outWidth,
                   uint32_t* outHeight) {
  *outWidth = width;
  *outHeight = height;
  if (mode == 1 || mode == 2 || mode == 4 || mode == 5) *outHeight = height / 2;
  if (mode == 3 || mode == 4 || mode == 5) *outWidth = width / 2;
}

// Averages row pairs (modes 1, 2), pixel pairs (mode 3) or 2 x 2 squares
// (modes 4, 5), each byte on its own.
static void Scale(uint32_t mode, const uint8_t* src, int32_t srcPitch, uint32_t w, uint32_t h,
                  uint8_t* dst) {
  for (uint32_t y = 0; y < h; y++) {
    uint8_t* d = dst + (size_t)y * w * 4;
    if (mode == 1 || mode == 2) {
      const uint8_t* a = src + (ptrdiff_t)(2 * y) * srcPitch;
      const uint8_t* b = a + srcPitch;
      for (uint32_t i = 0; i < w * 4; i++) d[i] = (uint8_t)((a[i] + b[i]) >> 1);
    } else if (mode == 3) {
      const uint8_t* a = src + (ptrdiff_t)y * srcPitch;
      for (uint32_t x = 0; x < w; x++)
        for (int c = 0; c < 4; c++) d[x * 4 + c] = (uint8_t)((a[x * 8 + c] + a[x * 8 + 4 + c]) >> 1);
    } else {
      const uint8_t* a = src + (ptrdiff_t)(2 * y) * srcPitch;
      const uint8_t* b = a + srcPitch;
      for (uint32_t x = 0; x < w; x++)
        for (int c = 0; c < 4; c++)
          d[x * 4 + c] =
              (uint8_t)((a[x * 8 + c] + a[x * 8 + 4 + c] + b[x * 8 + c] + b[x * 8 + 4 + c]) >> 2);
    }
  }
}

static void Levels(uint32_t levels, const uint8_t* src, int32_t srcPitch, uint32_t w, uint32_t h,
                   uint8_t* dst) {
  uint8_t map[256];
  int l = (int)levels;
  for (int v = 0; v < 256; v++)
    map[v] = v <= l ? 0 : v >= 255 - l ? 255 : (uint8_t)((v - l) * 255 / (255 - 2 * l));
  for (uint32_t y = 0; y < h; y++) {
    const uint8_t* s = src + (ptrdiff_t)y * srcPitch;
    uint8_t* d = dst + (size_t)y * w * 4;
    for (uint32_t x = 0; x < w; x++) {
      d[x * 4 + 0] = map[s[x * 4 + 0]];
      d[x * 4 + 1] = map[s[x * 4 + 1]];
      d[x * 4 + 2] = map[s[x * 4 + 2]];
      d[x * 4 + 3] = s[x * 4 + 3];
    }
  }
}

// 3 x 3 filter with centre weight w; edge rows use the row itself as the
// missing neighbour, edge columns fold the missing side onto the centre.
static void Soften(uint32_t soften, const uint8_t* src, int32_t srcPitch, uint32_t w, uint32_t h,
                   uint8_t* dst) {
  const int cw = kSoftenWeight[soften];
  const int div = cw + 12;
  for (uint32_t y = 0; y < h; y++) {
    const uint8_t* m = src + (ptrdiff_t)y * srcPitch;
    const uint8_t* u = y > 0 ? m - srcPitch : m;
    const uint8_t* dn = y + 1 < h ? m + srcPitch : m;
    uint8_t* d = dst + (size_t)y * w * 4;
    for (uint32_t x = 0; x < w; x++) {
      const uint32_t o = x * 4;
      if (x > 0 && x + 1 < w) {
        for (int c = 0; c < 3; c++) {
          int v = cw * m[o + c] + 2 * (u[o + c] + dn[o + c] + m[o - 4 + c] + m[o + 4 + c]) +
                  u[o - 4 + c] + u[o + 4 + c] + dn[o - 4 + c] + dn[o + 4 + c];
          d[o + c] = (uint8_t)(v / div);
        }
      } else {
        // The inner neighbour; a picture one pixel wide has none and uses
        // the pixel itself.
        uint32_t n = w == 1 ? o : x == 0 ? o + 4 : o - 4;
        for (int c = 0; c < 3; c++) {
          int v = (cw + 2) * m[o + c] + 3 * u[o + c] + 3 * dn[o + c] + 2 * m[n + c] + u[n + c] +
                  dn[n + c];
          d[o + c] = (uint8_t)(v / div);
        }
      }
      d[o + 3] = m[o + 3];
    }
  }
}

// Repeats the last sample of each of the first rows up to the padded width,
// then the last row down to the padded height.
static void Pad(uint8_t* plane, uint32_t w, uint32_t h, uint32_t pw, uint32_t ph) {
  for (uint32_t y = 0; y < h; y++) {
    uint8_t* row = plane + (size_t)y * pw;
    memset(row + w, row[w - 1], pw - w);
  }
  for (uint32_t y = h; y < ph; y++) memcpy(plane + (size_t)y * pw, plane + (size_t)(h - 1) * pw, pw);
}

static void Convert(const VmkPrepareGeometry* g, const uint8_t* src, int32_t pitch, uint8_t* yp,
                    uint8_t* cr, uint8_t* cb, uint8_t* ap) {
  const uint32_t w = g->width, h = g->height, pw = g->paddedWidth, cwid = g->chromaWidth;
  for (uint32_t y = 0; y < h; y++) {
    const uint8_t* s = src + (ptrdiff_t)y * pitch;
    uint8_t* yr = yp + (size_t)y * pw;
    uint8_t* ar = ap + (size_t)y * pw;
    for (uint32_t x = 0; x < w; x++) {
      int b = s[x * 4], gr = s[x * 4 + 1], r = s[x * 4 + 2];
      yr[x] = (uint8_t)((100 * b + 516 * gr + 263 * r) / 1024 + 16);
      ar[x] = s[x * 4 + 3];
    }
  }
  const uint32_t cwReal = (w + 1) / 2, chReal = (h + 1) / 2;
  for (uint32_t cy = 0; cy < chReal; cy++) {
    const uint8_t* r0 = src + (ptrdiff_t)(2 * cy) * pitch;
    const uint8_t* r1 = 2 * cy + 1 < h ? r0 + pitch : r0;
    uint8_t* crr = cr + (size_t)cy * cwid;
    uint8_t* cbr = cb + (size_t)cy * cwid;
    for (uint32_t cx = 0; cx < cwReal; cx++) {
      uint32_t x0 = 2 * cx * 4, x1 = 2 * cx + 1 < w ? x0 + 4 : x0;
      int bs = r0[x0] + r0[x1] + r1[x0] + r1[x1];
      int gs = r0[x0 + 1] + r0[x1 + 1] + r1[x0 + 1] + r1[x1 + 1];
      int rs = r0[x0 + 2] + r0[x1 + 2] + r1[x0 + 2] + r1[x1 + 2];
      crr[cx] = (uint8_t)((450 * rs - 377 * gs - 73 * bs) / 4096 + 128);
      cbr[cx] = (uint8_t)((450 * bs - 298 * gs - 152 * rs) / 4096 + 128);
    }
  }
  Pad(yp, w, h, pw, g->paddedHeight);
  Pad(ap, w, h, pw, g->paddedHeight);
  Pad(cr, cwReal, chReal, cwid, g->chromaHeight);
  Pad(cb, cwReal, chReal, cwid, g->chromaHeight);
}

void VmkPrepare(const VmkPrepareGeometry* g, const uint8_t* pixels, uint32_t levels,
                uint32_t soften, uint8_t* y, uint8_t* cr, uint8_t* cb, uint8_t* alpha,
                uint8_t* scratch0, uint8_t* scratch1) {
  if (levels > 127) levels = 127;
  if (soften > 16) soften = 16;
  const uint8_t* src = pixels;
  int32_t pitch = g->inputPitch;
  uint8_t* scratch[2] = {scratch0, scratch1};
  int next = 0;
  const int32_t storedPitch = (int32_t)(g->width * 4);
  if (g->scaleMode >= 1 && g->scaleMode <= 5) {
    Scale(g->scaleMode, src, pitch, g->width, g->height, scratch[next]);
    src = scratch[next];
    pitch = storedPitch;
    next ^= 1;
  }
  if (levels) {
    Levels(levels, src, pitch, g->width, g->height, scratch[next]);
    src = scratch[next];
    pitch = storedPitch;
    next ^= 1;
  }
  if (soften) {
    Soften(soften, src, pitch, g->width, g->height, scratch[next]);
    src = scratch[next];
    pitch = storedPitch;
    next ^= 1;
  }
  Convert(g, src, pitch, y, cr, cb, alpha);
}
