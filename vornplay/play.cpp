// The player's spine: start-up, the per-file loop, the message loop with
// its frame steps, the end card and the exit.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vornplay/endcard.h"
#include "vornplay/font.h"
#include "vornplay/player.h"
#include "vornplay/sound.h"

static PlayerState g_st;

const PlayerState* VornPlayState(void) { return &g_st; }

static const char kUrl[] = "https://kor-video-tools.example/vornplay?from=vornplay&ver=1.0q";
static const char kStatsSample[] =
    "Fre: 2000, FPS: 100.0, Buf: 100%, Vid: 55%, Aud: 55%, Blit: 55%, Read: 55%, Back: 55%, Rate: 1000000";
enum { kStatsPad = 2 };

// Video mode tables of /D.
static const int32_t kModeWidths[13] = {320, 320, 320, 400, 480, 512, 640, 640, 800, 960, 1024, 1152, 1280};
static const int32_t kModeHeights[13] = {200, 240, 400, 300, 360, 384, 400, 480, 600, 720, 768, 864, 1024};
static const int32_t kModeDepths[7] = {16, 24, 32, 8, 1, 2, 3};

static int32_t StatsHeight() { return PLAYER_FONT_CELL_H + 2 * kStatsPad; }

static void Box(const char* text, const char* caption, unsigned flags) { PlatMessageBox(caption, text, flags); }

static void Destroy(PlayerState* st) { st->quit = 1; }

static void BlackOut(PlayerState* st) {
  if (st->window) PlatWindowFill(st->window, nullptr, 0);
}

// Black everywhere but the picture, whose pixels may be the window's own
// (the primary style) and are shown again after it.
static void BlackOutAround(PlayerState* st) {
  PlayerDisplay* d = st->display;
  if (!d) {
    BlackOut(st);
    return;
  }
  int32_t x0 = d->clientX, y0 = d->clientY, x1 = x0 + d->outputWidth, y1 = y0 + d->outputHeight;
  const PlatRect bands[4] = {{0, 0, 4096, y0}, {0, y1, 4096, 4096}, {0, y0, x0, y1 - y0}, {x1, y0, 4096, y1 - y0}};
  for (const PlatRect& r : bands)
    if (r.w > 0 && r.h > 0) PlatWindowFill(st->window, &r, 0);
}

static void TakeSummary(PlayerState* st) {
  VornReadTotals(st->handle, &st->summary);
  st->haveSummary = 1;
}

// ---------------------------------------------------------------- window procedure
static void OnEvent(PlayerState* st, const PlatEvent& e) {
  uint32_t mask = (uint32_t)st->sw.controls;
  if ((e.type == PLAT_EVENT_CHAR || e.type == PLAT_EVENT_FOCUS || e.type == PLAT_EVENT_UNFOCUS) &&
      st->eventCount < 32)
    st->eventFrames[st->eventCount++] = st->framesShown;
  switch (e.type) {
    case PLAT_EVENT_CHAR:
      if (e.code == ' ') {
        if (!(mask & 1)) {
          st->paused = ~st->paused;
          VornSetPaused(st->handle, st->paused ? 1 : 0);
        }
      } else if (e.code == 13) {
        if (!(mask & 1)) VornSetPaused(st->handle, 0);
      } else if (e.code == '.') {
        if (!(mask & 2) && !st->endCard) st->endFlag = 1;
      } else if (e.code == 27) {
        if (!(mask & 4)) {
          st->listLoops = 1;
          st->line[0] = 0;
          st->stop = st->endCard ? 2 : 1;
          if (!st->endCard) TakeSummary(st);
          VornSetPaused(st->handle, 0);
        }
      }
      break;
    case PLAT_EVENT_FOCUS:
      if (!st->sw.noFocusPause) VornSetPaused(st->handle, st->paused ? 1 : 0);
      st->focus = 1;
      break;
    case PLAT_EVENT_UNFOCUS:
      if (!st->sw.noFocusPause) VornSetPaused(st->handle, 1);
      st->focus = 0;
      break;
    case PLAT_EVENT_PAINT:
      if (!st->noBlackFill) BlackOutAround(st);
      PlayerDisplayShow(st->display, nullptr, 1);
      break;
    case PLAT_EVENT_MOVED:
      PlayerDisplaySetPosition(st->display, st->x, st->y);
      break;
    case PLAT_EVENT_CLICK:
      if (st->endCard) {
        snprintf(st->lastUrl, sizeof st->lastUrl, "%s", kUrl);
        PlatOpenUrl(kUrl);
      }
      break;
    case PLAT_EVENT_CLOSE:
      Destroy(st);
      break;
  }
}

