// Frame copy driver: format dispatch, the rectangle walk over row pairs and
// scaling modes, the self-tuning doubled-line writer, the changed-block walk,
// the planar copy and the exported 32-bit entry points.
#include <atomic>
#include <limits.h>
#include <string.h>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#else
#include <chrono>
#endif

#include "vorn/convert_impl.h"
#include "vorn/cpu.h"

// ---------------------------------------------------------------- backends

static const VornConvBackend kRef = {"C++", VornConvRowRef, 0};
static const VornConvBackend kSse2 = {"SSE2", VornConvRowSse2, 1};
static const VornConvBackend kAvx2 = {"AVX2", VornConvRowAvx2, 2};

const VornConvBackend* VornConvBackendRef(void) { return &kRef; }
const VornConvBackend* VornConvBackendSse2(void) {
  return (VornCpuFlags() & VORN_CPU_SSE2) ? &kSse2 : nullptr;
}
const VornConvBackend* VornConvBackendAvx2(void) {
  return (VornCpuFlags() & VORN_CPU_AVX2) ? &kAvx2 : nullptr;
}
const VornConvBackend* VornConvBackendFor(uint32_t flags) {
  if (flags & VORN_COPY_NO_SIMD) return &kRef;
  if (const VornConvBackend* b = VornConvBackendAvx2()) return b;
  if (const VornConvBackend* b = VornConvBackendSse2()) return b;
  return &kRef;
}

// ---------------------------------------------------------------- formats

int32_t VornFormatBytes(uint32_t format) {
  static const uint8_t bytes[16] = {0, 3, 3, 4, 4, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2, 0};
  return bytes[format & 15];
}

// Fills the context for formats 1-14.
static void SetupCtx(VornConvCtx* c, uint32_t format, uint32_t flags, bool hasAlpha) {
  memset(c, 0, sizeof *c);
  uint32_t mode = (flags & VORN_COPY_MODE) >> VORN_COPY_MODE_SHIFT;
  c->t = VornConvGetTables();
  c->bpp = (uint8_t)VornFormatBytes(format);
  c->wide = mode >= 3 && mode <= 5;
  c->gray = (flags & VORN_COPY_GRAY) != 0;
  if (format <= 2) {
    c->kind = VORN_KIND_RGB24;
    c->swapRB = format == 2;
  } else if (format <= 6) {
    c->kind = VORN_KIND_RGB32;
    c->swapRB = format == 4 || format == 6;
    c->alpha = format >= 5 && hasAlpha;
  } else if (format <= 12) {
    c->kind = VORN_KIND_RGB16;
    c->layout = (uint8_t)(format - 7);
    if (hasAlpha && format == 7) c->alpha = 4;
    if (hasAlpha && format == 8) c->alpha = 1;
    const uint8_t* f = kVornLayouts[c->layout];
    c->topBits = f[0], c->midBits = f[1], c->botBits = f[2], c->topPos = f[3];
  } else {
    c->kind = VORN_KIND_YUV;
    c->uyvy = format == VORN_FMT_UYVY;
  }
}

// ---------------------------------------------------------------- runs

static void Advance(const VornConvCtx* c, VornRowArgs* a, int32_t k) {
  int32_t ws = c->wide ? 2 : 1;
  int32_t step = (a->odd + k) >> 1;
  a->cv += step, a->cu += step;
  a->odd = (uint8_t)((a->odd + k) & 1);
  a->xodd = (uint8_t)((a->xodd + k * ws) & 1);
  a->y0 += k;
  if (a->y1) a->y1 += k;
  if (a->a0) a->a0 += k;
  if (a->a1) a->a1 += k;
  a->d0 += (intptr_t)k * ws * c->bpp;
  if (a->d1) a->d1 += (intptr_t)k * ws * c->bpp;
  a->n -= k;
}

// One run: a lone odd first pixel and the tail go to the plain converter,
// whole groups to the backend's.
static void Span(const VornConvCtx* c, const VornConvBackend* be, VornRowArgs a) {
  if (a.odd && a.n > 0) {
    VornRowArgs one = a;
    one.n = 1;
    VornConvRowRef(c, &one);
    Advance(c, &a, 1);
  }
  if (be->row != VornConvRowRef && a.n > 0) Advance(c, &a, be->row(c, &a));
  if (a.n > 0) VornConvRowRef(c, &a);
}

// ---------------------------------------------------------------- doubled lines

