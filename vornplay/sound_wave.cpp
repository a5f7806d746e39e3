// The queued-header back end (/Z): 16 segments of 1/16 s, each with a
// header that is done when played. Before the start the written segments
// only accumulate; once more than half a second is there, header 0 goes out
// with all of it, and after that each segment goes out with its own header.
#include <stdlib.h>
#include <string.h>

#include "vornplay/sound.h"

enum { kHeaders = 16 };

struct WaveHeader {
  uint8_t* data;
  uint32_t length;
  volatile int32_t done;
};

struct WaveState {
  PlatSound* dev;
  VornSoundOut* out;
  uint32_t rate, bits, channels;
  uint32_t volume, pan;
  uint32_t gainLeft, gainRight;  // 0..65536
  int32_t started, paused, stopped;
  int32_t writable;
  int32_t lastWritten;
  uint32_t bytesBeforeStart;
  uint32_t preroll, segmentBytes;
  uint8_t* memory;
  WaveHeader headers[kHeaders];
  // The device's queue of written headers.
  int32_t queue[kHeaders];
  uint32_t queueHead, queueCount, played;  // played: bytes of the head header
};

static uint32_t Round32(uint32_t v) { return (v + 31) & ~31u; }
uint32_t VornWaveOutSegment(uint32_t bytesPerSecond) { return Round32(bytesPerSecond / 16); }
uint32_t VornWaveOutPreroll(uint32_t bytesPerSecond) { return Round32(bytesPerSecond / 2); }

static WaveState* St(VornSoundOut* o) { return (WaveState*)o->backEnd; }

// Device thread: plays the queued headers in order, silence when none.
static void WavePull(void* user, uint8_t* out, uint32_t bytes) {
  WaveState* s = (WaveState*)user;
  uint32_t done = 0;
  while (done < bytes && s->queueCount) {
    WaveHeader* h = &s->headers[s->queue[s->queueHead]];
    uint32_t n = h->length - s->played;
    if (n > bytes - done) n = bytes - done;
    memcpy(out + done, h->data + s->played, n);
    done += n;
    s->played += n;
    if (s->played >= h->length) {
      PlatAtomicStore(&h->done, 1);
      s->played = 0;
      s->queueHead = (s->queueHead + 1) % kHeaders;
      s->queueCount--;
    }
  }
  memset(out + done, s->bits == 8 ? 0x80 : 0, bytes - done);
  if (s->gainLeft == 65536 && s->gainRight == 65536) return;
  if (s->bits == 16) {
    int16_t* p = (int16_t*)out;
    for (uint32_t i = 0; i < bytes / 2; i++)
      p[i] = (int16_t)((int32_t)p[i] * (int64_t)(s->channels == 2 && (i & 1) ? s->gainRight : s->gainLeft) >> 16);
  } else {
    for (uint32_t i = 0; i < bytes; i++)
      out[i] = (uint8_t)(128 + (((int32_t)out[i] - 128) *
                                (int64_t)(s->channels == 2 && (i & 1) ? s->gainRight : s->gainLeft) >> 16));
  }
}

static void Queue(WaveState* s, int32_t header, uint32_t bytes) {
  PlatSoundLock(s->dev);
  s->headers[header].length = bytes;
  PlatAtomicStore(&s->headers[header].done, 0);
  s->queue[(s->queueHead + s->queueCount) % kHeaders] = header;
  s->queueCount++;
  PlatSoundUnlock(s->dev);
}

static void ResetHeaders(WaveState* s) {
  PlatSoundLock(s->dev);
  s->queueHead = s->queueCount = s->played = 0;
  for (WaveHeader& h : s->headers) PlatAtomicStore(&h.done, 1);
  PlatSoundUnlock(s->dev);
  s->started = 0;
  s->lastWritten = -1;
  s->writable = -1;
  s->bytesBeforeStart = 0;
}

static int WaveReady(VornSoundOut* o) {
  WaveState* s = St(o);
  if (!s || s->paused || s->stopped) return 0;
  if (s->started) {
    int all = 1;
    for (WaveHeader& h : s->headers) all &= PlatAtomicLoad(&h.done) != 0;
    if (all) {
      // Everything played: start again after a new pre-roll.
      PlatAtomicStore(&o->underrun, 1);
      ResetHeaders(s);
    }
  }
  int32_t next = (s->lastWritten + 1) % kHeaders;
  s->writable = PlatAtomicLoad(&s->headers[next].done) ? next : -1;
  return s->writable >= 0;
}

static int WaveGetSegment(VornSoundOut* o, uint8_t** data, uint32_t* bytes) {
  WaveState* s = St(o);
  if (!s || s->writable < 0) return 0;
  *data = s->headers[s->writable].data;
  *bytes = s->segmentBytes;
  return 1;
}