// ---------------------------------------------------------------- frame step
static void DrawStats(PlayerState* st) {
  VornRecent r;
  VornReadRecent(st->handle, &r, 0);
  uint32_t ms = r.windowTime ? r.windowTime : 1;
  uint32_t fps = (uint32_t)((uint64_t)r.frames * 10000 / ms);
  uint32_t buf = (uint32_t)(((uint64_t)r.fill + 1) * 1000 / ((uint64_t)r.fillTarget + 1) + 5) / 10;
  snprintf(st->statsText, sizeof st->statsText,
           "Fr: %i, FPS: %i.%0i, Buf: %i%%, Vid: %i%%, Aud: %i%%, Blit: %i%%, Read: %i%%, Back: %i%%, Rate: %i",
           (int)r.frame, (int)(fps / 10), (int)(fps % 10), (int)buf,
           (int)((uint64_t)r.videoTime * 100 / ms), (int)((uint64_t)r.audioTime * 100 / ms),
           (int)((uint64_t)r.blitTime * 100 / ms),
           (int)(((uint64_t)r.frameReadTime + r.backgroundTime) * 100 / ms),
           (int)((uint64_t)r.busyReadAheadTime * 100 / ms), (int)r.dataRate);
  PlatRect rc = st->statsRect;
  if (rc.w <= 0 || rc.h <= 0) return;
  uint32_t* px = (uint32_t*)calloc((size_t)rc.w * rc.h, 4);
  if (!px) return;
  int32_t tw = PlayerTextWidth(st->statsText, 1);
  PlayerTextDraw(px, rc.w, rc.w, rc.h, rc.w / 2 - tw / 2, kStatsPad, st->statsText, 1, 0xFFFF00, 0);
  PlatWindowDraw(st->window, rc.x, rc.y, rc.w, rc.h, px, rc.w * 4);
  free(px);
}

static void FrameStep(PlayerState* st) {
  st->noBlackFill = 0;
  VornHandle* h = st->handle;
  VornDecodeFrame(h);
  PlayerDisplay* d = st->display;
  if (PlayerDisplayLock(d)) {
    VornCopyFrame(h, d->pixels, d->pitch, d->lockHeight, 0, 0, d->copyFlags);
    PlayerDisplayUnlock(d);
  }
  uint32_t n = VornChangedRects(h, d ? d->copyFlags : 0);
  PlayerDisplayShow(d, h->rects, (int32_t)n);
  if (st->endCard)
    st->endCardFrames++;
  else
    st->framesShown++;
  if (h->frameNumber == h->frames) {
    if (--st->fileLoops == 0)
      st->endFlag = 1;
    else
      VornAdvanceFrame(h);
  } else {
    VornAdvanceFrame(h);
  }
  if (st->sw.stats) DrawStats(st);
  if (st->paused) VornSetPaused(h, 1);
}

// ---------------------------------------------------------------- end card
static void CenterWindow(PlayerState* st, PlayerDisplay* d) {
  st->winWidth = d->outputWidth;
  st->winHeight = d->outputHeight;
  PlatWindowPlace(st->window, (st->screenWidth - VORN_END_CARD_WIDTH) / 2,
                  (st->screenHeight - VORN_END_CARD_HEIGHT) / 2, st->winWidth, st->winHeight);
  st->x = st->y = 0;
}

