// SDL windows, screen modes and surfaces (shared by both back ends: the
// headless one runs them on SDL's dummy video driver).
#include <stdlib.h>
#include <string.h>

#include "platform/backend.h"

struct PlatSurface {
  PlatWindow* w;
  int kind;
  PlatPixelFormat fmt;
  int32_t width, height;
  SDL_Surface* mem;       // memory kind
  SDL_Texture* tex;       // texture kinds
  uint8_t* shadow;        // texture kinds: pixels kept between locks
  int32_t pitch;
  uint32_t sdlFormat;
  int locked;
};

static PlatWindow* g_windows[8];

PlatWindow* PlatWindowFromId(uint32_t id) {
  for (PlatWindow* w : g_windows)
    if (w && SDL_GetWindowID(w->win) == id) return w;
  return nullptr;
}

static int32_t Bits(uint32_t format) {
  int32_t bytes = SDL_BYTESPERPIXEL(format);
  return bytes == 4 ? 32 : (int32_t)SDL_BITSPERPIXEL(format);
}

void PlatScreenSize(int32_t* width, int32_t* height, int32_t* bits) {
  SDL_DisplayMode m = {};
  if (SDL_GetCurrentDisplayMode(0, &m) != 0) {
    m.w = 640;
    m.h = 480;
    m.format = SDL_PIXELFORMAT_RGB888;
  }
  if (width) *width = m.w;
  if (height) *height = m.h;
  if (bits) *bits = Bits(m.format);
}

PlatWindow* PlatWindowCreate(const char* title, unsigned flags) {
  int slot = -1;
  for (int i = 0; i < 8; i++)
    if (!g_windows[i]) {
      slot = i;
      break;
    }
  if (slot < 0) return nullptr;
  Uint32 f = SDL_WINDOW_HIDDEN;
  if (flags & PLAT_WIN_NOCAPTION) f |= SDL_WINDOW_BORDERLESS;
  if (flags & PLAT_WIN_TOPMOST) f |= SDL_WINDOW_ALWAYS_ON_TOP;
  SDL_Window* win = SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_UNDEFINED,
                                     SDL_WINDOWPOS_UNDEFINED, 32, 32, f);
  if (!win) return nullptr;
  PlatWindow* w = (PlatWindow*)calloc(1, sizeof(PlatWindow));
  if (!w) {
    SDL_DestroyWindow(win);
    return nullptr;
  }
  w->win = win;
  w->flags = flags;
  w->created = PlatClockMs();
  g_windows[slot] = w;
  if (flags & PLAT_WIN_NOCURSOR) SDL_ShowCursor(SDL_DISABLE);
  SDL_StartTextInput();
  PlatBack()->windowCreated(w);
  return w;
}

static void DropRenderer(PlatWindow* w) {
  if (w->backdropTex) SDL_DestroyTexture(w->backdropTex);
  if (w->renderer) SDL_DestroyRenderer(w->renderer);
  if (w->backdrop) SDL_FreeSurface(w->backdrop);
  w->backdropTex = nullptr;
  w->renderer = nullptr;
  w->backdrop = nullptr;
  w->shown = nullptr;
}

void PlatWindowDestroy(PlatWindow* w) {
  if (!w) return;
  for (PlatWindow*& slot : g_windows)
    if (slot == w) slot = nullptr;
  DropRenderer(w);
  if (w->flags & PLAT_WIN_NOCURSOR) SDL_ShowCursor(SDL_ENABLE);
  SDL_DestroyWindow(w->win);
  free(w->script);
  free(w);
}

void PlatWindowPlace(PlatWindow* w, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (!w) return;
  if (width > 0 && height > 0) SDL_SetWindowSize(w->win, width, height);
  SDL_SetWindowPosition(w->win, x, y);
}

void PlatWindowGetPlace(PlatWindow* w, int32_t* x, int32_t* y, int32_t* width, int32_t* height) {
  int a = 0, b = 0, c = 0, d = 0;
  if (w) {
    SDL_GetWindowPosition(w->win, &a, &b);
    SDL_GetWindowSize(w->win, &c, &d);
  }
  if (x) *x = a;
  if (y) *y = b;
  if (width) *width = c;
  if (height) *height = d;
}