// A row pair of a doubled-height mode writes four lines. Writer 0 converts
// the pair twice, one line apart; writer 1 converts it once into a line
// buffer and copies that to both lines. Each (backend, writer kind) times
// the two against each other over a few row pairs, keeps the faster for
// about 8192 rows, then times them again.
enum { kTuneTrials = 8, kTuneRows = 8192, kLineBuffer = 8192 };

struct LineTuning {
  std::atomic<int32_t> left{0};    // rows before the next timing
  std::atomic<int32_t> choice{0};
  std::atomic<int32_t> trials[2];
  std::atomic<uint64_t> cycles[2];
  std::atomic<uint64_t> pixels[2];
};
static LineTuning g_tuning[3][4][2][2];  // backend, kind, wide, gray
static std::atomic<int32_t> g_lineWriter{-1};

void VornConvSetLineWriter(int32_t choice) { g_lineWriter.store(choice, std::memory_order_relaxed); }

static uint64_t Ticks(void) {
#if defined(__x86_64__) || defined(__i386__)
  return __rdtsc();
#else
  return (uint64_t)std::chrono::steady_clock::now().time_since_epoch().count();
#endif
}

static void WriteTwice(const VornConvCtx* c, const VornConvBackend* be, const VornRowArgs& a,
                       intptr_t pitch) {
  Span(c, be, a);
  VornRowArgs b = a;
  b.d0 += pitch;
  if (b.d1) b.d1 += pitch;
  Span(c, be, b);
}

static void WriteBuffered(const VornConvCtx* c, const VornConvBackend* be, VornRowArgs a,
                          intptr_t pitch) {
  alignas(32) uint8_t buf[2][kLineBuffer];
  int32_t chunk = (kLineBuffer / (c->bpp * (c->wide ? 2 : 1))) & ~1;
  while (a.n > 0) {
    int32_t k = a.n < chunk - a.odd ? a.n : chunk - a.odd;
    VornRowArgs b = a;
    b.n = k;
    b.d0 = buf[0];
    b.d1 = a.d1 ? buf[1] : nullptr;
    Span(c, be, b);
    size_t bytes = (size_t)k * (c->wide ? 2 : 1) * c->bpp;
    memcpy(a.d0, buf[0], bytes);
    memcpy(a.d0 + pitch, buf[0], bytes);
    if (a.d1) {
      memcpy(a.d1, buf[1], bytes);
      memcpy(a.d1 + pitch, buf[1], bytes);
    }
    Advance(c, &a, k);
  }
}

static void WriteDoubled(const VornConvCtx* c, const VornConvBackend* be, const VornRowArgs& a,
                         intptr_t pitch) {
  int32_t forced = g_lineWriter.load(std::memory_order_relaxed);
  if (forced == 0 || forced == 1) {
    forced ? WriteBuffered(c, be, a, pitch) : WriteTwice(c, be, a, pitch);
    return;
  }
  const auto mo = std::memory_order_relaxed;
  LineTuning& tu = g_tuning[be->id % 3][c->kind & 3][c->wide][c->gray];
  int32_t rows = a.d1 ? 2 : 1;
  if (tu.left.load(mo) > 0) {
    tu.left.fetch_sub(rows, mo);
    tu.choice.load(mo) ? WriteBuffered(c, be, a, pitch) : WriteTwice(c, be, a, pitch);
    return;
  }
  int32_t m = tu.trials[0].load(mo) <= tu.trials[1].load(mo) ? 0 : 1;
  uint64_t t0 = Ticks();
  m ? WriteBuffered(c, be, a, pitch) : WriteTwice(c, be, a, pitch);
  tu.cycles[m].fetch_add(Ticks() - t0, mo);
  tu.pixels[m].fetch_add((uint64_t)a.n * rows, mo);
  if (tu.trials[m].fetch_add(1, mo) + 1 >= kTuneTrials && tu.trials[1 - m].load(mo) >= kTuneTrials) {
    // cycles per pixel, compared without division
    double p0 = (double)tu.cycles[0].load(mo) * (double)tu.pixels[1].load(mo);
    double p1 = (double)tu.cycles[1].load(mo) * (double)tu.pixels[0].load(mo);
    tu.choice.store(p1 < p0 ? 1 : 0, mo);
    for (int32_t i = 0; i < 2; i++) tu.trials[i] = 0, tu.cycles[i] = 0, tu.pixels[i] = 0;
    tu.left.store(kTuneRows, mo);
  }
}

// ---------------------------------------------------------------- rectangles

namespace {
struct Source {
  const uint8_t* y;
  const uint8_t* c1;  // first decoded chroma plane
  const uint8_t* c2;  // second
  const uint8_t* alpha;
  int32_t pitch, rows;
};
}  // namespace