static void StartEndCard(PlayerState* st) {
  if (!st->haveSummary) TakeSummary(st);
  VornPresetMemorySize(kVornEndCardBytes);
  VornHandle* card = VornOpen((const char*)kVornEndCard, VORN_OPEN_MEMORY);
  VornClose(st->handle);
  st->handle = card;
  if (st->file != PLAT_FILE_INVALID) {
    PlatFileClose(st->file);
    st->file = PLAT_FILE_INVALID;
  }
  st->endCard = 1;
  st->endCardShown = card != nullptr;
  st->deadline = card ? PlatClockMs() + 2250 : 0;
  if (!card) return;
  BlackOut(st);
  st->fileLoops = -1;
  st->sw.stats = 0;
  st->paused = 0;
  PlayerDisplay* d = st->display;
  if (!d || d->width < VORN_END_CARD_WIDTH || d->height < VORN_END_CARD_HEIGHT) {
    uint32_t flags = st->displayFlags & ~PLAYER_STRETCH_MASK;
    if (st->displayFlags & PLAYER_CHANGE_MODE) {
      int32_t code = st->sw.videoMode % 100;
      if (code >= 1 && code <= 13 &&
          (kModeWidths[code - 1] < VORN_END_CARD_WIDTH || kModeHeights[code - 1] < VORN_END_CARD_HEIGHT)) {
        flags &= ~(uint32_t)PLAYER_CHANGE_MODE;
        st->displayFlags &= ~(uint32_t)PLAYER_CHANGE_MODE;
        PlayerDisplayClose(d);
        st->display = d = nullptr;
        st->sw.fullScreen = 0;
        PlatWindowRestoreMode(st->window);
        PlatScreenSize(&st->screenWidth, &st->screenHeight, nullptr);
      }
    }
    flags &= ~(uint32_t)PLAYER_CHANGE_MODE;  // a mode still held stays held
    PlayerDisplay* nd = PlayerDisplayOpen(st->window, VORN_END_CARD_WIDTH, VORN_END_CARD_HEIGHT, flags);
    if (!nd) {
      VornClose(st->handle);
      st->handle = nullptr;
      return;
    }
    PlayerDisplayClose(d);
    st->display = d = nd;
    if (!st->sw.fullScreen) CenterWindow(st, d);
  } else {
    PlayerDisplayClear(d, 0);
  }
  PlayerDisplaySetStretch(d, d->width, d->height);
  st->x += (d->width - VORN_END_CARD_WIDTH) / 2;
  st->y += (d->height - VORN_END_CARD_HEIGHT) / 2;
  PlayerDisplaySetPosition(d, st->x, st->y);
}

// ---------------------------------------------------------------- message loop
static bool NamesLeft(const PlayerState* st) {
  for (const char* p = st->line; *p; p++)
    if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') return true;
  return false;
}

// Runs until the file ends (returns 1: next file) or the window goes (0).
static int MessageLoop(PlayerState* st) {
  uint32_t last = PlatClockMs();
  for (;;) {
    if (st->quit) return 0;
    PlatEvent e;
    if (PlatWindowPoll(st->window, &e)) {
      OnEvent(st, e);
      continue;
    }
    if (st->handle && VornTooEarly(st->handle) && st->stop != 1) {
      st->sleepDebt += 1;
    } else if (st->handle) {
      bool stepped = true;
      if (st->endFlag || st->stop == 1) {
        st->endFlag = 0;
        st->stop = 0;
        VornSetPaused(st->handle, 1);
        if (st->endCard) {
          stepped = false;
        } else if (NamesLeft(st)) {
          return 1;
        } else if (--st->listLoops != 0) {
          memcpy(st->line, st->saved, sizeof st->line);
          return 1;
        } else {
          StartEndCard(st);
          stepped = st->handle != nullptr;
        }
      }
      if (stepped && st->handle) FrameStep(st);
    }
    if (st->paused || (!st->focus && !st->sw.noFocusPause)) st->sleepDebt += 5;
    uint32_t now = PlatClockMs();
    if (st->sleepDebt > 0) {
      PlatSleep(st->sleepDebt < 10 ? (uint32_t)st->sleepDebt : 10);
      now = PlatClockMs();
      st->sleepDebt -= (int32_t)(now - last);
      if (st->sleepDebt < -100) st->sleepDebt = -100;
    }
    last = now;
    if (st->endCard && ((int32_t)(now - st->deadline) > 0 || !st->handle || st->stop == 2)) Destroy(st);
  }
}