void PlatWindowFrame(PlatWindow* w, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom) {
  int t = 0, l = 0, b = 0, r = 0;
  if (w && SDL_GetWindowBordersSize(w->win, &t, &l, &b, &r) != 0) t = l = b = r = 0;
  if (left) *left = l;
  if (top) *top = t;
  if (right) *right = r;
  if (bottom) *bottom = b;
}

void PlatWindowShow(PlatWindow* w, int show) {
  if (!w) return;
  if (show) {
    SDL_ShowWindow(w->win);
    SDL_RaiseWindow(w->win);
  } else {
    SDL_HideWindow(w->win);
  }
  PlatBack()->windowShown(w, show);
}

void PlatWindowFullscreen(PlatWindow* w, int on) {
  if (w) SDL_SetWindowFullscreen(w->win, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

int PlatWindowSetMode(PlatWindow* w, int32_t width, int32_t height, int32_t bits) {
  if (!w) return 0;
  int n = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < n; i++) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
    if (m.w != width || m.h != height || (bits && Bits(m.format) != bits)) continue;
    if (SDL_SetWindowDisplayMode(w->win, &m) != 0) continue;
    if (SDL_SetWindowFullscreen(w->win, SDL_WINDOW_FULLSCREEN) != 0) continue;
    return 1;
  }
  return 0;
}

void PlatWindowRestoreMode(PlatWindow* w) {
  if (w) SDL_SetWindowFullscreen(w->win, 0);
}

// ---------------------------------------------------------------- drawing
static void ClientSize(PlatWindow* w, int* cw, int* ch) { SDL_GetWindowSize(w->win, cw, ch); }

// Renderer mode: the backdrop, then the picture texture.
static void Compose(PlatWindow* w) {
  SDL_SetRenderDrawColor(w->renderer, 0, 0, 0, 255);
  SDL_RenderClear(w->renderer);
  if (w->backdrop) {
    int tw = 0, th = 0;
    if (w->backdropTex) SDL_QueryTexture(w->backdropTex, nullptr, nullptr, &tw, &th);
    if (!w->backdropTex || tw != w->backdrop->w || th != w->backdrop->h) {
      if (w->backdropTex) SDL_DestroyTexture(w->backdropTex);
      w->backdropTex = SDL_CreateTexture(w->renderer, SDL_PIXELFORMAT_RGB888,
                                         SDL_TEXTUREACCESS_STREAMING, w->backdrop->w, w->backdrop->h);
    }
    if (w->backdropTex) {
      SDL_UpdateTexture(w->backdropTex, nullptr, w->backdrop->pixels, w->backdrop->pitch);
      SDL_RenderCopy(w->renderer, w->backdropTex, nullptr, nullptr);
    }
  }
  if (w->shown && w->shown->tex) {
    SDL_Rect d = {w->shownDst.x, w->shownDst.y, w->shownDst.w, w->shownDst.h};
    SDL_RenderCopy(w->renderer, w->shown->tex, nullptr, &d);
  }
  SDL_RenderPresent(w->renderer);
}

// The surface that takes client drawing: the backdrop in renderer mode,
// else the window surface.
static SDL_Surface* Canvas(PlatWindow* w) {
  if (!w->renderer) return SDL_GetWindowSurface(w->win);
  int cw, ch;
  ClientSize(w, &cw, &ch);
  if (!w->backdrop || w->backdrop->w != cw || w->backdrop->h != ch) {
    if (w->backdrop) SDL_FreeSurface(w->backdrop);
    w->backdrop = SDL_CreateRGBSurfaceWithFormat(0, cw, ch, 32, SDL_PIXELFORMAT_RGB888);
    if (w->backdrop) SDL_FillRect(w->backdrop, nullptr, 0);
  }
  return w->backdrop;
}

static void Present(PlatWindow* w, const SDL_Rect* r) {
  if (w->renderer) {
    Compose(w);
  } else if (r) {
    SDL_UpdateWindowSurfaceRects(w->win, r, 1);
  } else {
    SDL_UpdateWindowSurface(w->win);
  }
}