static Source MakeSource(const uint8_t* picture, const uint8_t* alpha, int32_t pitch,
                         int32_t rows) {
  Source s;
  s.y = picture;
  s.c1 = picture + (size_t)pitch * rows;
  s.c2 = s.c1 + (size_t)(pitch / 2) * (rows / 2);
  s.alpha = alpha;
  s.pitch = pitch, s.rows = rows;
  return s;
}

// Output lines per source row, for line placement and clipping.
static int32_t LineScale(uint32_t mode) {
  return (mode == 1 || mode == 2 || mode == 4 || mode == 5) ? 2 : 1;
}

// Converts the source rectangle to dest at (x, y); output lines at or past
// maxLine (counted from dest) are not written.
static void ConvertRows(const VornConvCtx* c, const VornConvBackend* be, uint32_t mode,
                        uint8_t* dest, int32_t x, int32_t y, intptr_t pitch, int32_t maxLine,
                        const Source& s, bool exchange, int32_t sx, int32_t sy, int32_t w,
                        int32_t h) {
  int32_t hs = LineScale(mode);
  bool doubled = mode == 1 || mode == 4;
  // Rows whose every written line fits.
  int64_t room = (int64_t)maxLine - y;
  int64_t fit = doubled ? room / 2 : hs == 2 ? (room + 1) / 2 : room;
  if (fit < h) h = fit < 0 ? 0 : (int32_t)fit;
  uint8_t* base = dest + (intptr_t)x * c->bpp + (intptr_t)y * pitch;
  const uint8_t* cv = s.c1;
  const uint8_t* cu = s.c2;
  // Files that store Cb before Cr: every output takes the planes the other
  // way round (swapping red and blue afterwards would mix up the factors).
  if (exchange) cv = s.c2, cu = s.c1;
  int32_t cpitch = s.pitch / 2;
  for (int32_t r = sy; r < sy + h;) {
    if (mode == 6 && (r & 1)) {
      r++;
      continue;
    }
    bool pair = mode != 6 && !(r & 1) && r + 1 < sy + h;
    VornRowArgs a;
    intptr_t co = (intptr_t)(r >> 1) * cpitch + (sx >> 1);
    a.y0 = s.y + (intptr_t)r * s.pitch + sx;
    a.y1 = pair ? a.y0 + s.pitch : nullptr;
    a.cv = cv + co, a.cu = cu + co;
    a.a0 = c->alpha ? s.alpha + (intptr_t)r * s.pitch + sx : nullptr;
    a.a1 = c->alpha && pair ? a.a0 + s.pitch : nullptr;
    a.n = w;
    a.odd = (uint8_t)(sx & 1);
    a.xodd = (uint8_t)(x & 1);
    a.d0 = base + (intptr_t)(r - sy) * hs * pitch;
    a.d1 = pair ? a.d0 + hs * pitch : nullptr;
    if (doubled)
      WriteDoubled(c, be, a, pitch);
    else
      Span(c, be, a);
    r += pair ? 2 : mode == 6 ? 2 : 1;
  }
}

// Planar 4:2:0 copy; the rectangle shrinks to even coordinates and sizes.
static void CopyPlanar(uint8_t* dest, int32_t x, int32_t y, int32_t pitch, int32_t destHeight,
                       const Source& s, int32_t sx, int32_t sy, int32_t w, int32_t h,
                       uint32_t flags) {
  int32_t x0 = (sx + 1) & ~1, y0 = (sy + 1) & ~1;
  int32_t x1 = (sx + w) & ~1, y1 = (sy + h) & ~1;
  if (x1 <= x0 || y1 <= y0 || destHeight <= 0) return;
  int32_t dx = x + (x0 - sx), dy = y + (y0 - sy);
  intptr_t ap = pitch < 0 ? -(intptr_t)pitch : pitch;
  intptr_t cp = ap / 2;
  int32_t ch = destHeight / 2;
  uint8_t* planes[3] = {dest, dest + ap * destHeight, dest + ap * destHeight + cp * ch};
  bool exchange = (flags & VORN_COPY_EXCHANGE) != 0;
  const uint8_t* src[3] = {s.y, exchange ? s.c2 : s.c1, exchange ? s.c1 : s.c2};
  bool gray = (flags & VORN_COPY_GRAY) != 0;
  for (int32_t p = 0; p < 3; p++) {
    int32_t sh = p ? 1 : 0;
    intptr_t dpitch = p ? cp : ap, spitch = s.pitch >> sh;
    int32_t lines = p ? ch : destHeight;
    int32_t bytes = (x1 - x0) >> sh;
    for (int32_t r = y0 >> sh; r < y1 >> sh; r++) {
      int32_t line = (dy >> sh) + r - (y0 >> sh);
      if (line >= lines) break;
      uint8_t* d = planes[p] + (pitch < 0 ? (intptr_t)(lines - 1 - line) : line) * dpitch + (dx >> sh);
      if (p && gray)
        memset(d, 128, bytes);
      else
        memcpy(d, src[p] + r * spitch + (x0 >> sh), bytes);
    }
  }
}

