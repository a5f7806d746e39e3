// Sound output on the decoder's side: the back-end slot, the decoded-sound
// ring (written by VornDecodeFrame, drained into the back end by
// VornFeedSound), silence padding and the stream's stop and start.
//
// The ring is guarded by an 8-bit lock changed by interlocked increment and
// decrement: the service works only when its increment made it 1 and skips
// otherwise; writers and the stop and start code wait until it is 1.
#include <string.h>

#include "vorn/audio.h"
#include "vorn/internal.h"

static VornSoundSystem g_system;
static VornSoundTrackOpen g_trackOpen;
static volatile int32_t g_openTracks;

// Underrun repairs by the service are at least this far apart (ms).
static const uint32_t kRepairGap = 750;

extern "C" int VornSelectSoundOutput(VornSoundSystem system, void* arg) {
  if (PlatAtomicLoad(&g_openTracks) > 0 && system != g_system) return 0;
  g_system = system;
  g_trackOpen = system ? system(arg) : nullptr;
  return g_trackOpen != nullptr;
}

VornSoundTrackOpen VornSoundBackEnd(void) { return g_trackOpen; }

void VornSoundTrackCount(int delta) { PlatAtomicAdd(&g_openTracks, delta); }

void VornServiceSound(VornHandle* h) {
  if (h && h->soundTrack >= 0) VornFeedSound(h);
}

static int NoReady(VornSoundOut*) { return 0; }
static int NoSegment(VornSoundOut*, uint8_t**, uint32_t*) { return 0; }
static int NoCommit(VornSoundOut*, uint32_t) { return 1; }
static void NoLevel(VornSoundOut*, uint32_t) {}
static void NoPause(VornSoundOut*, int) {}
static int NoStartStop(VornSoundOut*, int start) { return start; }
static void NoClose(VornSoundOut*) {}

void VornSoundFillDefaults(VornSoundOut* s) {
  if (!s->ready) s->ready = NoReady;
  if (!s->getSegment) s->getSegment = NoSegment;
  if (!s->commit) s->commit = NoCommit;
  if (!s->setVolume) s->setVolume = NoLevel;
  if (!s->setPan) s->setPan = NoLevel;
  if (!s->pause) s->pause = NoPause;
  if (!s->startStop) s->startStop = NoStartStop;
  if (!s->close) s->close = NoClose;
}

void VornSoundLock(VornHandle* h) {
  PlatAtomicInc8(&h->soundLock);
  while (__atomic_load_n(&h->soundLock, __ATOMIC_SEQ_CST) != 1) PlatSleep(1);
}

void VornSoundUnlock(VornHandle* h) { PlatAtomicDec8(&h->soundLock); }

// Time a is past time b on the wrapping millisecond clock.
static int After(uint32_t a, uint32_t b) { return (int32_t)(a - b) > 0; }

void VornSoundPad(VornHandle* h) {
  uint32_t fill = (uint32_t)PlatAtomicLoad(&h->soundFill);
  if (fill >= h->soundStartFill) return;
  // Zeros in front of the unread sound: the read position moves back.
  uint32_t missing = h->soundStartFill - fill;
  uint32_t at = (uint32_t)(h->soundRead - h->soundRing);
  while (missing) {
    if (at == 0) at = h->soundRingSize;
    uint32_t run = missing < at ? missing : at;
    at -= run;
    memset(h->soundRing + at, 0, run);
    missing -= run;
  }
  h->soundRead = h->soundRing + at;
  PlatAtomicStore(&h->soundFill, (int32_t)h->soundStartFill);
}

