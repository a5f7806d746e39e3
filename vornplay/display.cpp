// Display surfaces and blitting styles over the platform's window surfaces
// (styles 1 and 2) and renderer textures (styles 3 to 10).
#include "vornplay/display.h"

#include <stdlib.h>
#include <string.h>

#include "vorn/convert.h"

static const char* g_error = "";
static int32_t g_modeWidth, g_modeHeight, g_modeDepth;
static int g_modeHeld;  // displays holding a mode change

static const char* const kStyleNames[11] = {
    "",
    "DirectDraw primary surface",
    "DIB Section",
    "DirectDraw YV12 overlay",
    "DirectDraw YUY2 overlay",
    "DirectDraw UYVY overlay",
    "DirectDraw YV12 off-screen surface",
    "DirectDraw YUY2 off-screen surface",
    "DirectDraw UYVY off-screen surface",
    "DirectDraw RGB off-screen video surface",
    "DirectDraw RGB off-screen system surface",
};

// Surface kind and FourCC of styles 3-10.
struct StyleSurface {
  int kind;
  uint32_t fourcc;
};
static const StyleSurface kStyleSurfaces[11] = {
    {0, 0},
    {PLAT_SURFACE_WINDOW, 0},
    {PLAT_SURFACE_MEMORY, 0},
    {PLAT_SURFACE_TEXTURE, PLAT_FOURCC('Y', 'V', '1', '2')},
    {PLAT_SURFACE_TEXTURE, PLAT_FOURCC('Y', 'U', 'Y', '2')},
    {PLAT_SURFACE_TEXTURE, PLAT_FOURCC('U', 'Y', 'V', 'Y')},
    {PLAT_SURFACE_ACCEL, PLAT_FOURCC('Y', 'V', '1', '2')},
    {PLAT_SURFACE_ACCEL, PLAT_FOURCC('Y', 'U', 'Y', '2')},
    {PLAT_SURFACE_ACCEL, PLAT_FOURCC('U', 'Y', 'V', 'Y')},
    {PLAT_SURFACE_ACCEL, 0},
    {PLAT_SURFACE_SOFT, 0},
};

// Depth lists of the mode codes: 1 at least high colour, 2 true colour
// first, 3 true colour only; plain depths are tried once.
static int DepthList(int32_t code, int32_t* out) {
  static const int32_t kLists[4][3] = {{0}, {16, 32, 24}, {32, 24, 16}, {32, 24, 0}};
  if (code >= 1 && code <= 3) {
    int n = 0;
    for (int i = 0; i < 3; i++)
      if (kLists[code][i]) out[n++] = kLists[code][i];
    return n;
  }
  out[0] = code;
  return 1;
}

void PlayerDisplaySetMode(int32_t width, int32_t height, int32_t depth) {
  g_modeWidth = width;
  g_modeHeight = height;
  g_modeDepth = depth;
}

const char* PlayerDisplayError(void) { return g_error; }

const char* PlayerDisplayStyleName(const PlayerDisplay* d) {
  return d && d->style >= 1 && d->style <= 10 ? kStyleNames[d->style] : "";
}

int32_t PlayerCopyFormat(const PlatPixelFormat* f) {
  if (f->fourcc == PLAT_FOURCC('U', 'Y', 'V', 'Y')) return VORN_FMT_UYVY;
  if (f->fourcc == PLAT_FOURCC('Y', 'V', '1', '2')) return VORN_FMT_YV12;
  if (f->fourcc == PLAT_FOURCC('Y', 'U', 'Y', '2')) return VORN_FMT_YUY2;
  if (f->fourcc) return -1;
  switch (f->bits) {
    case 8: return 0;
    case 24: return f->red == 0xFF0000 ? VORN_FMT_BGR24 : VORN_FMT_RGB24;
    case 32:
      if (f->alpha) return f->red == 0xFF0000 ? VORN_FMT_BGRA32 : VORN_FMT_RGBA32;
      return f->red == 0xFF0000 ? VORN_FMT_BGR32 : VORN_FMT_RGB32;
    case 16:
      if (f->red == 0xF800 && f->green == 0x07E0 && f->blue == 0x001F) return VORN_FMT_RGB565;
      if (f->red == 0x7C00 && f->green == 0x03E0 && f->blue == 0x001F)
        return f->alpha == 0x8000 ? VORN_FMT_ARGB1555 : VORN_FMT_RGB555;
      if (f->alpha == 0xF000 && f->red == 0x0F00 && f->green == 0x00F0 && f->blue == 0x000F)
        return VORN_FMT_ARGB4444;
      return -1;
  }
  return -1;
}

