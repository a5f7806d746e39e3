// Frame stepping in its decoding role: positioning on a frame, decoding it
// into the picture buffer that does not hold the newest picture, advancing.
// The pacing, skipping and statistics of playback hook in where marked.
#include <string.h>

#include "vorn/internal.h"

static uint32_t Offset(const VornHandle* h, uint32_t i) { return VornIndexEntry(h, i) & ~1u; }

extern "C" void VornSeekFrame(VornHandle* h, uint32_t n) {
  if (!h) return;
  if (n == 0) n = 1;
  if (n > h->frames) n = h->frames;
  VornServiceSound(h);
  h->lastFrameNumber = h->frameNumber;
  if (n == 1 && h->soundRunning) {
    // Hook: the sound stream stops and restarts, and the playback clock
    // restarts.
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

// Walks the frame's sound packets; returns the video data's offset in the
// frame, or -1 when the packets do not fit the frame.
static int64_t SkipSound(VornHandle* h) {
  const uint8_t* p = h->frame;
  uint32_t left = h->frameBytes, at = 0;
  for (uint32_t t = 0; t < h->trackCount; t++) {
    if (left < 4) return -1;
    uint32_t n = VornLe32(p + at);
    at += 4;
    left -= 4;
    // A packet holds its decoded size word and the coded sound.
    if (n > left || (n != 0 && n < 4)) return -1;
    if ((int32_t)t == h->soundTrack && n) {
      // Hook: the packet (p + at, n bytes) decodes into the sound ring.
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
  h->frameStart = PlatClockMs();
  // Hook: the history rings shift and take this frame's entries.
  if (h->framesPlayed == 0) {
    h->playStart = h->frameStart;
    // Hook: first-frame statistics (timestamp before the first, read-ahead
    // counters reset).
  } else {
    VornServiceSound(h);
  }
  if (PlatAtomicLoad(&r->readError)) h->readError = 1;
  int64_t video = h->readError || !h->frame ? -1 : SkipSound(h);
  // A frame whose packets run past its end is not decoded, and stops
  // decoding like a read error.
  if (video < 0) {
    h->readError = 1;
    PlatAtomicStore(&r->decoderBusy, 0);
    return 1;
  }
  if (!h->keepMap) memset(h->blockMap, 0, h->blockCount);
  // Hook: a short wait when the read buffer runs low.
  uint32_t ref = h->newest, out = ref ^ 1;
  uint32_t key = VornIndexEntry(h, h->frameNumber - 1) & 1;
  ExpandVorn(h->pictures[out], h->pictures[ref], h->alphas[out], h->alphas[ref], h->blockMap,
             h->decodeWidth, h->decodeHeight, h->pitch, h->rows, h->frame + video, key,
             h->bundles, h->flags, h->videoFlags, h->frameBytes - (uint32_t)video);
  h->newest = out;
  VornServiceSound(h);
  h->rectCount = -1;
  h->framesPlayed++;
  // Hook: the playback clock starts; audio and video times and the decode
  // end are noted.
  h->lastDecodedFrame = h->frameNumber;
  h->lastFrameNumber = h->frameNumber;
  PlatAtomicStore(&r->decoderBusy, 0);
  return 0;
}

extern "C" void VornAdvanceFrame(VornHandle* h) {
  if (!h) return;
  PlatAtomicStore(&h->reader.decoderBusy, 1);
  // Hook: blit-time accounting.
  VornSeekFrame(h, h->frameNumber < h->frames ? h->frameNumber + 1 : 1);
  PlatAtomicStore(&h->reader.decoderBusy, 0);
}
