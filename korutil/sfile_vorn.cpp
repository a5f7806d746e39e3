// SFile sources of kind 6: a sound track of a Vorn file, decoded packet by
// packet in frame order.
#include <stdio.h>
#include <string.h>

#include "korutil/sfile.h"
#include "vorn/audio.h"
#include "vorn/vorn.h"

// Decoded packets larger than this are cut (a damaged sound-buffer entry
// must not size a huge allocation).
static const uint32_t kLeastDecoded = 65536, kMostDecoded = 16u << 20;

static int OpenVorn(SFile* s, int32_t track, int32_t, int32_t) {
  VornPresetTrack(-1);
  VornHandle* h = VornOpen(s->name, VORN_OPEN_NOTHREAD | VORN_OPEN_TRACK | VORN_OPEN_OPTION(7));
  if (!h) return SFILE_NOT_MINE;
  s->vorn = h;
  int32_t chosen = -1;
  if (track <= 0) {
    for (uint32_t t = 0; t < h->trackCount && chosen < 0; t++)
      if (VornTrackFormat(h, t) & VORN_TRACK_SOUND) chosen = (int32_t)t;
  } else if ((uint32_t)track <= h->trackCount && (VornTrackFormat(h, (uint32_t)track - 1) & VORN_TRACK_SOUND)) {
    chosen = track - 1;
  }
  const uint32_t format = chosen >= 0 ? VornTrackFormat(h, (uint32_t)chosen) : 0;
  const uint32_t rate = format & VORN_TRACK_RATE_MASK, channels = format & VORN_TRACK_STEREO ? 2 : 1;
  if (chosen >= 0 && h->fileRate && h->fileRateDivisor) s->audio = VornAudioOpen(rate, channels, 1);
  if (!s->audio) {
    SFileError(s, "No sound found in the Vorn file.");
    return SFILE_FAILED;
  }
  s->track = (uint32_t)chosen;
  s->inRate = rate;
  s->inBits = 16;
  s->inChannels = channels;
  s->inBlock = 2 * channels;
  const uint64_t total = (uint64_t)rate * s->inBlock * h->frames * h->fileRateDivisor / h->fileRate;
  s->total = total > 0xFFFFFFFCull ? 0xFFFFFFFCu : (uint32_t)total & ~3u;
  s->framePeriod10us = (uint32_t)(100000ull * h->fileRateDivisor / h->fileRate);
  uint32_t size = VornLe32(h->trackBuffers + 4 * (size_t)chosen);
  size = size < kLeastDecoded ? kLeastDecoded : size > kMostDecoded ? kMostDecoded : (size + 3) & ~3u;
  s->decoded = (uint8_t*)kormalloc((int32_t)size);
  if (!s->decoded) return SFILE_FAILED;
  s->decodedSize = size;
  s->frame = 1;
  return SFILE_OPENED;
}

// Decodes the next frame's packet; false after the last frame or on a read
// error.
static bool NextPacket(SFile* s) {
  VornHandle* h = (VornHandle*)s->vorn;
  if (s->frame > h->frames) return false;
  if (s->frame == 1)
    VornSeekFrame(h, 1);
  else
    VornAdvanceFrame(h);
  s->frame++;
  if (!h->frame || h->readError || PlatAtomicLoad(&h->reader.readError)) {
    s->frame = h->frames + 1;
    return false;
  }
  const uint8_t* packet = nullptr;
  uint32_t bytes = 0;
  if (VornFramePacket(h->frame, h->frameBytes, h->trackCount, s->track, &packet, &bytes) < 0) {
    s->frame = h->frames + 1;
    return false;
  }
  s->decodedRead = s->decodedFill = 0;
  if (packet)
    s->decodedFill = VornAudioDecodePacket((VornAudio*)s->audio, packet, bytes, s->decoded, s->decodedSize);
  return true;
}

static uint32_t ReadVorn(SFile* s, uint8_t* dst, uint32_t bytes) {
  uint32_t done = 0;
  while (done < bytes) {
    if (s->decodedRead == s->decodedFill) {
      if (!NextPacket(s)) break;
      continue;
    }
    uint32_t n = s->decodedFill - s->decodedRead;
    if (s->dropLeft) {
      const uint32_t d = n < s->dropLeft ? n : s->dropLeft;
      s->decodedRead += d;
      s->dropLeft -= d;
      continue;
    }
    if (n > bytes - done) n = bytes - done;
    memcpy(dst + done, s->decoded + s->decodedRead, n);
    s->decodedRead += n;
    done += n;
  }
  return done;
}

static void ResetVorn(SFile* s) {
  // A new decoder: no cross-fade from where the last read stopped.
  VornAudio* a = (VornAudio*)s->audio;
  s->audio = VornAudioOpen(a->geo.rate, a->geo.channels, 1);
  VornAudioClose(a);
  s->frame = 1;
  s->decodedRead = s->decodedFill = 0;
  if (!s->audio) s->frame = ((VornHandle*)s->vorn)->frames + 1;
}

static void SkipVorn(SFile* s, uint32_t bytes) { s->drop += bytes; }

static void CloseVorn(SFile* s) {
  VornAudioClose((VornAudio*)s->audio);
  VornClose((VornHandle*)s->vorn);
  korfree(s->decoded);
  s->audio = s->vorn = nullptr;
  s->decoded = nullptr;
}

const SFileKind SFileVorn = {SFILE_VORN, OpenVorn, ReadVorn, ResetVorn, CloseVorn, SkipVorn};
