// Sound input: the table of source kinds behind SFileOpen. Each kind opens
// its source (setting the input format, the total bytes and, when it has
// pictures, the frame period), fills the input buffer, rewinds and closes.
#pragma once

#include <stdint.h>

#include "korutil/korutil.h"

enum { SFILE_OPENED = 1, SFILE_NOT_MINE = 0, SFILE_FAILED = -1 };

struct SFileKind {
  int32_t kind;
  // SFILE_OPENED, SFILE_NOT_MINE (the next kind is tried) or SFILE_FAILED
  // (reported; no other kind is tried).
  int (*open)(SFile* s, int32_t track, int32_t rawFlags, int32_t rawOffset);
  // Appends up to `bytes` input bytes at dst; returns the count (0 at the
  // end of the source).
  uint32_t (*read)(SFile* s, uint8_t* dst, uint32_t bytes);
  // Back to the start of the range.
  void (*reset)(SFile* s);
  void (*close)(SFile* s);
  // Moves the start of the range `bytes` into the source (whole blocks).
  void (*skip)(SFile* s, uint32_t bytes);
};

extern const SFileKind SFileWave;
extern const SFileKind SFileVorn;

void SFileError(SFile* s, const char* text);
