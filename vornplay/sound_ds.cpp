// The looping-buffer back end: 4 segments of at least 100 ms, primed one by
// one, then played in a loop; the segment just behind the play position is
// the one to write, and segments the position reaches unwritten play
// silence and raise the underrun flag.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "vornplay/sound.h"

// T[i] = 2000 log10(i / 127), T[0] = -10000.
const int16_t kVornAttenuation[128] = {
    -10000, -4208, -3606, -3253, -3003, -2810, -2651, -2517, -2401, -2299, -2208, -2125, -2049,
    -1980, -1915, -1855, -1799, -1747, -1697, -1650, -1606, -1563, -1523, -1484, -1447, -1412,
    -1378, -1345, -1313, -1283, -1253, -1225, -1197, -1171, -1145, -1119, -1095, -1071, -1048,
    -1025, -1003, -982, -961, -941, -921, -901, -882, -863, -845, -827, -810, -792,
    -776, -759, -743, -727, -711, -696, -681, -666, -651, -637, -623, -609, -595,
    -582, -569, -555, -543, -530, -517, -505, -493, -481, -469, -457, -446, -435,
    -423, -412, -401, -391, -380, -369, -359, -349, -339, -329, -319, -309, -299,
    -290, -280, -271, -261, -252, -243, -234, -225, -216, -208, -199, -190, -182,
    -174, -165, -157, -149, -141, -133, -125, -117, -109, -101, -94, -86, -79,
    -71, -64, -57, -49, -42, -35, -28, -21, -14, -7, 0,
};

enum { kSegments = 4 };

struct DsState {
  PlatSound* dev;
  uint8_t* buffer;
  uint32_t bufferBytes, segmentBytes;
  uint32_t rate, bits, channels;
  uint32_t volume, pan;
  uint32_t gainLeft, gainRight;  // 0..65536
  uint32_t primed;
  int32_t playing;
  VornSoundOut* out;
  int32_t writable;
  int32_t started;
  int32_t paused;
  uint32_t written[kSegments];  // 1 when the segment holds data not yet played
  volatile int32_t position;    // play position in bytes (device thread)
};

uint32_t VornDirectSoundSegment(uint32_t bytesPerSecond) {
  uint32_t want = (uint32_t)(((uint64_t)bytesPerSecond + 9) / 10), seg = 1;
  while (seg < want) seg <<= 1;
  return seg;
}

static uint32_t Silence(const DsState* s) { return s->bits == 8 ? 0x80 : 0; }

// Volume and pan as attenuations (hundredths of a decibel) per channel.
static int32_t PanValue(uint32_t pan) {
  uint32_t c = (uint32_t)(((uint64_t)pan * 127 + 32768) >> 16);
  int32_t v = c < 64 ? kVornAttenuation[2 * c] : c > 64 ? -kVornAttenuation[254 - 2 * c] : 0;
  return v >= -24 && v <= 24 ? 0 : v;
}

static uint32_t Gain(int32_t hundredthsDb) {
  if (hundredthsDb <= -10000) return 0;
  return (uint32_t)(65536.0 * pow(10.0, hundredthsDb / 2000.0) + 0.5);
}

void VornDirectSoundGains(uint32_t volume, uint32_t pan, uint32_t* left, uint32_t* right) {
  if (volume > 32767) volume = 32767;
  int32_t v = kVornAttenuation[volume * 127 / 32767];
  int32_t p = PanValue(pan);
  // A negative pan lowers the right channel, a positive one the left.
  int32_t l = v + (p > 0 ? -p : 0), r = v + (p < 0 ? p : 0);
  *left = Gain(l < -10000 ? -10000 : l);
  *right = Gain(r < -10000 ? -10000 : r);
}

