#include "vornmake/sound.h"

#include <string.h>

#include "korutil/korutil.h"

void VmkTrackInit(VmkTrack* t, const VornMakeTrack* src, uint32_t frames, uint32_t rateNum,
                  uint32_t rateDen) {
  memset(t, 0, sizeof *t);
  t->id = src->id;
  t->sampleRate = src->sampleRate;
  t->bits = src->bits;
  t->channels = src->channels == 2 ? 2 : 1;
  t->quality = src->quality;
  t->user = src->user;
  t->callback = src->callback;
  t->sourceBytes = 45;
  t->compressedBytes = 10;
  t->format = (src->sampleRate & 0xFFFF) | 0x80000000u | (src->bits == 16 ? 0x40000000u : 0) |
              (t->channels == 2 ? 0x20000000u : 0);
  t->leadIn = src->sampleRate * t->channels * 6 / 4;
  t->bytesPerSecond = src->sampleRate * t->channels * 2;
  uint64_t total = rateNum ? (uint64_t)t->bytesPerSecond * frames * rateDen / rateNum : 0;
  total = (total + 3) & ~3ull;
  t->bytesLeft = total > 0xFFFFFFFCu ? 0xFFFFFFFCu : (uint32_t)total;
}

void VmkTrackFree(VmkTrack* t) { t->encoder = nullptr; }

// The sound encoder is not part of this library yet: every packet is empty.
void VmkWritePackets(VornMakeHandle* h, uint32_t) {
  for (uint32_t i = 0; i < h->trackCount; i++) KORFilePut32(h->file, 0);
}

int64_t VmkSoundEstimate(const VornMakeHandle* h, uint32_t frames) {
  int64_t s = 0;
  for (uint32_t i = 0; i < h->trackCount; i++) {
    const VmkTrack* t = &h->tracks[i];
    uint64_t want = h->rateNum ? (uint64_t)t->bytesPerSecond * frames * h->rateDen / h->rateNum : 0;
    if (want > t->bytesLeft) want = t->bytesLeft;
    s += (int64_t)(want * t->compressedBytes / (t->sourceBytes ? t->sourceBytes : 1));
  }
  return s;
}
