#include "vornmake/sound.h"

#include <string.h>

#include "korutil/korutil.h"
#include "vornmake/audioenc.h"

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
  const bool codable = src->sampleRate && src->sampleRate <= 0xFFFF;
  t->format = (src->sampleRate & 0xFFFF) | (codable ? 0x80000000u : 0) |
              (src->bits == 16 ? 0x40000000u : 0) | (t->channels == 2 ? 0x20000000u : 0);
  t->leadIn = src->sampleRate * t->channels * 6 / 4;
  t->bytesPerSecond = src->sampleRate * t->channels * 2;
  uint64_t total = rateNum ? (uint64_t)t->bytesPerSecond * frames * rateDen / rateNum : 0;
  total = (total + 3) & ~3ull;
  t->bytesLeft = total > 0xFFFFFFFCu ? 0xFFFFFFFCu : (uint32_t)total;
  t->frames = frames;
  if (codable) t->encoder = VmkAudioEncOpen(src->sampleRate, t->channels);
}

void VmkTrackFree(VmkTrack* t) {
  VmkAudioEncClose((VmkAudioEnc*)t->encoder);
  t->encoder = nullptr;
}

// Up to `bytes` bytes from the track's leading silence, then its source.
static uint32_t Take(VmkTrack* t, void* handle, uint8_t* buffer, uint32_t bytes) {
  uint32_t got = 0;
  if (t->silence) {
    got = t->silence < bytes ? t->silence : bytes;
    memset(buffer, 0, got);
    t->silence -= got;
  }
  if (got < bytes && t->callback) {
    const int32_t r = t->callback(handle, t->user, buffer + got, (int32_t)(bytes - got));
    if (r > 0) got += (uint32_t)r < bytes - got ? (uint32_t)r : bytes - got;
  }
  return got;
}

// A packet is gathered in the encoder's staging area and written with its
// length words in front; one that outgrows the area is written as it comes
// and its words are patched afterwards.
static void Stage(KORFile* f, VmkAudioEnc* e, uint32_t* staged, bool* spilled, const void* p,
                  uint32_t n) {
  if (!*spilled && *staged + n > e->stageSize) {
    KORFilePut32(f, 0);
    KORFilePut32(f, 0);
    KORFilePutNB(f, e->stage + 8, (int32_t)(*staged - 8));
    *spilled = true;
  }
  if (*spilled) {
    KORFilePutNB(f, p, (int32_t)n);
  } else {
    memcpy(e->stage + *staged, p, n);
    *staged += n;
  }
}

static void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = (uint8_t)(v >> (8 * i));
}

uint32_t VmkWritePacket(KORFile* f, VmkTrack* t, uint32_t frame, uint32_t rateNum,
                        uint32_t rateDen, void* handle) {
  VmkAudioEnc* e = (VmkAudioEnc*)t->encoder;
  // The last frame's packet takes what is left even when frames are longer
  // than the lead (below 4/3 frames per second).
  const uint64_t target =
      frame + 1 >= t->frames
          ? UINT64_MAX
          : t->leadIn + (rateNum ? (uint64_t)t->bytesPerSecond * frame * rateDen / rateNum : 0);
  if (!e || t->bytesDone >= target || !t->bytesLeft) {
    KORFilePut32(f, 0);
    return 4;
  }
  const uint32_t start = KORFileGetPos(f);
  uint32_t staged = 8, size = 8;
  bool spilled = false;
  uint32_t pcm = 0;
  bool last = false;
  do {
    uint32_t room;
    uint8_t* buffer = (uint8_t*)VmkAudioEncInput(e, &room);
    uint32_t got = Take(t, handle, buffer, room);
    if (got < room && t->bytesLeft > got) {
      const uint32_t fill = room < t->bytesLeft ? room : t->bytesLeft;
      memset(buffer + got, 0, fill - got);
      got = fill;
    }
    uint32_t length, accounted;
    const uint8_t* block = VmkAudioEncBlock(e, t->quality, got, &length, &accounted);
    t->sourceBytes += t->bits == 8 ? got / 2 : got;
    t->compressedBytes += length;
    if (t->sourceBytes > 0x40000000u) {  // keep the ratio, not the totals
      t->sourceBytes /= 2;
      t->compressedBytes /= 2;
    }
    Stage(f, e, &staged, &spilled, block, length);
    size += length;
    if (accounted > t->bytesLeft) accounted = t->bytesLeft;
    // A short block ends the track once it has accounted for all that is
    // left; samples it still holds back for the cross-fade need one more.
    last = got < room && accounted >= t->bytesLeft;
    t->bytesDone += accounted;
    t->bytesLeft -= accounted;
    pcm += accounted;
  } while (t->bytesDone < target && t->bytesLeft && !last);
  if (last) t->bytesLeft = 0;
  if (pcm > t->largestPacket) t->largestPacket = pcm;
  if (!spilled) {
    PutLe32(e->stage, size - 4);
    PutLe32(e->stage + 4, pcm);
    KORFilePutNB(f, e->stage, (int32_t)staged);
    return size;
  }
  const uint32_t end = KORFileGetPos(f);
  KORFileSetPos(f, start);
  KORFilePut32(f, size - 4);
  KORFilePut32(f, pcm);
  KORFileSetPos(f, end);
  return size;
}

void VmkWritePackets(VornMakeHandle* h, uint32_t frame) {
  for (uint32_t i = 0; i < h->trackCount; i++)
    VmkWritePacket(h->file, &h->tracks[i], frame, h->rateNum, h->rateDen, h);
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
