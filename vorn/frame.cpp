// Frame stepping: positioning on a frame, decoding it (its sound packet into
// the sound ring, its video into the picture buffer that does not hold the
// newest picture), advancing.
#include <string.h>

#include "vorn/internal.h"

static uint32_t Offset(const VornHandle* h, uint32_t i) { return VornIndexEntry(h, i) & ~1u; }

extern "C" void VornSeekFrame(VornHandle* h, uint32_t n) {
  if (!h) return;
  if (n == 0) n = 1;
  if (n > h->frames) n = h->frames;
  VornServiceSound(h);
  h->lastFrameNumber = h->frameNumber;
  if (n == 1 && h->soundTrack >= 0 && h->soundRunning) {
    // Starting over: the queued sound belongs to where playback was, and
    // the file's own sound starts with its lead.
    VornSoundStop(h);
    VornSoundStart(h, 0);
    VornRestartClock(h);
  }
  uint32_t offset = Offset(h, n - 1);
  uint32_t bytes = Offset(h, n) - offset;
  h->frame = nullptr;
  h->frameBytes = 0;
  if (h->dataBase) {
    // Memory or preloaded: a frame past the bytes present is a read error.
    uint32_t at = offset - Offset(h, 0);
    if ((uint64_t)at + bytes > h->dataBytes) {
      h->readError = 1;
    } else {
      h->frame = h->dataBase + at;
      h->frameBytes = bytes;
    }
  } else if (h->reader.readFrame) {
    VornReader* r = &h->reader;
    // The frame buffer holds the largest frame the file can hold; a larger
    // one cannot be read whole.
    if (bytes > h->frameBufferBytes) {
      PlatAtomicStore(&r->readError, 1);
    } else {
      h->frameBytes = r->readFrame(r, n - 1, offset, h->frameBuffer, bytes);
      h->frame = h->frameBuffer;
    }
  }
  VornServiceSound(h);
  h->frameNumber = n;
}

extern "C" int64_t VornFramePacket(const uint8_t* frame, uint32_t frameBytes, uint32_t trackCount,
                                   uint32_t track, const uint8_t** packet, uint32_t* packetBytes) {
  if (packet) *packet = nullptr;
  if (packetBytes) *packetBytes = 0;
  if (!frame) return -1;
  uint32_t left = frameBytes, at = 0;
  for (uint32_t t = 0; t < trackCount; t++) {
    if (left < 4) return -1;
    uint32_t n = VornLe32(frame + at);
    at += 4;
    left -= 4;
    // A packet holds its decoded size word and the coded sound.
    if (n > left || (n != 0 && n < 4)) return -1;
    if (t == track && n) {
      if (packet) *packet = frame + at;
      if (packetBytes) *packetBytes = n;
    }
    at += n;
    left -= n;
  }
  return at;
}

extern "C" uint32_t VornDecodeFrame(VornHandle* h) {
  if (!h) return 1;
  if (h->lastDecodedFrame == h->frameNumber) return 0;
  VornReader* r = &h->reader;
  PlatAtomicStore(&r->decoderBusy, 1);
  h->frameStart = VornNow();
  if (h->framesPlayed == 0) {
    // Reading during the open does not count.
    h->playStart = h->frameStart;
    r->backgroundTime = 0;
    r->busyReadAheadTime = 0;
  }
  VornRecordHistory(h);
  if (h->framesPlayed > 0) VornServiceSound(h);
  if (PlatAtomicLoad(&r->readError)) h->readError = 1;
  const uint8_t* packet = nullptr;
  uint32_t packetBytes = 0;
  int64_t video = h->readError ? -1
                               : VornFramePacket(h->frame, h->frameBytes, h->trackCount,
                                                 (uint32_t)h->soundTrack, &packet, &packetBytes);
  // A frame whose packets run past its end is not decoded, and stops
  // decoding like a read error.
  if (video < 0) {
    h->readError = 1;
    PlatAtomicStore(&r->decoderBusy, 0);
    return 1;
  }
  if (packet && h->soundTrack >= 0) VornSoundWritePacket(h, packet, packetBytes);

  uint32_t videoStart = VornNow();
  if (!h->keepMap) memset(h->blockMap, 0, h->blockCount);
  if (VornThreadReads(h) && !PlatAtomicLoad(&r->reading) && VornFillBelow(r, 75)) PlatSleep(1);
  uint32_t ref = h->newest, out = ref ^ 1;
  uint32_t key = VornIndexEntry(h, h->frameNumber - 1) & 1;
  ExpandVorn(h->pictures[out], h->pictures[ref], h->alphas[out], h->alphas[ref], h->blockMap,
             h->decodeWidth, h->decodeHeight, h->pitch, h->rows, h->frame + video, key,
             h->bundles, h->flags, h->videoFlags, h->frameBytes - (uint32_t)video);
  h->newest = out;
  uint32_t videoEnd = VornNow();

  VornServiceSound(h);
  h->rectCount = -1;
  h->framesPlayed++;
  VornStartClock(h, VornNow());
  h->audioTime += videoStart - h->frameStart;
  h->videoTime += videoEnd - videoStart;
  h->decodeEnd = VornNow();
  h->lastDecodedFrame = h->frameNumber;
  h->lastFrameNumber = h->frameNumber;
  PlatAtomicStore(&r->decoderBusy, 0);
  return 0;
}

extern "C" void VornAdvanceFrame(VornHandle* h) {
  if (!h) return;
  PlatAtomicStore(&h->reader.decoderBusy, 1);
  VornAccountBlit(h, VornNow());
  VornSeekFrame(h, h->frameNumber < h->frames ? h->frameNumber + 1 : 1);
  PlatAtomicStore(&h->reader.decoderBusy, 0);
}