// ---------------------------------------------------------------- per file
static int Fail(PlayerState* st, const char* text) {
  if (st->window) PlatWindowShow(st->window, 0);
  Box(text, "Vorn Error", PLAT_MB_ICONERROR);
  return 1;
}

// Opens the current name; null with the error text in *error.
static VornHandle* OpenName(PlayerState* st, const char** error) {
  char* name = st->name;
  const char* bar = strrchr(name, '|');
  if (name[0] == ':' || bar) {
    char path[PLAYER_NAME];
    const char* offset;
    if (name[0] == ':') {
      snprintf(path, sizeof path, "%s", st->module);
      offset = name + 1;
      *error = "Error opening EXE file.";
    } else {
      snprintf(path, sizeof path, "%.*s", (int)(bar - name), name);
      offset = bar + 1;
      *error = "Error opening file.";
    }
    int64_t at = strtoll(offset, nullptr, 10);
    st->file = PlatFileOpen(path, PLAT_FILE_READ | PLAT_FILE_SHARE_READ | PLAT_FILE_SEQUENTIAL);
    if (st->file == PLAT_FILE_INVALID) return nullptr;
    if (PlatFileSeek(st->file, at, 0) != at) return nullptr;
    VornHandle* h = VornOpen(VORN_FD_NAME(st->file), st->openFlags | VORN_OPEN_HANDLE);
    if (!h) *error = VornErrorText();
    return h;
  }
  // A name without an extension gets ".vrn".
  const char* base = strrchr(name, '/');
  base = base ? base + 1 : name;
  if (!strchr(base, '.') && strlen(name) + 5 < sizeof st->name) strcat(name, ".vrn");
  VornHandle* h = VornOpen(name, st->openFlags);
  if (!h) *error = VornErrorText();
  return h;
}

