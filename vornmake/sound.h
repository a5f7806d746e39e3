// Sound tracks of a file being made: track records and the audio packets of
// each frame record.
#pragma once

#include <stdint.h>

#include "vornmake/vmk.h"

// Fills a track record from the caller's description for a file of the
// given frame count and rate.
void VmkTrackInit(VmkTrack* t, const VornMakeTrack* src, uint32_t frames, uint32_t rateNum,
                  uint32_t rateDen);
void VmkTrackFree(VmkTrack* t);

// Writes each track's packet for frame `frame` (0-based) at the file's
// position.
void VmkWritePackets(VornMakeHandle* h, uint32_t frame);

// Bytes of sound the next `frames` frames are expected to take.
int64_t VmkSoundEstimate(const VornMakeHandle* h, uint32_t frames);