// Checks the picture geometry shared by both entry points.
// Sizes stay far from overflow: planes up to 1 << 20 a side, output
// positions up to 1 << 24.
static bool GoodPicture(const uint8_t* dest, const uint8_t* picture, int32_t pitch,
                        int32_t planePitch, int32_t planeRows, int32_t x, int32_t y) {
  return dest && picture && pitch != 0 && planePitch > 0 && planeRows > 0 &&
         !(planePitch & 1) && !(planeRows & 1) && planePitch <= (1 << 20) &&
         planeRows <= (1 << 20) && x >= 0 && y >= 0 && x <= (1 << 24) && y <= (1 << 24);
}

// One rectangle, any format, after validation.
static void ConvertArea(const VornConvBackend* be, const VornConvCtx* c, uint8_t* dest,
                        int32_t x, int32_t y, int32_t pitch, int32_t destHeight,
                        int32_t maxLine, const Source& s, int32_t sx, int32_t sy, int32_t w,
                        int32_t h, uint32_t flags) {
  uint32_t format = flags & VORN_COPY_FORMAT;
  if (format == VORN_FMT_NONE || w <= 0 || h <= 0) return;
  if (format == VORN_FMT_YV12) {
    CopyPlanar(dest, x, y, pitch, destHeight, s, sx, sy, w, h, flags);
    return;
  }
  uint32_t mode = (flags & VORN_COPY_MODE) >> VORN_COPY_MODE_SHIFT;
  if (mode == 7) mode = 0;
  ConvertRows(c, be, mode, dest, x, y, pitch, maxLine, s, (flags & VORN_COPY_EXCHANGE) != 0, sx,
              sy, w, h);
}

int32_t VornConvertRectWith(const VornConvBackend* be, uint8_t* dest, int32_t x, int32_t y,
                            int32_t pitch, int32_t destHeight, const uint8_t* picture,
                            const uint8_t* alpha, int32_t sx, int32_t sy, int32_t width,
                            int32_t height, int32_t planePitch, int32_t planeRows,
                            uint32_t flags) {
  if (!be || !GoodPicture(dest, picture, pitch, planePitch, planeRows, x, y)) return 0;
  if (sx < 0 || sy < 0 || width < 0 || height < 0 ||
      width > planePitch - sx || height > planeRows - sy || destHeight < 0)
    return 0;
  uint32_t format = flags & VORN_COPY_FORMAT;
  if (format == VORN_FMT_YV12 && destHeight == 0) return 0;
  VornConvCtx c;
  SetupCtx(&c, format, flags, alpha != nullptr);
  Source s = MakeSource(picture, alpha, planePitch, planeRows);
  ConvertArea(be, &c, dest, x, y, pitch, destHeight, destHeight ? destHeight : INT_MAX, s, sx, sy,
              width, height, flags);
  return 1;
}

int32_t VornConvertRect(uint8_t* dest, int32_t x, int32_t y, int32_t pitch, int32_t destHeight,
                        const uint8_t* picture, const uint8_t* alpha, int32_t sx, int32_t sy,
                        int32_t width, int32_t height, int32_t planePitch, int32_t planeRows,
                        uint32_t flags) {
  return VornConvertRectWith(VornConvBackendFor(flags), dest, x, y, pitch, destHeight, picture,
                             alpha, sx, sy, width, height, planePitch, planeRows, flags);
}

// ---------------------------------------------------------------- frames

