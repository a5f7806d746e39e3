#include "kor/scene.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

namespace {

// 5 x 7 glyphs, one byte per row (bit 4 leftmost), for the characters the
// scene writes.
struct Glyph {
  char c;
  uint8_t rows[7];
};
const Glyph kFont[] = {
    {'A', {14, 17, 17, 31, 17, 17, 17}}, {'B', {30, 17, 17, 30, 17, 17, 30}}, {'C', {14, 17, 16, 16, 16, 17, 14}},
    {'D', {30, 17, 17, 17, 17, 17, 30}}, {'E', {31, 16, 16, 30, 16, 16, 31}}, {'F', {31, 16, 16, 30, 16, 16, 16}},
    {'G', {14, 17, 16, 23, 17, 17, 15}}, {'H', {17, 17, 17, 31, 17, 17, 17}}, {'I', {14, 4, 4, 4, 4, 4, 14}},
    {'J', {7, 2, 2, 2, 2, 18, 12}},      {'K', {17, 18, 20, 24, 20, 18, 17}}, {'L', {16, 16, 16, 16, 16, 16, 31}},
    {'M', {17, 27, 21, 21, 17, 17, 17}}, {'N', {17, 17, 25, 21, 19, 17, 17}}, {'O', {14, 17, 17, 17, 17, 17, 14}},
    {'P', {30, 17, 17, 30, 16, 16, 16}}, {'Q', {14, 17, 17, 17, 21, 18, 13}}, {'R', {30, 17, 17, 30, 20, 18, 17}},
    {'S', {15, 16, 16, 14, 1, 1, 30}},   {'T', {31, 4, 4, 4, 4, 4, 4}},       {'U', {17, 17, 17, 17, 17, 17, 14}},
    {'V', {17, 17, 17, 17, 17, 10, 4}},  {'W', {17, 17, 17, 21, 21, 21, 10}}, {'X', {17, 17, 10, 4, 10, 17, 17}},
    {'Y', {17, 17, 10, 4, 4, 4, 4}},     {'Z', {31, 1, 2, 4, 8, 16, 31}},     {'0', {14, 17, 19, 21, 25, 17, 14}},
    {'1', {4, 12, 4, 4, 4, 4, 14}},      {'2', {14, 17, 1, 2, 4, 8, 31}},     {'3', {31, 2, 4, 2, 1, 17, 14}},
    {'4', {2, 6, 10, 18, 31, 2, 2}},     {'5', {31, 16, 30, 1, 1, 17, 14}},   {'6', {6, 8, 16, 30, 17, 17, 14}},
    {'7', {31, 1, 2, 4, 8, 8, 8}},       {'8', {14, 17, 17, 14, 17, 17, 14}}, {'9', {14, 17, 17, 15, 1, 2, 12}},
    {'.', {0, 0, 0, 0, 0, 12, 12}},      {':', {0, 12, 12, 0, 12, 12, 0}},    {'-', {0, 0, 0, 31, 0, 0, 0}},
    {'/', {1, 1, 2, 4, 8, 16, 16}},      {'!', {4, 4, 4, 4, 4, 0, 4}},        {',', {0, 0, 0, 0, 12, 4, 8}},
};

const uint8_t* GlyphRows(char c) {
  if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
  for (const Glyph& g : kFont)
    if (g.c == c) return g.rows;
  return nullptr;  // a space
}

struct Canvas {
  uint8_t* p;
  int w, h;
  void Put(int x, int y, int r, int g, int b) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    uint8_t* q = p + ((size_t)y * w + x) * 4;
    q[0] = (uint8_t)b;
    q[1] = (uint8_t)g;
    q[2] = (uint8_t)r;
    q[3] = 255;
  }
  void Rect(int x0, int y0, int x1, int y1, int r, int g, int b) {
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++) Put(x, y, r, g, b);
  }
  // Text at (x, y), each font pixel a scale x scale square, with a shadow.
  void Text(int x, int y, int scale, const char* s, int r, int g, int b) {
    for (int pass = 0; pass < 2; pass++) {
      const int off = pass ? 0 : (scale + 1) / 2;
      int cx = x;
      for (const char* c = s; *c; c++, cx += 6 * scale) {
        const uint8_t* rows = GlyphRows(*c);
        if (!rows) continue;
        for (int ry = 0; ry < 7; ry++)
          for (int rx = 0; rx < 5; rx++)
            if (rows[ry] >> (4 - rx) & 1)
              for (int k = 0; k < scale * scale; k++)
                Put(cx + rx * scale + k % scale + off, y + ry * scale + k / scale + off, pass ? r : 0, pass ? g : 0,
                    pass ? b : 0);
      }
    }
  }
};

inline uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352du;
  x ^= x >> 15;
  x *= 0x846ca68bu;
  x ^= x >> 16;
  return x;
}

inline int Clamp(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

}  // namespace