static int WaveCommit(VornSoundOut* o, uint32_t bytes) {
  WaveState* s = St(o);
  if (!s || s->writable < 0) return 0;
  if (bytes > s->segmentBytes) bytes = s->segmentBytes;
  int32_t h = s->writable;
  s->writable = -1;
  s->lastWritten = h;
  if (!s->started) {
    // Segments are consecutive: header 0 takes them all at the start. A
    // short segment is the end of the sound for now: it starts the stream
    // too, so that sound shorter than the pre-roll is played.
    s->bytesBeforeStart = h * s->segmentBytes + bytes;
    if (s->bytesBeforeStart > s->preroll || bytes < s->segmentBytes || h == kHeaders - 1) {
      s->started = 1;
      Queue(s, 0, s->bytesBeforeStart);
      PlatSoundPlay(s->dev, 1);
    }
    return 1;
  }
  Queue(s, h, bytes);
  return 1;
}

static void Regain(WaveState* s) {
  uint32_t v = s->volume;  // 0..32767
  uint32_t l = v, r = v, a = s->pan;
  if (a > 32767)
    l = (uint32_t)((uint64_t)v * (65536 - a) / 32769);
  else
    r = (uint32_t)((uint64_t)v * a / 32767);
  // The stored volume's full scale (32767) plays at full level.
  s->gainLeft = (uint32_t)((uint64_t)l * 65536 / 32767);
  s->gainRight = (uint32_t)((uint64_t)r * 65536 / 32767);
  if (s->gainLeft > 65536) s->gainLeft = 65536;
  if (s->gainRight > 65536) s->gainRight = 65536;
}

static void WaveSetVolume(VornSoundOut* o, uint32_t v) {
  WaveState* s = St(o);
  if (!s) return;
  s->volume = (uint32_t)((uint64_t)(v > 65536 ? 65536 : v) * 32767 / 65536);
  Regain(s);
}

static void WaveSetPan(VornSoundOut* o, uint32_t p) {
  WaveState* s = St(o);
  if (!s) return;
  s->pan = p > 65536 ? 65536 : p;
  Regain(s);
}

static void WavePause(VornSoundOut* o, int on) {
  WaveState* s = St(o);
  if (!s || !s->dev) return;
  s->paused = on != 0;
  PlatSoundPlay(s->dev, !s->paused && s->started);
}

static int OpenDevice(WaveState* s) {
  s->dev = PlatSoundOpen(s->rate, s->bits, s->channels, 512, WavePull, s);
  return s->dev != nullptr;
}

static void CloseDevice(WaveState* s) {
  if (!s->dev) return;
  PlatSoundClose(s->dev);
  s->dev = nullptr;
  s->queueHead = s->queueCount = s->played = 0;
  for (WaveHeader& h : s->headers) PlatAtomicStore(&h.done, 1);
  s->started = 0;
  s->lastWritten = -1;
  s->writable = -1;
  s->bytesBeforeStart = 0;
}

static int WaveStartStop(VornSoundOut* o, int start) {
  WaveState* s = St(o);
  if (!s) return 0;
  if (start) {
    if (s->stopped && OpenDevice(s)) s->stopped = 0;
  } else {
    CloseDevice(s);
    s->stopped = 1;
  }
  return !s->stopped;
}

static void WaveClose(VornSoundOut* o) {
  WaveState* s = St(o);
  if (!s) return;
  CloseDevice(s);
  free(s->memory);
  free(s);
  o->backEnd = nullptr;
}

static int WaveTrackOpen(VornSoundOut* o, uint32_t rate, uint32_t bits, uint32_t channels,
                         uint32_t, VornHandle*) {
  if (!o || (bits != 8 && bits != 16) || channels < 1 || channels > 2 || rate == 0) return 0;
  uint32_t bps = rate * channels * bits / 8;
  WaveState* s = (WaveState*)calloc(1, sizeof(WaveState));
  if (!s) return 0;
  s->out = o;
  s->rate = rate;
  s->bits = bits;
  s->channels = channels;
  s->segmentBytes = VornWaveOutSegment(bps);
  s->preroll = VornWaveOutPreroll(bps);
  s->memory = (uint8_t*)malloc((size_t)kHeaders * s->segmentBytes);
  if (!s->memory) {
    free(s);
    return 0;
  }
  memset(s->memory, bits == 8 ? 0x80 : 0, (size_t)kHeaders * s->segmentBytes);
  for (int i = 0; i < kHeaders; i++) {
    s->headers[i].data = s->memory + (size_t)i * s->segmentBytes;
    s->headers[i].length = s->segmentBytes;
    s->headers[i].done = 1;
  }
  s->lastWritten = -1;
  s->writable = -1;
  s->volume = 0x7FFF;
  s->pan = 0x7FFF;
  Regain(s);
  if (!OpenDevice(s)) {
    free(s->memory);
    free(s);
    return 0;
  }
  o->ready = WaveReady;
  o->getSegment = WaveGetSegment;
  o->commit = WaveCommit;
  o->setVolume = WaveSetVolume;
  o->setPan = WaveSetPan;
  o->pause = WavePause;
  o->startStop = WaveStartStop;
  o->close = WaveClose;
  o->segmentSourceBytes = s->segmentBytes * (bits == 8 ? 2 : 1);
  o->underrun = 0;
  o->latency = 0;
  o->rate = rate;
  o->bits = bits;
  o->channels = channels;
  o->backEnd = s;
  return 1;
}

VornSoundTrackOpen VornWaveOutOutput(void*) { return WaveTrackOpen; }