int32_t VornConvertFrameWith(const VornConvBackend* be, uint8_t* dest, int32_t pitch,
                             int32_t destHeight, int32_t x, int32_t y, const uint8_t* picture,
                             const uint8_t* alpha, const uint8_t* blockMap, int32_t width,
                             int32_t height, int32_t planePitch, int32_t planeRows,
                             uint32_t flags) {
  if (!be || !GoodPicture(dest, picture, pitch, planePitch, planeRows, x, y)) return 0;
  if (width <= 0 || height <= 0 || width > planePitch || height > planeRows || destHeight <= 0 ||
      y >= destHeight)
    return 0;
  uint32_t format = flags & VORN_COPY_FORMAT;
  if (format == VORN_FMT_NONE) return 1;
  VornConvCtx c;
  SetupCtx(&c, format, flags, alpha != nullptr);
  Source s = MakeSource(picture, alpha, planePitch, planeRows);
  uint32_t mode = (flags & VORN_COPY_MODE) >> VORN_COPY_MODE_SHIFT;
  int32_t ws = c.wide ? 2 : 1, hs = format == VORN_FMT_YV12 ? 1 : LineScale(mode);
  if (format == VORN_FMT_YV12) ws = 1;
  // A bottom-up buffer: start at the line where y lands, going up.
  int32_t maxLine = destHeight;
  if (pitch < 0 && format != VORN_FMT_YV12) {
    dest += (intptr_t)-pitch * (destHeight - y - 1);
    maxLine = destHeight - y;
    y = 0;
  }
  int32_t bw = planePitch / 16, bh = planeRows / 16;
  int32_t blocks = bw * bh;
  bool whole = (flags & VORN_COPY_WHOLE) || !blockMap || blocks == 0;
  if (!whole) {
    int32_t len = 0;
    while (len < blocks && blockMap[len]) len++;
    whole = len >= blocks;
  }
  if (whole) {
    ConvertArea(be, &c, dest, x, y, pitch, destHeight, maxLine, s, 0, 0, width, height, flags);
    return 1;
  }
  int32_t wb = width / 16, hb = height / 16;
  for (int32_t b = 0; b < hb; b++) {
    const uint8_t* row = blockMap + (size_t)b * bw;
    for (int32_t k = 0; k < wb;) {
      if (!row[k]) {
        k++;
        continue;
      }
      int32_t k1 = k;
      while (k1 < wb && row[k1]) k1++;
      ConvertArea(be, &c, dest, x + 16 * k * ws, y + 16 * b * hs, pitch, destHeight, maxLine, s,
                  16 * k, 16 * b, 16 * (k1 - k), 16, flags);
      k = k1;
    }
  }
  if (width % 16 && hb > 0)
    ConvertArea(be, &c, dest, x + 16 * wb * ws, y, pitch, destHeight, maxLine, s, 16 * wb, 0,
                width % 16, 16 * hb, flags);
  if (height % 16)
    ConvertArea(be, &c, dest, x, y + 16 * hb * hs, pitch, destHeight, maxLine, s, 0, 16 * hb,
                width, height % 16, flags);
  return 1;
}

int32_t VornConvertFrame(uint8_t* dest, int32_t pitch, int32_t destHeight, int32_t x, int32_t y,
                         const uint8_t* picture, const uint8_t* alpha, const uint8_t* blockMap,
                         int32_t width, int32_t height, int32_t planePitch, int32_t planeRows,
                         uint32_t flags) {
  return VornConvertFrameWith(VornConvBackendFor(flags), dest, pitch, destHeight, x, y, picture,
                              alpha, blockMap, width, height, planePitch, planeRows, flags);
}

// ---------------------------------------------------------------- korutil entry points

void YUV_init(int32_t format) {
  (void)format;
  VornConvGetTables();
  VornCpuFlags();
}

int32_t YUV_blit_32bpp(void* dest, int32_t x, int32_t y, int32_t pitch, const void* planes,
                       int32_t sx, int32_t sy, int32_t width, int32_t height, int32_t planePitch,
                       int32_t planeRows, uint32_t flags) {
  return VornConvertRect((uint8_t*)dest, x, y, pitch, 0, (const uint8_t*)planes, nullptr, sx, sy,
                         width, height, planePitch, planeRows,
                         (flags & ~VORN_COPY_FORMAT) | VORN_FMT_BGR32);
}

int32_t YUV_blit_32abpp(void* dest, int32_t x, int32_t y, int32_t pitch, const void* planes,
                        int32_t sx, int32_t sy, int32_t width, int32_t height, int32_t planePitch,
                        int32_t planeRows, const void* alpha, uint32_t flags) {
  return VornConvertRect((uint8_t*)dest, x, y, pitch, 0, (const uint8_t*)planes,
                         (const uint8_t*)alpha, sx, sy, width, height, planePitch, planeRows,
                         (flags & ~VORN_COPY_FORMAT) | VORN_FMT_BGRA32);
}
