// The playback clock: when the next frame is due, pausing, the per-frame
// history and the accounting of blit and frame times.
//
// The clock runs from clockStart (0: not started) at frame clockStartFrame;
// frame n of the run is due (n - clockStartFrame) frame durations after it.
// The sound service restarts it from the background thread by storing 0.
#include <string.h>

#include "vorn/internal.h"

static uint32_t ClockStart(const VornHandle* h) {
  return __atomic_load_n(&h->clockStart, __ATOMIC_SEQ_CST);
}

void VornStartClock(VornHandle* h, uint32_t now) {
  if (ClockStart(h)) return;
  h->clockStartFrame = h->framesPlayed - 1;
  __atomic_store_n(&h->clockStart, now, __ATOMIC_SEQ_CST);
}

int64_t VornLateness(VornHandle* h, uint32_t now) {
  VornStartClock(h, now);
  uint32_t start = ClockStart(h);
  if (!start) start = now;  // restarted meanwhile: counts as now
  uint32_t frames = h->framesPlayed - h->clockStartFrame;
  unsigned __int128 due = (unsigned __int128)frames * 1000 * h->rateDivisor / h->rate;
  int64_t elapsed = (int32_t)(now - start);
  if (due > (unsigned __int128)INT64_MAX / 2) return INT64_MIN / 2;
  return elapsed - (int64_t)due;
}

void VornAccountBlit(VornHandle* h, uint32_t now) {
  if (!h->decodeEnd) return;
  h->blitTime += now - h->decodeEnd;
  h->decodeEnd = 0;
}

void VornAccount(VornHandle* h, uint32_t now) {
  VornAccountBlit(h, now);
  if (!h->frameStart) return;
  uint32_t t = now - h->frameStart;
  h->frameStart = 0;
  // The frame timed is the one decoded last (the caller may have advanced).
  if (t > h->slowest) {
    h->secondSlowest = h->slowest;
    h->secondSlowestFrame = h->slowestFrame;
    h->slowest = t;
    h->slowestFrame = h->lastDecodedFrame;
  } else if (t > h->secondSlowest) {
    h->secondSlowest = t;
    h->secondSlowestFrame = h->lastDecodedFrame;
  }
}

void VornRecordHistory(VornHandle* h) {
  const VornReader* r = &h->reader;
  const uint32_t values[VORN_RINGS] = {h->frameStart,      h->audioTime,      h->videoTime,
                                       h->blitTime,        r->frameReadTime,  r->backgroundTime,
                                       r->busyReadAheadTime};
  uint32_t e = h->oneSecond;
  for (int i = 0; i < VORN_RINGS; i++) {
    uint32_t* ring = h->rings[i];
    memmove(ring + 1, ring, (size_t)(e - 1) * sizeof *ring);
    ring[0] = values[i];
  }
  // Before the first frame: one frame duration earlier, so that a window
  // reaching back to it spans whole frames.
  if (h->framesPlayed == 0 && e > 1) {
    uint64_t d = h->fileRate ? 1000 * (uint64_t)h->fileRateDivisor / h->fileRate : 0;
    h->rings[VORN_RING_TIME][1] = h->frameStart - (uint32_t)d;
  }
}

extern "C" uint32_t VornTooEarly(VornHandle* h) {
  if (!h) return 0;
  if ((h->framesPlayed == 0 && !h->paused) || h->readError) return 0;
  VornStartClock(h, VornNow());
  VornServiceSound(h);
  uint32_t now = VornNow();
  VornAccount(h, now);
  if (!h->paused && (h->soundTrack < 0 || h->soundRunning)) {
    if (!h->rate) return 0;
    int64_t late = VornLateness(h, now);
    if (late >= 0) {
      // Without sound, falling far behind slows the film down instead.
      if (late > (int64_t)h->skipThreshold && h->soundTrack < 0) {
        h->clockStartFrame = h->framesPlayed - 1;
        __atomic_store_n(&h->clockStart, now, __ATOMIC_SEQ_CST);
      }
      return 0;
    }
  }
  if (VornUsesReader(h)) {
    VornReader* r = &h->reader;
    if (r->idle(r) > 0 && VornThreadReads(h)) PlatSleep(1);
  }
  return 1;
}

extern "C" uint32_t VornSetPaused(VornHandle* h, uint32_t on) {
  if (!h) return 0;
  on = on ? 1 : 0;
  VornAccount(h, VornNow());
  if (h->paused && !on) VornRestartClock(h);
  h->paused = on;
  if (h->soundTrack >= 0) {
    VornSoundLock(h);
    h->sound.pause(&h->sound, (int)on);
    VornSoundUnlock(h);
  }
  // The changes of skipped copies stay marked: the next decode must not
  // drop them, or areas changed meanwhile would never be converted.
  if (h->framesPlayed && h->soundTrack >= 0) VornServiceSound(h);
  return on;
}