// Takes n bytes of 16-bit sound from the ring into dst, as they are or as
// 8-bit unsigned samples.
static void TakeFromRing(VornHandle* h, uint8_t* dst, uint32_t n) {
  while (n) {
    uint32_t run = (uint32_t)(h->soundRingEnd - h->soundRead);
    if (run > n) run = n;
    if (h->soundTo8Bit) {
      VornAudioTo8Bit(dst, (const int16_t*)h->soundRead, run / 2);
      dst += run / 2;
    } else {
      memcpy(dst, h->soundRead, run);
      dst += run;
    }
    h->soundRead += run;
    if (h->soundRead == h->soundRingEnd) h->soundRead = h->soundRing;
    n -= run;
  }
}

extern "C" void VornFeedSound(VornHandle* h) {
  if (!h || h->soundTrack < 0 || !h->sound.open) return;
  VornSoundOut* s = &h->sound;
  if (PlatAtomicInc8(&h->soundLock) == 1) {
    // One sample frame: a byte count that splits one would tear the
    // channels apart.
    const uint32_t unit = 2 * (s->channels ? s->channels : 1);
    while (s->ready(s)) {
      uint32_t fill = (uint32_t)PlatAtomicLoad(&h->soundFill);
      int atEnd = h->frameNumber > h->soundEndFrame;
      if (!(fill > s->segmentSourceBytes || (atEnd && fill >= unit))) break;
      if (PlatAtomicLoad(&s->underrun)) {
        PlatAtomicStore(&s->underrun, 0);
        uint32_t now = VornNow();
        if (h->frameNumber > 1 && !atEnd && (!h->nextRepair || After(now, h->nextRepair))) {
          h->soundSkips++;
          VornSoundPad(h);
          VornRestartClock(h);
          h->nextRepair = now + kRepairGap;
          if (!h->nextRepair) h->nextRepair = 1;
          fill = (uint32_t)PlatAtomicLoad(&h->soundFill);
        }
      }
      uint8_t* data = nullptr;
      uint32_t bytes = 0;
      if (!s->getSegment(s, &data, &bytes) || !data) break;
      uint32_t take = h->soundTo8Bit ? 2 * bytes : bytes;
      if (take > fill) take = fill;
      take -= take % unit;
      if (!take) {
        s->commit(s, 0);
        break;
      }
      TakeFromRing(h, data, take);
      PlatAtomicAdd(&h->soundFill, -(int32_t)take);
      s->commit(s, h->soundTo8Bit ? take / 2 : take);
    }
  }
  PlatAtomicDec8(&h->soundLock);
}

void VornSoundWritePacket(VornHandle* h, const uint8_t* packet, uint32_t bytes) {
  VornSoundLock(h);
  uint32_t fill = (uint32_t)PlatAtomicLoad(&h->soundFill);
  uint32_t at = (uint32_t)(h->soundWrite - h->soundRing);
  // What does not fit is dropped.
  uint32_t n = VornAudioDecodePacketRing(h->audio, packet, bytes, h->soundRing, h->soundRingSize,
                                         at, h->soundRingSize - fill);
  // Whole sample frames only, so that the ring stays aligned.
  n -= n % (2 * (h->sound.channels == 2 ? 2 : 1));
  at += n;
  if (at >= h->soundRingSize) at -= h->soundRingSize;
  h->soundWrite = h->soundRing + at;
  PlatAtomicAdd(&h->soundFill, (int32_t)n);
  VornSoundUnlock(h);
}

void VornSoundStop(VornHandle* h) {
  if (h->soundTrack < 0) return;
  VornSoundLock(h);
  if (h->sound.startStop(&h->sound, 0) == 0 && h->soundRunning == 1) {
    h->soundRead = h->soundWrite = h->soundRing;
    PlatAtomicStore(&h->soundFill, 0);
    h->soundRunning = 0;
  }
  VornSoundUnlock(h);
}

void VornSoundStart(VornHandle* h, int silence) {
  if (h->soundTrack < 0) return;
  VornSoundLock(h);
  if (h->sound.startStop(&h->sound, 1) && h->soundRunning == 0) {
    if (silence) VornSoundPad(h);
    h->soundRunning = 1;
    VornRestartClock(h);
  }
  VornSoundUnlock(h);
}
