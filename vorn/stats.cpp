// Playback statistics: the last frames from the history rings, and the
// totals of the whole playback.
#include <string.h>

#include "vorn/internal.h"

static uint32_t Offset(const VornHandle* h, uint32_t i) { return VornIndexEntry(h, i) & ~1u; }

static uint32_t Clamp32(uint64_t v) { return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)v; }

extern "C" void VornReadRecent(VornHandle* h, VornRecent* rec, uint32_t k) {
  if (!h || !rec) return;
  VornAccount(h, VornNow());
  uint32_t e = h->oneSecond;
  uint32_t current = h->frameNumber <= h->frames ? h->frameNumber : 0;
  if (k == 0 || k >= e) k = e - 1;
  if (k > current) k = current > 1 ? current - 1 : 1;
  if (k > e - 1) k = e - 1;  // one-frame rings hold no window
  memset(rec, 0, sizeof *rec);
  const VornReader* r = &h->reader;
  uint32_t* const* ring = h->rings;
  rec->frame = h->frameNumber;
  rec->rate = h->rate;
  rec->rateDivisor = h->rateDivisor;
  rec->frames = k;
  rec->windowTime = ring[VORN_RING_TIME][0] - ring[VORN_RING_TIME][k];
  if (!rec->windowTime) rec->windowTime = 1;
  rec->audioTime = ring[VORN_RING_AUDIO][0] - ring[VORN_RING_AUDIO][k];
  rec->videoTime = ring[VORN_RING_VIDEO][0] - ring[VORN_RING_VIDEO][k];
  rec->blitTime = ring[VORN_RING_BLIT][0] - ring[VORN_RING_BLIT][k];
  rec->frameReadTime = ring[VORN_RING_FRAMEREAD][0] - ring[VORN_RING_FRAMEREAD][k];
  rec->backgroundTime = ring[VORN_RING_BACKGROUND][0] - ring[VORN_RING_BACKGROUND][k];
  rec->busyReadAheadTime = ring[VORN_RING_BUSY][0] - ring[VORN_RING_BUSY][k];
  rec->fillTarget = (uint32_t)PlatAtomicLoad(&r->fillTarget);
  rec->fill = (uint32_t)PlatAtomicLoad(&r->fill);
  if (k && current >= k && h->fileRateDivisor) {
    uint64_t bytes = Offset(h, current) - Offset(h, current - k);
    rec->dataRate = Clamp32(bytes * h->fileRate / ((uint64_t)k * h->fileRateDivisor));
  }
}

extern "C" void VornReadTotals(VornHandle* h, VornTotals* t) {
  if (!h || !t) return;
  uint32_t now = VornNow();
  VornAccount(h, now);
  memset(t, 0, sizeof *t);
  const VornReader* r = &h->reader;
  uint64_t data = (uint64_t)h->dataSize - Offset(h, 0);
  if ((int64_t)data < 0) data = 0;
  t->width = h->width;
  t->height = h->height;
  t->playTime = h->playStart ? now - h->playStart : 0;
  t->fileRate = h->fileRate;
  t->fileRateDivisor = h->fileRateDivisor;
  t->rate = h->rate;
  t->rateDivisor = h->rateDivisor;
  t->openTime = h->openTime;
  t->frames = h->frames;
  t->framesPlayed = h->framesPlayed;
  t->skippedFrames = 0;
  t->skippedBlits = h->skippedBlits;
  t->soundSkips = h->soundSkips;
  t->blitTime = h->blitTime;
  t->frameReadTime = r->frameReadTime;
  t->videoTime = h->videoTime;
  t->audioTime = h->audioTime;
  t->backgroundTime = r->backgroundTime;
  t->busyReadAheadTime = r->busyReadAheadTime;
  t->deviceSpeed = Clamp32((uint64_t)r->bytesRead * 1000 / ((uint64_t)r->readTime + 1));
  t->slowest = h->slowest;
  t->secondSlowest = h->secondSlowest;
  t->slowestFrame = h->slowestFrame;
  t->secondSlowestFrame = h->secondSlowestFrame;
  if (h->frames && h->fileRateDivisor) {
    t->averageDataRate = Clamp32(data * h->fileRate / ((uint64_t)h->fileRateDivisor * h->frames));
    t->averageFrameSize = Clamp32(data / h->frames);
  }
  t->totalMemory = h->totalMemory;
  t->readBufferSize = r->ringSize;
  t->highestFill = r->highestFill;
  t->peakSecondBytes = h->peakSecondBytes;
  t->peakSecondFrame = h->peakSecondFrame + 1;
}
