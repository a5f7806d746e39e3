// Sound tracks of a file being made: track records and the audio packets of
// each frame record.
#pragma once

#include <stdint.h>

#include "vornmake/vmk.h"

// Fills a track record from the caller's description for a file of the
// given frame count and rate, and opens its encoder. A track whose rate
// cannot be coded (0 or above 65535 Hz) or whose encoder finds no memory
// writes empty packets.
void VmkTrackInit(VmkTrack* t, const VornMakeTrack* src, uint32_t frames, uint32_t rateNum,
                  uint32_t rateDen);
void VmkTrackFree(VmkTrack* t);

// Writes track t's packet for frame `frame` (0-based) at the file's
// position, taking sound from the track's source (after its leading
// silence) with `handle` as the callback's first argument. Returns the
// packet's size in bytes, its length word included.
uint32_t VmkWritePacket(KORFile* f, VmkTrack* t, uint32_t frame, uint32_t rateNum,
                        uint32_t rateDen, void* handle);

// Writes each track's packet for frame `frame` (0-based) at the file's
// position.
void VmkWritePackets(VornMakeHandle* h, uint32_t frame);

// Bytes of sound the next `frames` frames are expected to take.
int64_t VmkSoundEstimate(const VornMakeHandle* h, uint32_t frames);