// Scales samples by the channel gains (unity gains leave them alone).
static void ApplyGains(uint8_t* p, uint32_t bytes, uint32_t bits, uint32_t channels, uint32_t gl,
                       uint32_t gr) {
  if (gl == 65536 && gr == 65536) return;
  if (bits == 16) {
    int16_t* s = (int16_t*)p;
    for (uint32_t i = 0; i < bytes / 2; i++) {
      uint32_t g = channels == 2 && (i & 1) ? gr : gl;
      s[i] = (int16_t)((int32_t)s[i] * (int64_t)g >> 16);
    }
  } else {
    for (uint32_t i = 0; i < bytes; i++) {
      uint32_t g = channels == 2 && (i & 1) ? gr : gl;
      p[i] = (uint8_t)(128 + (((int32_t)p[i] - 128) * (int64_t)g >> 16));
    }
  }
}

// Device thread: plays the buffer from the play position in a loop. A
// segment the position enters unwritten plays silence and raises the
// underrun flag; a segment it leaves is free again.
static void DsPull(void* user, uint8_t* out, uint32_t bytes) {
  DsState* s = (DsState*)user;
  uint32_t pos = (uint32_t)PlatAtomicLoad(&s->position);
  uint32_t done = 0;
  while (done < bytes) {
    uint32_t seg = pos / s->segmentBytes;
    if (pos % s->segmentBytes == 0 && !s->written[seg]) {
      memset(s->buffer + seg * s->segmentBytes, (int)Silence(s), s->segmentBytes);
      PlatAtomicStore(&s->out->underrun, 1);
    }
    uint32_t n = (seg + 1) * s->segmentBytes - pos;
    if (n > bytes - done) n = bytes - done;
    memcpy(out + done, s->buffer + pos, n);
    done += n;
    pos += n;
    if (pos % s->segmentBytes == 0) {
      s->written[seg] = 0;
      if (pos == s->bufferBytes) pos = 0;
    }
  }
  PlatAtomicStore(&s->position, (int32_t)pos);
  ApplyGains(out, bytes, s->bits, s->channels, s->gainLeft, s->gainRight);
}

static DsState* St(VornSoundOut* o) { return (DsState*)o->backEnd; }

static int DsReady(VornSoundOut* o) {
  DsState* s = St(o);
  if (!s) return 0;
  if (!s->playing) {
    if (s->primed < kSegments) {
      s->writable = (int32_t)s->primed;
      return 1;
    }
    // All four primed: play, unless stopped (they wait for the start).
    if (!s->started) return 0;
    s->playing = 1;
    PlatAtomicStore(&s->position, 0);
    if (!s->paused) PlatSoundPlay(s->dev, 1);
  }
  // The segment just behind the play position is written next.
  PlatSoundLock(s->dev);
  uint32_t seg = (uint32_t)PlatAtomicLoad(&s->position) / s->segmentBytes;
  uint32_t behind = (seg + kSegments - 1) % kSegments;
  s->writable = s->written[behind] ? -1 : (int32_t)behind;
  PlatSoundUnlock(s->dev);
  return s->writable >= 0;
}

static int DsGetSegment(VornSoundOut* o, uint8_t** data, uint32_t* bytes) {
  DsState* s = St(o);
  if (!s || s->writable < 0) return 0;
  *data = s->buffer + (uint32_t)s->writable * s->segmentBytes;
  *bytes = s->segmentBytes;
  return 1;
}

static int DsCommit(VornSoundOut* o, uint32_t bytes) {
  DsState* s = St(o);
  if (!s || s->writable < 0) return 0;
  uint8_t* seg = s->buffer + (uint32_t)s->writable * s->segmentBytes;
  if (bytes < s->segmentBytes) memset(seg + bytes, (int)Silence(s), s->segmentBytes - bytes);
  PlatSoundLock(s->dev);
  s->written[s->writable] = 1;
  PlatSoundUnlock(s->dev);
  if (!s->playing) {
    // A short segment is the end of the sound for now: play what is there
    // (the segments not primed hold silence).
    s->primed = bytes < s->segmentBytes ? (uint32_t)kSegments : s->primed + 1;
    if (s->primed == kSegments) {
      PlatSoundLock(s->dev);
      for (uint32_t& w : s->written) w = 1;
      PlatSoundUnlock(s->dev);
    }
  }
  s->writable = -1;
  return 1;
}