static SDL_Rect Clip(PlatWindow* w, const PlatRect* r) {
  int cw, ch;
  ClientSize(w, &cw, &ch);
  SDL_Rect c = {0, 0, cw, ch};
  if (!r) return c;
  SDL_Rect in = {r->x, r->y, r->w, r->h}, out = {0, 0, 0, 0};
  SDL_IntersectRect(&in, &c, &out);
  return out;
}

void PlatWindowFill(PlatWindow* w, const PlatRect* r, uint32_t rgb) {
  if (!w) return;
  SDL_Surface* s = Canvas(w);
  if (!s) return;
  SDL_Rect c = Clip(w, r);
  if (c.w <= 0 || c.h <= 0) return;
  SDL_FillRect(s, &c, SDL_MapRGB(s->format, rgb >> 16 & 255, rgb >> 8 & 255, rgb & 255));
  Present(w, &c);
}

void PlatWindowDraw(PlatWindow* w, int32_t x, int32_t y, int32_t width, int32_t height,
                    const uint32_t* pixels, int32_t pitch) {
  if (!w || !pixels || width <= 0 || height <= 0) return;
  SDL_Surface* s = Canvas(w);
  if (!s) return;
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom((void*)pixels, width, height, 32, pitch,
                                                        SDL_PIXELFORMAT_RGB888);
  if (!src) return;
  SDL_Rect d = {x, y, width, height};
  SDL_BlitSurface(src, nullptr, s, &d);
  SDL_FreeSurface(src);
  SDL_Rect c = Clip(w, nullptr);
  SDL_Rect u;
  SDL_Rect want = {x, y, width, height};
  if (SDL_IntersectRect(&want, &c, &u)) Present(w, &u);
}

int PlatWindowRead(PlatWindow* w, const PlatRect* r, uint32_t* out) {
  if (!w || !r || !out || r->w <= 0 || r->h <= 0) return 0;
  SDL_Rect want = {r->x, r->y, r->w, r->h};
  if (w->renderer) {
    Compose(w);
    return SDL_RenderReadPixels(w->renderer, &want, SDL_PIXELFORMAT_RGB888, out, r->w * 4) == 0;
  }
  SDL_Surface* s = SDL_GetWindowSurface(w->win);
  if (!s) return 0;
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormatFrom(out, r->w, r->h, 32, r->w * 4,
                                                        SDL_PIXELFORMAT_RGB888);
  if (!dst) return 0;
  memset(out, 0, (size_t)r->w * r->h * 4);
  int ok = SDL_BlitSurface(s, &want, dst, nullptr) == 0;
  SDL_FreeSurface(dst);
  return ok;
}

// ---------------------------------------------------------------- surfaces
static void FormatOf(uint32_t sdl, PlatPixelFormat* f) {
  *f = PlatPixelFormat{};
  if (SDL_ISPIXELFORMAT_FOURCC(sdl)) {
    f->fourcc = sdl;
    return;
  }
  int bpp;
  Uint32 r, g, b, a;
  SDL_PixelFormatEnumToMasks(sdl, &bpp, &r, &g, &b, &a);
  f->bits = SDL_BYTESPERPIXEL(sdl) * 8;
  f->red = r;
  f->green = g;
  f->blue = b;
  f->alpha = a;
}

static SDL_Renderer* RendererFor(PlatWindow* w, int kind) {
  if (w->renderer) {
    SDL_RendererInfo info;
    SDL_GetRendererInfo(w->renderer, &info);
    bool soft = (info.flags & SDL_RENDERER_SOFTWARE) != 0;
    if ((kind == PLAT_SURFACE_ACCEL && soft) || (kind == PLAT_SURFACE_SOFT && !soft)) return nullptr;
    return w->renderer;
  }
  Uint32 f = kind == PLAT_SURFACE_ACCEL ? SDL_RENDERER_ACCELERATED
             : kind == PLAT_SURFACE_SOFT ? SDL_RENDERER_SOFTWARE
                                         : 0;
  SDL_Renderer* r = SDL_CreateRenderer(w->win, -1, f);
  if (!r) return nullptr;
  SDL_RendererInfo info;
  if (kind == PLAT_SURFACE_ACCEL && SDL_GetRendererInfo(r, &info) == 0 &&
      (info.flags & SDL_RENDERER_SOFTWARE)) {
    SDL_DestroyRenderer(r);
    return nullptr;
  }
  w->renderer = r;
  return r;
}

