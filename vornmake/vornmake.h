// vornmake: the Vorn encoder library. Every function declared here is
// exported from libvornmake.so with C linkage (see exports.map).
//
// Calling order: KORSetMemory (optional), VornMakeSetMaxCPUs (optional),
// VornMake, VornMakePutVideo once per frame, VornMakeFlush at any time (also
// from another thread), VornMakeClose exactly once.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VornMakeHandle VornMakeHandle;

// Progress and messages: code 1 is progress (text names the stage; a
// non-zero result asks the encoder to stop), code 2 an error message (result
// ignored). handle is null for messages raised before the handle exists.
typedef int (*VornMakeCallback)(int32_t code, VornMakeHandle* handle, const char* text);

// Sound source: fills buffer with up to bytes bytes of 16-bit signed PCM,
// channels interleaved, and returns the count placed; fewer than asked means
// the source has ended. handle is the encoder handle.
typedef int32_t (*VornMakeSoundCallback)(void* handle, intptr_t user, void* buffer, int32_t bytes);

// One sound track as the caller describes it.
typedef struct VornMakeTrack {
  uint32_t id;          // written to the file, selects the track in players
  uint32_t sampleRate;  // Hz
  uint32_t bits;        // 16 or 8
  uint32_t channels;    // 2 for stereo, anything else is mono
  int32_t quality;      // 0 finest; each step up is coarser
  intptr_t user;        // handed to the callback
  VornMakeSoundCallback callback;  // null: a silent track
} VornMakeTrack;

// Memory functions of the caller. An allocator result of (void*)-1 means
// failure; null falls back to the runtime heap.
typedef void* (*VornMakeAllocFunc)(uint32_t bytes);
typedef void (*VornMakeFreeFunc)(void* block);

// Mode bits of VornMake: mode % 100 is the scale mode (0 none; 1, 2 half
// height; 3 half width; 4, 5 half both), a non-zero hundreds digit asks for a
// grey-scale file, 1000 or more for an alpha plane.
enum {
  VORNMAKE_GREY = 0x20000,    // no chroma planes
  VORNMAKE_ALPHA = 0x100000,  // an alpha plane in every frame
};

// Installs the allocator used from now on; either may be null.
void KORSetMemory(VornMakeAllocFunc alloc, VornMakeFreeFunc free);
// Blocks aligned to 32 bytes; null for 0, -1 and on failure.
void* kormalloc(int32_t bytes);
void korfree(void* block);
// Milliseconds since the first call.
uint32_t KORTimerRead(void);

// Threads used by the analysis: count 1..32 replaces the processor count;
// other values change nothing. Returns the count in force before the call.
uint32_t VornMakeSetMaxCPUs(uint32_t count);

// Starts a file: name is the output; pitch the bytes from one row of the
// caller's pixels to the next; frames the number of frames that will be
// handed over; keyInterval the largest distance between key frames (0: none
// forced); mode as above; rateNum / rateDen the frame rate; window the frames
// of look-ahead (clamped to 2..64). Returns null on failure (reported through
// the callback).
VornMakeHandle* VornMake(const char* name, int32_t pitch, int32_t width, uint32_t height,
                         uint32_t frames, uint32_t keyInterval, uint32_t mode, uint32_t rateNum,
                         uint32_t rateDen, uint32_t trackCount, const VornMakeTrack* tracks,
                         uint32_t window, VornMakeCallback callback);

// Hands over the next frame: target is the size its record should take,
// maximum caps its video; key non-zero forces a key frame; levels (0..127)
// and soften (0..16) select the pre-filters. pixels: width x height pixels of
// 32 bits, bytes blue, green, red, alpha, rows top-down, pitch bytes apart.
void VornMakePutVideo(VornMakeHandle* handle, uint32_t target, uint32_t maximum, uint32_t key,
                      uint32_t levels, uint32_t soften, const void* pixels);

// Brings the header and index on disk up to date. 1, or 0 when the file
// could not be had within 250 ms.
int VornMakeFlush(VornMakeHandle* handle);

// Finishes the file (or throws it away when discard is non-zero or the
// encoding failed) and frees the handle. Returns the temporary file's size.
uint32_t VornMakeClose(VornMakeHandle* handle, int discard);

// What VornMix hands to its callback and to the sound sources in place of
// an encoder handle (cast to VornMakeHandle* and void*).
typedef struct VornMixStatus {
  uint32_t frame;        // frame being mixed, from 0
  uint32_t position;     // output position where that frame starts
  uint32_t inputSize;    // bytes of the input file
  uint32_t width, height;
  const VornMakeTrack* track;  // first caller record the mix uses, or null
  uint32_t frames;
  uint32_t rateNum, rateDen;   // of the output
} VornMixStatus;

// Rewrites the Vorn file at byte `offset` of `input` as `output` with sound
// tracks replaced, removed or added; the video is copied as it is. A caller
// record whose id matches an input track replaces that track (keeping its
// place) when it has a callback, and removes it when it has none; the other
// records with a callback are appended as new tracks. rateNum and rateDen,
// when both are non-zero, become the file's frame rate. delay > 0 puts
// delay - 1 frames of silence before the new sound, delay < 0 -delay
// milliseconds. The callback receives progress (code 1, empty text; a
// non-zero answer stops the mix and nothing is written) and errors (code 2).
// Returns the size of the file written, or 0 when nothing was written.
uint32_t VornMix(const char* input, const char* output, uint32_t offset, uint32_t rateNum,
                 uint32_t rateDen, int32_t delay, uint32_t trackCount, const VornMakeTrack* tracks,
                 VornMakeCallback callback);

#ifdef __cplusplus
}
#endif