uint32_t PlayerStretchKind(int32_t target, int32_t size, uint32_t bit) {
  if (target == size || target <= 0 || size <= 0) return 0;
  if (target % size == 0) return bit * 8;
  if (size % target == 0) return bit * 2;
  return target > size ? bit * 4 : bit;
}

// Mode change for a display that asks for one; 1 when this display holds it.
static int ChangeMode(PlatWindow* w) {
  if (!g_modeWidth || !g_modeHeight || !g_modeDepth) return 0;
  int32_t depths[3];
  int n = DepthList(g_modeDepth, depths);
  int ok = 0;
  for (int i = 0; i < n && !ok; i++) ok = PlatWindowSetMode(w, g_modeWidth, g_modeHeight, depths[i]);
  if (!ok) ok = PlatWindowSetMode(w, g_modeWidth, g_modeHeight, 0);
  g_modeWidth = g_modeHeight = g_modeDepth = 0;
  if (ok) g_modeHeld++;
  return ok;
}

static void ReleaseMode(PlayerDisplay* d) {
  if (!d->holdsMode) return;
  d->holdsMode = 0;
  if (--g_modeHeld <= 0) {
    g_modeHeld = 0;
    PlatWindowRestoreMode(d->window);
  }
}

// Black for the surface's format (YUV black is luminance 16 / 0 with
// chroma 128).
static void ClearPixels(PlayerDisplay* d) {
  uint32_t fmt = d->copyFlags & VORN_COPY_FORMAT;
  if (fmt == VORN_FMT_RGB24 || (fmt >= VORN_FMT_RGB32 && fmt <= VORN_FMT_ARGB1555)) return;
  uint8_t* p = d->pixels;
  int32_t pitch = d->pitch;
  if (!p) return;
  if (fmt == VORN_FMT_YUY2 || fmt == VORN_FMT_UYVY) {
    uint32_t v = fmt == VORN_FMT_YUY2 ? 0x80008000u : 0x00800080u;
    for (int32_t y = 0; y < d->height; y++)
      for (int32_t x = 0; x + 1 < d->width + 1; x += 2) memcpy(p + (size_t)y * pitch + x * 2, &v, 4);
    return;
  }
  if (fmt == VORN_FMT_YV12) {
    memset(p, 16, (size_t)pitch * d->lockHeight);
    memset(p + (size_t)pitch * d->lockHeight, 128, 2 * (size_t)(pitch / 2) * (d->lockHeight / 2));
    return;
  }
  int32_t bytes = d->primary ? d->bytesPerPixel * d->width : pitch;
  for (int32_t y = 0; y < d->height; y++) memset(p + (size_t)y * pitch, 0, (size_t)bytes);
}

// Tries one style; 1 on success (d->surface set). A failure may set the
// error text.
static int TryStyle(PlayerDisplay* d, int style, uint32_t want) {
  const StyleSurface& ss = kStyleSurfaces[style];
  if (style == 1 && want) return 0;
  if (style >= 3 && (want & ~d->stretchCaps & PLAYER_STRETCH_MASK)) return 0;
  if (style == 2) {
    int32_t bits;
    PlatScreenSize(nullptr, nullptr, &bits);
    if (bits < 16) {
      g_error = "256 color mode not supported.";
      return 0;
    }
  }
  PlatSurface* s = PlatSurfaceCreate(d->window, ss.kind, ss.fourcc, d->width, d->height);
  if (!s) {
    if (style == 2) g_error = "Unable to create DIBSection.";
    return 0;
  }
  PlatPixelFormat f;
  PlatSurfaceFormat(s, &f);
  int32_t fmt = PlayerCopyFormat(&f);
  if (fmt <= 0) {
    PlatSurfaceDestroy(s);
    if (fmt < 0) g_error = "Video mode not supported.";
    return 0;
  }
  d->surface = s;
  d->style = style;
  d->copyFlags = (uint32_t)fmt;
  d->bytesPerPixel = VornFormatBytes((uint32_t)fmt);
  d->primary = style == 1;
  d->overlay = style >= 3 && style <= 5;
  d->offscreen = style >= 6;
  d->stretchCaps = style == 1 ? 0u : (uint32_t)PLAYER_STRETCH_MASK;
  if (style == 1 || d->overlay) d->copyFlags |= PLAYER_COPY_VISIBLE;
  if ((style == 2 || d->offscreen) && want) d->copyFlags |= PLAYER_COPY_STRETCHED;
  if (style != 1 && PlayerDisplayLock(d)) {
    ClearPixels(d);
    PlayerDisplayUnlock(d);
  }
  return 1;
}