void KorSceneDraw(uint8_t* bgra, uint32_t width, uint32_t height, uint32_t t, uint32_t frames, uint32_t fps) {
  Canvas c = {bgra, (int)width, (int)height};
  const int w = (int)width, h = (int)height;
  const float s = (float)t / (float)(fps ? fps : 25);
  const int horizon = h * 5 / 8;
  // Sky: a vertical gradient whose colours drift.
  for (int y = 0; y < horizon; y++) {
    const float k = (float)y / horizon;
    const int r = (int)(40 + 120 * k + 30 * sinf(s * 0.7f)), g = (int)(70 + 110 * k), b = (int)(160 + 80 * k);
    for (int x = 0; x < w; x++) c.Put(x, y, Clamp(r + x * 20 / w), Clamp(g), Clamp(b - x * 30 / w));
  }
  // Ground: a textured field panning left, with a checker band in front.
  const int pan = (int)(s * 60);
  for (int y = horizon; y < h; y++)
    for (int x = 0; x < w; x++) {
      const int u = x + pan;
      const uint32_t n = Hash((uint32_t)(u >> 1) * 7919u ^ (uint32_t)(y >> 1) * 104729u);
      const int grain = (int)(n & 31) - 16;
      int r = 70 + grain, g = 120 + grain + (y - horizon) / 3, b = 50 + grain / 2;
      if (y > h * 7 / 8 && ((u / 32 + y / 16) & 1)) {
        r = 230;
        g = 230;
        b = 220;
      }
      c.Put(x, y, Clamp(r), Clamp(g), Clamp(b));
    }
  // A sun with a radial gradient, rising.
  const int sx = w * 3 / 4, sy = horizon - (int)(h * 0.1f + s * 12) % (horizon - 40), sr = h / 10;
  for (int y = sy - sr; y <= sy + sr; y++)
    for (int x = sx - sr; x <= sx + sr; x++) {
      const int d2 = (x - sx) * (x - sx) + (y - sy) * (y - sy);
      if (d2 > sr * sr) continue;
      const int k = 255 - d2 * 120 / (sr * sr);
      c.Put(x, y, 255, Clamp(k), Clamp(k / 3));
    }
  // A bouncing ball and a turning square: motion and sharp edges.
  const float bx = w * 0.2f + w * 0.55f * (0.5f + 0.5f * sinf(s * 1.3f));
  const float by = horizon - 20 - fabsf(sinf(s * 2.6f)) * h * 0.35f;
  const int br = h / 16;
  for (int y = (int)by - br; y <= (int)by + br; y++)
    for (int x = (int)bx - br; x <= (int)bx + br; x++) {
      const float dx = x - bx, dy = y - by;
      if (dx * dx + dy * dy > br * br) continue;
      const int light = (int)(200 - 60 * (dx + dy) / br);
      c.Put(x, y, Clamp(light), 40, 40);
    }
  const float a = s * 0.9f, ca = cosf(a), sa = sinf(a);
  const int qx = w / 6, qy = h * 3 / 4, qs = h / 12;
  for (int y = qy - 2 * qs; y <= qy + 2 * qs; y++)
    for (int x = qx - 2 * qs; x <= qx + 2 * qs; x++) {
      const float u = (x - qx) * ca + (y - qy) * sa, v = -(x - qx) * sa + (y - qy) * ca;
      if (fabsf(u) <= qs && fabsf(v) <= qs) c.Put(x, y, 250, 200, 30);
    }
  // A flat title panel with text, a running clock and a ticker.
  const int scale = h >= 360 ? 3 : 2;
  c.Rect(w / 16, h / 16, w - w / 16, h / 16 + 12 * scale, 20, 30, 60);
  c.Text(w / 16 + 2 * scale, h / 16 + 2 * scale, scale, "KOR VIDEO TOOL KIT", 255, 255, 255);
  char line[64];
  snprintf(line, sizeof line, "FRAME %03u/%03u  %u:%02u.%02u", t + 1, frames, (unsigned)s / 60, (unsigned)s % 60,
           (unsigned)(s * 100) % 100);
  c.Text(w / 16, h / 16 + 14 * scale, scale > 2 ? 2 : 1, line, 255, 240, 120);
  static const char kTicker[] = "VORN: BLOCKS, RUNS, PATTERNS, MOTION AND TRANSFORMS - ALL IN ONE CLIP!   ";
  const int tw = (int)strlen(kTicker) * 6 * 2;
  const int tx = w - (int)(s * 90) % (tw + w);
  c.Rect(0, h - 24, w, h - 4, 0, 0, 0);
  c.Text(tx, h - 21, 2, kTicker, 120, 255, 160);
}

// As the encoder converts: luminance per pixel, chroma from each 2 x 2
// square (the last row and column repeated at odd sizes).
void KorSceneToYuv(const uint8_t* bgra, uint32_t w, uint32_t h, uint8_t* yp, uint8_t* cr, uint8_t* cb) {
  for (uint32_t y = 0; y < h; y++)
    for (uint32_t x = 0; x < w; x++) {
      const uint8_t* s = bgra + ((size_t)y * w + x) * 4;
      yp[(size_t)y * w + x] = (uint8_t)((100 * s[0] + 516 * s[1] + 263 * s[2]) / 1024 + 16);
    }
  const uint32_t cw = (w + 1) / 2, ch = (h + 1) / 2;
  for (uint32_t cy = 0; cy < ch; cy++) {
    const uint8_t* r0 = bgra + (size_t)(2 * cy) * w * 4;
    const uint8_t* r1 = 2 * cy + 1 < h ? r0 + (size_t)w * 4 : r0;
    for (uint32_t cx = 0; cx < cw; cx++) {
      const uint32_t x0 = 2 * cx * 4, x1 = 2 * cx + 1 < w ? x0 + 4 : x0;
      const int bs = r0[x0] + r0[x1] + r1[x0] + r1[x1];
      const int gs = r0[x0 + 1] + r0[x1 + 1] + r1[x0 + 1] + r1[x1 + 1];
      const int rs = r0[x0 + 2] + r0[x1 + 2] + r1[x0 + 2] + r1[x1 + 2];
      cr[(size_t)cy * cw + cx] = (uint8_t)((450 * rs - 377 * gs - 73 * bs) / 4096 + 128);
      cb[(size_t)cy * cw + cx] = (uint8_t)((450 * bs - 298 * gs - 152 * rs) / 4096 + 128);
    }
  }
}
