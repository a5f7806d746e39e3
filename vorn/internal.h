// Decoder internals shared between its source files.
#pragma once

#include "vorn/vorn.h"

// The process-wide error text.
void VornSetError(const char* text);

// Services the sound when a track plays (reader waits, decoder calls).
void VornServiceSound(VornHandle* h);

// The installed track-open function (null: no sound back end) and the count
// of open tracks.
VornSoundTrackOpen VornSoundBackEnd(void);
void VornSoundTrackCount(int delta);

// Background reader thread: started by the open, stopped by the close.
int VornThreadStart(VornHandle* h);
void VornThreadStop(VornHandle* h);

// Frames are read through the reader (not memory, not preloaded).
static inline int VornUsesReader(const VornHandle* h) {
  return !(h->flags & VORN_OPEN_MEMORY) && !h->preloaded && h->reader.readFrame;
}

// The decoder's millisecond clock; never 0, which marks unset times.
static inline uint32_t VornNow(void) {
  uint32_t t = PlatClockMs();
  return t ? t : 1;
}

// The background thread reads ahead (it also runs just for the sound).
static inline int VornThreadReads(const VornHandle* h) {
  return h->thread && !(h->flags & VORN_OPEN_NOTHREAD) && VornUsesReader(h);
}

// Read buffer below pct percent of its fill target.
static inline int VornFillBelow(const VornReader* r, uint32_t pct) {
  int64_t fill = PlatAtomicLoad(&r->fill), target = PlatAtomicLoad(&r->fillTarget);
  return fill * 100 < target * (int64_t)pct;
}

// The playback clock: started when not running; restarted from the caller's
// thread or the sound service.
void VornStartClock(VornHandle* h, uint32_t now);
// Milliseconds behind the schedule of the next frame (negative: early);
// starts the clock when it is not running. The rate must not be 0.
int64_t VornLateness(VornHandle* h, uint32_t now);
// Accounting at the caller's waits: the blit time since the last decode
// ended, and (VornAccount) the time of the last frame for the slowest two.
void VornAccountBlit(VornHandle* h, uint32_t now);
void VornAccount(VornHandle* h, uint32_t now);
// Shifts the history rings and stores the frame starting now.
void VornRecordHistory(VornHandle* h);
static inline void VornRestartClock(VornHandle* h) { __atomic_store_n(&h->clockStart, 0u, __ATOMIC_SEQ_CST); }

// Sound ring: the lock that writers wait for, silence padding, stream stop
// and start, and the decoded packet of a frame.
void VornSoundLock(VornHandle* h);
void VornSoundUnlock(VornHandle* h);
void VornSoundPad(VornHandle* h);  // under the lock
void VornSoundStop(VornHandle* h);
// Starts the stream again; with silence, the ring is padded up to the
// start-up fill (not when starting over from the first frame).
void VornSoundStart(VornHandle* h, int silence);
void VornSoundWritePacket(VornHandle* h, const uint8_t* packet, uint32_t bytes);
// Operations a back end left null do nothing (ready gives 0).
void VornSoundFillDefaults(VornSoundOut* s);