static int PlayFile(PlayerState* st) {
  PlayerSwitches& s = st->sw;
  if (s.rateNum != -1 && s.rateDen != -1) VornPresetFrameRate(s.rateNum, s.rateDen);
  if (s.track) VornPresetTrack(s.track);
  if (s.readSpeed) VornPresetReadSpeed(s.readSpeed);
  if (s.readBuffer != -1) VornPresetReadBuffer(s.readBuffer);
  const char* error = "";
  st->handle = OpenName(st, &error);
  if (!st->handle) return -Fail(st, error && *error ? error : "Error opening file.");
  VornHandle* h = st->handle;
  size_t used = strlen(st->opened);
  snprintf(st->opened + used, sizeof st->opened - used, "%s\n", st->name);
  // Output size.
  uint32_t bw, bh;
  st->displayFlags &= ~PLAYER_STRETCH_MASK;
  int32_t ow = PlayerClassify(s.wNum, s.wDen, (int32_t)h->width, PLAYER_W_REDUCE, st->screenWidth, &bw);
  int32_t oh = PlayerClassify(s.hNum, s.hDen, (int32_t)h->height, PLAYER_H_REDUCE, st->screenHeight, &bh);
  st->displayFlags |= bw | bh;
  // The decoder doubles instead of stretching when it can.
  if ((h->flags & VORN_OPEN_OPTION(7)) == 0) {
    int32_t w = (int32_t)h->width, ht = (int32_t)h->height;
    int opt = ow == w && oh == 2 * ht ? 1 : ow == 2 * w && oh == ht ? 3 : ow == 2 * w && oh == 2 * ht ? 4 : 0;
    if (opt) {
      st->displayFlags &= ~PLAYER_STRETCH_MASK;
      if (opt != 3) h->height *= 2;
      if (opt != 1) h->width *= 2;
      h->flags |= VORN_OPEN_OPTION(opt);
    }
  }
  if (s.fullScreen || s.stats) st->noBlackFill = 0;
  PlayerDisplay* d = PlayerDisplayOpen(st->window, (int32_t)h->width, (int32_t)h->height, st->displayFlags);
  if (!d && st->kept) {
    PlayerDisplayClose(st->kept);
    st->kept = nullptr;
    d = PlayerDisplayOpen(st->window, (int32_t)h->width, (int32_t)h->height, st->displayFlags);
  }
  if (!d) return -Fail(st, PlayerDisplayError());
  PlayerDisplayClose(st->kept);
  st->kept = nullptr;
  st->display = d;
  if (st->displayFlags & PLAYER_CHANGE_MODE) {
    // The mode is set once; later files keep it.
    st->displayFlags &= ~(uint32_t)PLAYER_CHANGE_MODE;
    PlatScreenSize(&st->screenWidth, &st->screenHeight, nullptr);
  }
  PlayerDisplaySetStretch(d, ow, oh);
  st->pictureWidth = (int32_t)h->width;
  st->pictureHeight = (int32_t)h->height;
  st->outputWidth = d->outputWidth;
  st->outputHeight = d->outputHeight;
  st->handleFlags = h->flags;
  st->rate = h->rate;
  st->rateDivisor = h->rateDivisor;
  st->stretchFlags = st->displayFlags & PLAYER_STRETCH_MASK;
  snprintf(st->styleName, sizeof st->styleName, "%s", PlayerDisplayStyleName(d));
  // Window position.
  int32_t winW = d->outputWidth, winH = d->outputHeight;
  if (st->x == -3000) {
    st->x = winW > st->screenWidth ? 0 : (st->screenWidth - winW) / 2 / 4 * 4;
  }
  if (st->y == -3000) st->y = winH > st->screenHeight ? 0 : (st->screenHeight - winH) / 2;
  int32_t placeX, placeY;
  if (s.fullScreen) {
    // The window covers the screen; X, Y place the picture inside it.
    PlayerDisplayAdjustWindow(d, &st->x, &st->y);
    placeX = 0;
    placeY = 0;
    winW = st->screenWidth;
    winH = st->screenHeight;
  } else {
    placeX = st->x;
    placeY = st->y;
    st->x = st->y = 0;
  }
  if (s.stats) {
    int32_t tw = PlayerTextWidth(kStatsSample, 1) + 8, th = StatsHeight();
    st->statsRect = PlatRect{0, st->y, winW, th};
    if (winW < tw) {
      st->x += (tw - winW) / 2 / 4 * 4;
      winW = tw;
      st->statsRect.w = tw;
    }
    st->y += th;
    winH += th;
  }
  st->winWidth = winW;
  st->winHeight = winH;
  PlatWindowPlace(st->window, placeX, placeY, winW, winH);
  PlatWindowShow(st->window, 1);
  if (!st->noBlackFill) BlackOut(st);
  PlayerDisplaySetPosition(d, st->x, st->y);
  uint32_t opt = (h->flags >> 28) & 7;
  if (opt == 2 || opt == 5 || opt == 6) {
    st->noBlackFill = 0;
    PlatRect pic = {st->x, st->y, d->outputWidth, d->outputHeight};
    PlatWindowFill(st->window, &pic, 0);
  }
  return MessageLoop(st);
}

static void CloseFile(PlayerState* st) {
  VornClose(st->handle);
  st->handle = nullptr;
  if (st->file != PLAT_FILE_INVALID) PlatFileClose(st->file);
  st->file = PLAT_FILE_INVALID;
}

