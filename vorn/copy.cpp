// VornCopyFrame: converts the newest picture into the caller's buffer, or
// skips the conversion when playback with sound has fallen behind.
#include "vorn/convert.h"
#include "vorn/internal.h"

// Handle flags every copy takes: display option, luminance-only, chroma order.
static const uint32_t kHandleCopyBits = 0x70030000u;

// Read-ahead steps, servicing the sound before each, until the read buffer
// reaches pct percent of its fill target or a step finds nothing to do.
static void FillReadBuffer(VornHandle* h, uint32_t pct) {
  VornReader* r = &h->reader;
  for (;;) {
    VornServiceSound(h);
    if (!VornFillBelow(r, pct) || r->idle(r) == 0) break;
  }
}

// A skipped copy: the changed areas add up, a low read buffer is topped up
// and an underrun of the sound is repaired.
static void Skip(VornHandle* h) {
  VornReader* r = &h->reader;
  h->skippedBlits++;
  h->keepMap = 1;
  if (VornUsesReader(h) && VornFillBelow(r, 10) && !h->paused) {
    PlatAtomicStore(&r->decoderBusy, 0);
    FillReadBuffer(h, 40);
  }
  VornSoundOut* s = &h->sound;
  if (h->soundTrack >= 0 && PlatAtomicLoad(&s->underrun) && h->frameNumber > 1 &&
      h->frameNumber <= h->soundEndFrame) {
    PlatAtomicStore(&s->underrun, 0);
    VornSoundStop(h);
    if (VornUsesReader(h)) FillReadBuffer(h, 90);
    VornSoundLock(h);
    h->soundSkips++;
    VornSoundPad(h);
    VornRestartClock(h);
    VornSoundUnlock(h);
    VornSoundStart(h, 1);
  }
}

extern "C" uint32_t VornCopyFrame(VornHandle* h, void* dest, int32_t pitch, int32_t height,
                                  int32_t x, int32_t y, uint32_t flags) {
  if (!h || !dest) return 0;
  VornReader* r = &h->reader;
  PlatAtomicStore(&r->decoderBusy, 1);
  flags |= h->flags & kHandleCopyBits;
  uint32_t late = 0;
  if (h->soundTrack >= 0) {
    VornServiceSound(h);
    if (h->soundTrack >= 0 && h->rate && !h->paused) {
      int64_t behind = VornLateness(h, VornNow());
      if (behind > (int64_t)h->skipThreshold) {
        if (!((flags | h->flags) & VORN_COPY_NEVER_SKIP)) {
          Skip(h);
          PlatAtomicStore(&r->decoderBusy, 0);
          return 1;
        }
        late = 1;
      }
      // This copy converts every area changed since the last one.
      h->keepMap = 0;
    }
  }
  if (VornThreadReads(h) && !PlatAtomicLoad(&r->reading) && VornFillBelow(r, 75)) PlatSleep(1);
  VornConvertFrame((uint8_t*)dest, pitch, height, x, y, VornCurrentPlanes(h),
                   (h->flags & VORN_OPEN_ALPHA) ? VornCurrentAlpha(h) : nullptr, h->blockMap,
                   (int32_t)h->decodeWidth, (int32_t)h->decodeHeight, (int32_t)h->pitch,
                   (int32_t)h->rows, flags);
  VornServiceSound(h);
  PlatAtomicStore(&r->decoderBusy, 0);
  return late;
}