PlatSurface* PlatSurfaceCreate(PlatWindow* w, int kind, uint32_t fourcc, int32_t width,
                               int32_t height) {
  if (!w || kind < PLAT_SURFACE_WINDOW || kind > PLAT_SURFACE_SOFT) return nullptr;
  PlatSurface* s = (PlatSurface*)calloc(1, sizeof(PlatSurface));
  if (!s) return nullptr;
  s->w = w;
  s->kind = kind;
  s->width = width;
  s->height = height;
  if (kind == PLAT_SURFACE_WINDOW || kind == PLAT_SURFACE_MEMORY) {
    if (fourcc || w->renderer) {
      free(s);
      return nullptr;
    }
    SDL_Surface* ws = SDL_GetWindowSurface(w->win);
    if (!ws) {
      free(s);
      return nullptr;
    }
    s->sdlFormat = ws->format->format;
    FormatOf(s->sdlFormat, &s->fmt);
    if (kind == PLAT_SURFACE_MEMORY) {
      if (width <= 0 || height <= 0) {
        free(s);
        return nullptr;
      }
      int bytes = ws->format->BytesPerPixel;
      // Rows padded to 32 bytes, as the pixel width says.
      int32_t padded = (int32_t)(((int64_t)width * bytes + 31) / 32 * 32 / bytes);
      s->mem = SDL_CreateRGBSurfaceWithFormat(0, padded, height, bytes * 8, s->sdlFormat);
      if (!s->mem) {
        free(s);
        return nullptr;
      }
      SDL_FillRect(s->mem, nullptr, 0);
    }
    return s;
  }
  if (width <= 0 || height <= 0) {
    free(s);
    return nullptr;
  }
  if (w->shown) {  // one picture texture per window
    free(s);
    return nullptr;
  }
  bool fresh = w->renderer == nullptr;
  SDL_Renderer* r = RendererFor(w, kind);
  if (!r) {
    free(s);
    return nullptr;
  }
  uint32_t fmt = fourcc == PLAT_FOURCC('Y', 'V', '1', '2')   ? SDL_PIXELFORMAT_YV12
                 : fourcc == PLAT_FOURCC('Y', 'U', 'Y', '2') ? SDL_PIXELFORMAT_YUY2
                 : fourcc == PLAT_FOURCC('U', 'Y', 'V', 'Y') ? SDL_PIXELFORMAT_UYVY
                 : fourcc == 0                                ? SDL_PIXELFORMAT_RGB888
                                                              : 0;
  int32_t w2 = fourcc ? (width + 1) & ~1 : width, h2 = fourcc ? (height + 1) & ~1 : height;
  s->tex = fmt ? SDL_CreateTexture(r, fmt, SDL_TEXTUREACCESS_STREAMING, w2, h2) : nullptr;
  if (!s->tex) {
    if (fresh) DropRenderer(w);
    free(s);
    return nullptr;
  }
  s->width = w2;
  s->height = h2;
  s->sdlFormat = fmt;
  FormatOf(fmt, &s->fmt);
  s->pitch = fmt == SDL_PIXELFORMAT_YV12 ? w2 : fmt == SDL_PIXELFORMAT_RGB888 ? w2 * 4 : w2 * 2;
  size_t bytes = (size_t)s->pitch * h2;
  if (fmt == SDL_PIXELFORMAT_YV12) bytes += 2 * (size_t)(w2 / 2) * (h2 / 2);
  s->shadow = (uint8_t*)calloc(1, bytes);
  if (!s->shadow) {
    SDL_DestroyTexture(s->tex);
    if (fresh) DropRenderer(w);
    free(s);
    return nullptr;
  }
  w->shown = s;
  w->shownDst = PlatRect{0, 0, width, height};
  return s;
}