// ---------------------------------------------------------------- entry
static int Run(PlayerState* st, const char* stored, const char* cmdline) {
  if (!PlayerParse(st, stored, cmdline)) {
    Box(PlayerHelpText(), "Vorn Video Player Help", PLAT_MB_ICONINFO);
    return 1;
  }
  PlayerSwitches& s = st->sw;
  PlatProgramPath(st->module, sizeof st->module);
  st->x = s.x;
  st->y = s.y;
  if (s.fullScreen) s.windowStyle = 2 + (s.windowStyle >= 100 ? 100 : 0);
  st->displayFlags = (uint32_t)s.style & PLAYER_STYLE_MASK;
  if (s.style > 10 || s.style < 0) st->displayFlags = 0x1F;
  if (!PlatVideoInit()) {
    Box("Error creating window.", "Windows", PLAT_MB_ICONERROR);
    return 1;
  }
  PlatScreenSize(&st->screenWidth, &st->screenHeight, nullptr);
  if (s.videoMode) {
    int32_t code = s.videoMode % 100, depth = kModeDepths[s.videoMode / 100];
    st->displayFlags |= PLAYER_CHANGE_MODE;
    st->screenWidth = kModeWidths[code - 1];
    st->screenHeight = kModeHeights[code - 1];
    PlayerDisplaySetMode(st->screenWidth, st->screenHeight, depth);
  }
  unsigned wflags = (s.windowStyle % 100 ? PLAT_WIN_NOCAPTION : 0) | (s.windowStyle >= 100 ? PLAT_WIN_TOPMOST : 0) |
                    (s.hideCursor ? PLAT_WIN_NOCURSOR : 0);
  st->noBlackFill = 1;
  st->window = PlatWindowCreate("Vorn Video Player", wflags);
  if (!st->window) {
    Box("Error creating window.", "Windows", PLAT_MB_ICONERROR);
    PlatVideoQuit();
    return 1;
  }
  VornSelectSoundOutput(s.waveOut ? VornWaveOutOutput : VornDirectSoundOutput, nullptr);
  memcpy(st->saved, st->line, sizeof st->saved);
  PlayerTakeName(st->line, st->name, sizeof st->name);
  st->listLoops = 1;
  st->fileLoops = s.loops;
  if (NamesLeft(st)) {
    st->listLoops = s.loops;
    st->fileLoops = 1;
  }
  int code = 0;
  for (;;) {
    int r = PlayFile(st);
    if (r < 0) {
      code = 1;
      break;
    }
    if (r == 0) break;
    // Between files.
    CloseFile(st);
    st->kept = st->display;
    st->display = nullptr;
    st->fileLoops = 1;
    if (!s.fullScreen) {
      PlatWindowGetPlace(st->window, &st->x, &st->y, nullptr, nullptr);
    }
    if (!PlayerTakeName(st->line, st->name, sizeof st->name)) break;
  }
  // The window is gone: the exit.
  char* text = st->name;
  bool box = s.summary && code == 0 && st->haveSummary && st->summary.framesPlayed > 0;
  if (box) PlayerSummaryText(text, sizeof st->name, &st->summary, st->display ? st->display : st->kept);
  CloseFile(st);
  PlayerDisplayClose(st->display);
  PlayerDisplayClose(st->kept);
  st->display = st->kept = nullptr;
  PlatWindowDestroy(st->window);
  st->window = nullptr;
  if (box) {
    PlatSleep(10);
    Box(text, "Vorn Playback Summary", PLAT_MB_ICONINFO);
  }
  VornSelectSoundOutput(nullptr, nullptr);
  PlatVideoQuit();
  return code;
}

int VornPlayRun(const char* stored, const char* cmdline) {
  PlayerState* st = &g_st;
  memset(st, 0, sizeof *st);
  st->file = PLAT_FILE_INVALID;
  return Run(st, stored ? stored : PlayerStoredLine(), cmdline);
}
