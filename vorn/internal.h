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