PlayerDisplay* PlayerDisplayOpen(PlatWindow* window, int32_t width, int32_t height, uint32_t flags) {
  g_error = "";
  if (!window || width <= 0 || height <= 0) {
    g_error = "No capable blitting style available.";
    return nullptr;
  }
  PlayerDisplay* d = (PlayerDisplay*)calloc(1, sizeof(PlayerDisplay));
  if (!d) {
    g_error = "Out of memory.";
    return nullptr;
  }
  d->window = window;
  d->width = width;
  d->height = height;
  d->stretchCaps = PLAYER_STRETCH_MASK;
  if (flags & PLAYER_CHANGE_MODE) d->holdsMode = ChangeMode(window);
  PlatScreenSize(&d->screenWidth, &d->screenHeight, &d->screenBits);
  uint32_t want = flags & PLAYER_STRETCH_MASK;
  int style = (int)(flags & PLAYER_STYLE_MASK);
  int ok = 0;
  if (style > 10) {
    g_error = "No capable blitting style available.";
  } else if (style) {
    ok = TryStyle(d, style, want);
  } else {
    for (int s = 1; s <= 10 && !ok; s++) {
      g_error = "";
      ok = TryStyle(d, s, want);
    }
    if (!ok) g_error = "";
  }
  if (!ok) {
    if (!*g_error)
      g_error = d->screenBits >= 1 && d->screenBits <= 8 ? "256 color mode not supported."
                                                         : "No capable blitting style available.";
    ReleaseMode(d);
    free(d);
    return nullptr;
  }
  int32_t l, t, r, b;
  PlatWindowFrame(window, &l, &t, &r, &b);
  d->frameLeft = l;
  d->frameTop = t;
  d->frameWidth = l + r;
  d->frameHeight = t + b;
  d->outputWidth = width;
  d->outputHeight = height;
  PlayerDisplaySetPosition(d, 0, 0);
  PlayerDisplaySetStretch(d, width, height);
  return d;
}

void PlayerDisplayClose(PlayerDisplay* d) {
  if (!d) return;
  PlatSurfaceDestroy(d->surface);
  ReleaseMode(d);
  memset(d, 0, sizeof *d);
  free(d);
}

int PlayerDisplayLock(PlayerDisplay* d) {
  if (!d || !d->surface) return 0;
  uint8_t* p;
  int32_t pitch;
  if (!PlatSurfaceLock(d->surface, &p, &pitch)) {
    d->copyFlags |= PLAYER_COPY_WHOLE;
    return 0;
  }
  if (d->primary) {
    // Written in place: the picture must lie inside the client area.
    int32_t cw, ch;
    PlatWindowGetPlace(d->window, nullptr, nullptr, &cw, &ch);
    if (d->clientX < 0 || d->clientY < 0 || d->clientX + d->width > cw ||
        d->clientY + d->height > ch) {
      PlatSurfaceUnlock(d->surface);
      d->copyFlags |= PLAYER_COPY_WHOLE;
      return 0;
    }
    p += (size_t)d->clientY * pitch + (size_t)d->clientX * d->bytesPerPixel;
  }
  d->pixels = p;
  d->pitch = pitch;
  // YV12 planes follow each other after the surface's (even) rows.
  d->lockHeight = d->height;
  if ((d->copyFlags & VORN_COPY_FORMAT) == VORN_FMT_YV12) PlatSurfaceSize(d->surface, nullptr, &d->lockHeight);
  return 1;
}

static void ShowWhole(PlayerDisplay* d) {
  PlatRect src = {0, 0, d->width, d->height};
  PlatRect dst = {d->clientX, d->clientY, d->outputWidth, d->outputHeight};
  PlatSurfaceShow(d->surface, &src, &dst, 1);
}

void PlayerDisplayUnlock(PlayerDisplay* d) {
  if (!d || !d->pixels) return;
  PlatSurfaceUnlock(d->surface);
  d->pixels = nullptr;
  d->pitch = 0;
  d->copyFlags &= ~(uint32_t)PLAYER_COPY_WHOLE;
  // The primary and the overlays show what was written at once.
  if (d->primary || d->overlay) {
    ShowWhole(d);
    d->overlayShown = d->overlay;
  }
}

