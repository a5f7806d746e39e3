// Stand-ins for the decoder's pacing and statistics: a plain clock, whole
// picture copies, one rectangle, totals from the handle's counters.
#include <string.h>

#include "vorn/convert.h"
#include "vornplay/pending.h"

extern "C" uint32_t VornTooEarly(VornHandle* h) {
  if (!h || h->readError) return 0;
  uint32_t now = PlatClockMs();
  if (h->framesPlayed == 0 && !h->paused) return 0;
  if (!h->clockStart) {
    h->clockStart = now;
    h->clockStartFrame = h->framesPlayed - 1;
  }
  if (h->paused) return 1;
  if (h->rate == 0 || h->rateDivisor == 0) return 0;
  uint64_t due = (uint64_t)(h->framesPlayed - h->clockStartFrame) * 1000 * h->rateDivisor / h->rate;
  uint32_t elapsed = now - h->clockStart;
  if (elapsed >= due) {
    if (elapsed - due > h->skipThreshold) {
      h->clockStart = now;
      h->clockStartFrame = h->framesPlayed - 1;
    }
    return 0;
  }
  return 1;
}

extern "C" uint32_t VornSetPaused(VornHandle* h, uint32_t on) {
  if (!h) return 0;
  if (h->paused && !on) h->clockStart = 0;
  h->paused = on ? 1 : 0;
  if (h->soundTrack >= 0 && h->sound.pause) h->sound.pause(&h->sound, h->paused);
  return h->paused;
}

extern "C" uint32_t VornCopyFrame(VornHandle* h, uint8_t* dest, int32_t pitch, int32_t height,
                                  int32_t x, int32_t y, uint32_t flags) {
  if (!h || !dest) return 0;
  flags |= h->flags & 0x70030000u;
  if (pitch < 0) {
    dest += (int64_t)(height - y - 1) * -pitch;
    y = 0;
  }
  VornConvertFrame(dest, pitch, height, x, y, VornCurrentPlanes(h), VornCurrentAlpha(h),
                   h->blockMap, (int32_t)h->decodeWidth, (int32_t)h->decodeHeight,
                   (int32_t)h->pitch, (int32_t)h->rows, flags);
  return 0;
}

extern "C" uint32_t VornChangedRects(VornHandle* h, uint32_t flags) {
  if (!h || (flags & 0x04000000u)) return 0;
  h->rects[0] = VornRect{0, 0, (int32_t)h->width, (int32_t)h->height};
  h->rectCount = 1;
  return 1;
}

extern "C" void VornReadRecent(VornHandle* h, VornRecent* r, uint32_t) {
  if (!h || !r) return;
  memset(r, 0, sizeof *r);
  r->frameNumber = h->frameNumber;
  r->rate = h->rate;
  r->rateDivisor = h->rateDivisor;
  r->windowMs = 1;
}

extern "C" void VornReadTotals(VornHandle* h, VornTotals* t) {
  if (!h || !t) return;
  memset(t, 0, sizeof *t);
  t->width = h->width;
  t->height = h->height;
  t->playMs = h->playStart ? PlatClockMs() - h->playStart : 0;
  t->fileRate = h->fileRate;
  t->fileRateDivisor = h->fileRateDivisor;
  t->rate = h->rate;
  t->rateDivisor = h->rateDivisor;
  t->openMs = h->openTime;
  t->frames = h->frames;
  t->framesPlayed = h->framesPlayed;
  t->skippedBlits = h->skippedBlits;
  t->soundSkips = h->soundSkips;
  t->totalMemory = h->totalMemory;
}