static void Regain(DsState* s) {
  uint32_t l, r;
  VornDirectSoundGains(s->volume, s->pan, &l, &r);
  s->gainLeft = l;
  s->gainRight = r;
}

static void DsSetVolume(VornSoundOut* o, uint32_t v) {
  DsState* s = St(o);
  if (!s) return;
  s->volume = v > 32767 ? 32767 : v;
  Regain(s);
}

static void DsSetPan(VornSoundOut* o, uint32_t p) {
  DsState* s = St(o);
  if (!s) return;
  s->pan = p > 65536 ? 65536 : p;
  Regain(s);
}

static void DsPause(VornSoundOut* o, int on) {
  DsState* s = St(o);
  if (!s) return;
  s->paused = on != 0;
  if (s->playing) PlatSoundPlay(s->dev, !s->paused);
}

static void Stop(DsState* s) {
  PlatSoundPlay(s->dev, 0);
  PlatSoundLock(s->dev);
  s->playing = 0;
  s->primed = 0;
  s->writable = -1;
  memset(s->written, 0, sizeof s->written);
  PlatAtomicStore(&s->position, 0);
  memset(s->buffer, (int)Silence(s), s->bufferBytes);
  PlatSoundUnlock(s->dev);
}

static int DsStartStop(VornSoundOut* o, int start) {
  DsState* s = St(o);
  if (!s) return 0;
  if (start) {
    s->started = 1;
  } else {
    Stop(s);
    s->started = 0;
  }
  return s->started;
}

static void DsClose(VornSoundOut* o) {
  DsState* s = St(o);
  if (!s) return;
  PlatSoundClose(s->dev);
  free(s->buffer);
  free(s);
  o->backEnd = nullptr;
}

static int DsTrackOpen(VornSoundOut* o, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t,
                       VornHandle*) {
  if (!o || (bits != 8 && bits != 16) || channels < 1 || channels > 2 || rate == 0) return 0;
  uint32_t bps = rate * channels * bits / 8;
  DsState* s = (DsState*)calloc(1, sizeof(DsState));
  if (!s) return 0;
  s->out = o;
  s->rate = rate;
  s->bits = bits;
  s->channels = channels;
  s->segmentBytes = VornDirectSoundSegment(bps);
  s->bufferBytes = kSegments * s->segmentBytes;
  s->writable = -1;
  s->volume = 0x7FFF;
  s->pan = 0x7FFF;
  Regain(s);
  s->buffer = (uint8_t*)malloc(s->bufferBytes);
  if (!s->buffer) {
    free(s);
    return 0;
  }
  memset(s->buffer, (int)Silence(s), s->bufferBytes);
  // Device blocks well below a segment keep the play position fine-grained.
  uint32_t frameBytes = channels * bits / 8, samples = 256;
  while (samples * 2 * frameBytes <= s->segmentBytes / 8 && samples < 4096) samples *= 2;
  s->dev = PlatSoundOpen(rate, bits, channels, samples, DsPull, s);
  if (!s->dev) {
    free(s->buffer);
    free(s);
    return 0;
  }
  o->ready = DsReady;
  o->getSegment = DsGetSegment;
  o->commit = DsCommit;
  o->setVolume = DsSetVolume;
  o->setPan = DsSetPan;
  o->pause = DsPause;
  o->startStop = DsStartStop;
  o->close = DsClose;
  o->segmentSourceBytes = s->segmentBytes * (bits == 8 ? 2 : 1);
  o->underrun = 0;
  o->latency = (uint32_t)(3ull * s->segmentBytes * 1000 / bps);
  o->rate = rate;
  o->bits = bits;
  o->channels = channels;
  o->backEnd = s;
  s->started = 1;
  return 1;
}

VornSoundTrackOpen VornDirectSoundOutput(void*) { return DsTrackOpen; }