void PlatSurfaceDestroy(PlatSurface* s) {
  if (!s) return;
  PlatWindow* w = s->w;
  if (s->mem) SDL_FreeSurface(s->mem);
  if (s->tex) {
    SDL_DestroyTexture(s->tex);
    if (w->shown == s) DropRenderer(w);
  }
  free(s->shadow);
  free(s);
}

void PlatSurfaceFormat(PlatSurface* s, PlatPixelFormat* f) {
  if (s && f) *f = s->fmt;
}

void PlatSurfaceSize(PlatSurface* s, int32_t* width, int32_t* height) {
  if (width) *width = s ? s->width : 0;
  if (height) *height = s ? s->height : 0;
}

int PlatSurfaceLock(PlatSurface* s, uint8_t** pixels, int32_t* pitch) {
  if (!s || !pixels || !pitch) return 0;
  if (s->kind == PLAT_SURFACE_WINDOW) {
    SDL_Surface* ws = SDL_GetWindowSurface(s->w->win);
    if (!ws || ws->format->format != s->sdlFormat) return 0;
    if (SDL_MUSTLOCK(ws) && SDL_LockSurface(ws) != 0) return 0;
    *pixels = (uint8_t*)ws->pixels;
    *pitch = ws->pitch;
    s->width = ws->w;
    s->height = ws->h;
  } else if (s->mem) {
    *pixels = (uint8_t*)s->mem->pixels;
    *pitch = s->mem->pitch;
  } else {
    *pixels = s->shadow;
    *pitch = s->pitch;
  }
  s->locked = 1;
  return 1;
}

void PlatSurfaceUnlock(PlatSurface* s) {
  if (!s || !s->locked) return;
  s->locked = 0;
  if (s->kind == PLAT_SURFACE_WINDOW) {
    SDL_Surface* ws = SDL_GetWindowSurface(s->w->win);
    if (ws && SDL_MUSTLOCK(ws)) SDL_UnlockSurface(ws);
  }
}

void PlatSurfaceShow(PlatSurface* s, const PlatRect* src, const PlatRect* dst, int n) {
  if (!s || n <= 0 || !src || !dst) return;
  PlatWindow* w = s->w;
  if (s->kind == PLAT_SURFACE_WINDOW) {
    SDL_Rect r[16];
    int m = 0;
    for (int i = 0; i < n && m < 16; i++) {
      r[m] = Clip(w, &dst[i]);
      if (r[m].w > 0 && r[m].h > 0) m++;
    }
    if (m) SDL_UpdateWindowSurfaceRects(w->win, r, m);
    return;
  }
  if (s->mem) {
    SDL_Surface* ws = SDL_GetWindowSurface(w->win);
    if (!ws) return;
    SDL_Rect r[16];
    int m = 0;
    for (int i = 0; i < n && m < 16; i++) {
      SDL_Rect a = {src[i].x, src[i].y, src[i].w, src[i].h};
      SDL_Rect b = {dst[i].x, dst[i].y, dst[i].w, dst[i].h};
      if (a.w == b.w && a.h == b.h) {
        SDL_BlitSurface(s->mem, &a, ws, &b);
      } else {
        SDL_BlitScaled(s->mem, &a, ws, &b);
      }
      r[m] = Clip(w, &dst[i]);
      if (r[m].w > 0 && r[m].h > 0) m++;
    }
    if (m) SDL_UpdateWindowSurfaceRects(w->win, r, m);
    return;
  }
  // Textures: the whole picture goes up, placed and scaled as the first
  // rectangle pair says.
  SDL_UpdateTexture(s->tex, nullptr, s->shadow, s->pitch);
  double sx = src[0].w ? (double)dst[0].w / src[0].w : 1, sy = src[0].h ? (double)dst[0].h / src[0].h : 1;
  PlatRect pic = {dst[0].x - (int32_t)(src[0].x * sx + 0.5), dst[0].y - (int32_t)(src[0].y * sy + 0.5),
                  (int32_t)(s->width * sx + 0.5), (int32_t)(s->height * sy + 0.5)};
  w->shownDst = pic;
  Compose(w);
}