void PlayerDisplayShow(PlayerDisplay* d, const VornRect* rects, int32_t count) {
  if (!d || count == 0) return;
  // The primary is shown as written; only a repaint shows it again.
  if (d->primary && rects) return;
  if (!rects || d->overlay) {
    ShowWhole(d);
    return;
  }
  PlatRect src[VORN_MAX_RECTS], dst[VORN_MAX_RECTS];
  int n = 0;
  for (int32_t i = 0; i < count && i < VORN_MAX_RECTS; i++) {
    const VornRect& r = rects[i];
    src[n] = PlatRect{r.x, r.y, r.width, r.height};
    int32_t x0 = (int32_t)((int64_t)r.x * d->outputWidth / d->width);
    int32_t y0 = (int32_t)((int64_t)r.y * d->outputHeight / d->height);
    int32_t x1 = (int32_t)((int64_t)(r.x + r.width) * d->outputWidth / d->width);
    int32_t y1 = (int32_t)((int64_t)(r.y + r.height) * d->outputHeight / d->height);
    dst[n] = PlatRect{d->clientX + x0, d->clientY + y0, x1 - x0, y1 - y0};
    if (r.width > 0 && r.height > 0) n++;
  }
  PlatSurfaceShow(d->surface, src, dst, n);
}

int PlayerDisplaySetStretch(PlayerDisplay* d, int32_t width, int32_t height) {
  if (!d) return 0;
  if (width <= 0) width = d->screenWidth;
  if (height <= 0) height = d->screenHeight;
  int ok = 1;
  uint32_t kw = PlayerStretchKind(width, d->width, PLAYER_W_REDUCE);
  uint32_t kh = PlayerStretchKind(height, d->height, PLAYER_H_REDUCE);
  if ((kw & d->stretchCaps) == kw)
    d->outputWidth = width;
  else
    ok = 0;
  if ((kh & d->stretchCaps) == kh)
    d->outputHeight = height;
  else
    ok = 0;
  d->windowWidth = d->frameWidth + d->outputWidth;
  d->windowHeight = d->frameHeight + d->outputHeight;
  return ok;
}

void PlayerDisplaySetPosition(PlayerDisplay* d, int32_t x, int32_t y) {
  if (!d) return;
  int32_t wx, wy;
  PlatWindowGetPlace(d->window, &wx, &wy, nullptr, nullptr);
  d->clientX = x;
  d->clientY = y;
  d->screenX = wx + x;
  d->screenY = wy + y;
  d->copyFlags |= PLAYER_COPY_WHOLE;
}

void PlayerDisplayAdjustWindow(PlayerDisplay* d, int32_t* x, int32_t* y) {
  if (!d || !x || !y) return;
  int32_t ax = *x + d->frameLeft, ay = *y + d->frameTop;
  if (d->primary) {
    int32_t mx = d->screenWidth - d->outputWidth, my = d->screenHeight - d->outputHeight;
    if (ax > mx) ax = mx;
    if (ay > my) ay = my;
    if (ax < 0) ax = 0;
    if (ay < 0) ay = 0;
  }
  int32_t bytes = (d->screenBits + 7) / 8;
  int32_t align = bytes == 4 ? 2 : bytes == 3 ? 8 : 4;
  ax = (ax + align - 1) / align * align;
  *x = ax - d->frameLeft;
  *y = ay - d->frameTop;
}

void PlayerDisplayClear(PlayerDisplay* d, uint32_t) {
  if (!PlayerDisplayLock(d)) return;
  uint32_t fmt = d->copyFlags & VORN_COPY_FORMAT;
  // Every RGB surface goes black here, whatever its alpha layout.
  if (fmt != VORN_FMT_YUY2 && fmt != VORN_FMT_UYVY && fmt != VORN_FMT_YV12) {
    int32_t bytes = d->primary ? d->bytesPerPixel * d->width : d->pitch;
    for (int32_t y = 0; y < d->height; y++) memset(d->pixels + (size_t)y * d->pitch, 0, (size_t)bytes);
  } else {
    ClearPixels(d);
  }
  PlayerDisplayUnlock(d);
  PlayerDisplayShow(d, nullptr, 1);
}
