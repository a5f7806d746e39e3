// Decoder pacing and statistics calls the player makes. Stand-ins live in
// pending.cpp until the decoder provides them.
#pragma once

#include "vorn/vorn.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VornRecent {
  uint32_t frameNumber, rate, rateDivisor, frames, windowMs;
  uint32_t videoMs, audioMs, frameReadMs, backgroundMs, busyMs, blitMs;
  uint32_t fillTarget, fill, dataRate;
} VornRecent;

typedef struct VornTotals {
  uint32_t width, height, playMs, fileRate, fileRateDivisor, rate, rateDivisor, openMs;
  uint32_t frames, framesPlayed, skippedFrames, skippedBlits, soundSkips;
  uint32_t blitMs, frameReadMs, videoMs, audioMs, backgroundMs, busyMs, deviceSpeed;
  uint32_t slowestMs, secondSlowestMs, slowestFrame, secondSlowestFrame;
  uint32_t averageRate, averageFrame, totalMemory, readBuffer, highestFill;
  uint32_t peakRate, peakFrame;
} VornTotals;

uint32_t VornTooEarly(VornHandle* h);
uint32_t VornSetPaused(VornHandle* h, uint32_t on);
uint32_t VornCopyFrame(VornHandle* h, uint8_t* dest, int32_t pitch, int32_t height, int32_t x,
                       int32_t y, uint32_t flags);
uint32_t VornChangedRects(VornHandle* h, uint32_t flags);
void VornReadRecent(VornHandle* h, VornRecent* r, uint32_t k);
void VornReadTotals(VornHandle* h, VornTotals* t);

#ifdef __cplusplus
}
#endif
