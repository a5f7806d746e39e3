// SFile sources of kind 1: RIFF WAVE files with PCM data, and raw PCM.
// Every size a file states is checked against the file itself.
#include <stdio.h>
#include <string.h>

#include "korutil/sfile.h"

enum { kFileBuffer = 16384, kMostRate = 1000000 };

static inline uint32_t Le16(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8; }
static inline uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

static int Failed(SFile* s, const char* text) {
  SFileError(s, text);
  return SFILE_FAILED;
}

static int SetFormat(SFile* s, uint32_t rate, uint32_t bits, uint32_t channels) {
  char text[320];
  if (channels != 1 && channels != 2) {
    snprintf(text, sizeof text, "The sound in '%s' has %u channels; only mono and stereo can be read.",
             s->name, channels);
    return Failed(s, text);
  }
  if (bits != 8 && bits != 16) {
    snprintf(text, sizeof text, "The sound in '%s' has %u-bit samples; only 8 and 16 bits can be read.",
             s->name, bits);
    return Failed(s, text);
  }
  if (!rate || rate > kMostRate) {
    snprintf(text, sizeof text, "The sound in '%s' has an unusable sample rate (%u).", s->name, rate);
    return Failed(s, text);
  }
  s->inRate = rate;
  s->inBits = bits;
  s->inChannels = channels;
  s->inBlock = bits * channels / 8;
  return SFILE_OPENED;
}

static int OpenRaw(SFile* s, uint32_t flags, uint32_t offset) {
  s->file = KORFileOpen(kFileBuffer, s->name, KORFILE_READ);
  if (!s->file) return Failed(s, "Error opening the audio input file.");
  const int r = SetFormat(s, flags >> 3, flags & 2 ? 16 : 8, flags & 1 ? 2 : 1);
  if (r != SFILE_OPENED) return r;
  const uint32_t size = KORFileSize(s->file);
  if (offset > size) offset = size;
  s->dataOffset = offset;
  s->total = (size - offset) / s->inBlock * s->inBlock;
  KORFileSetPos(s->file, offset);
  return SFILE_OPENED;
}

static int OpenWave(SFile* s, int32_t, int32_t rawFlags, int32_t rawOffset) {
  if (rawFlags) return OpenRaw(s, (uint32_t)rawFlags, (uint32_t)rawOffset);
  s->file = KORFileOpen(kFileBuffer, s->name, KORFILE_READ);
  if (!s->file) return SFILE_NOT_MINE;
  uint8_t head[12];
  if (KORFileGetNB(s->file, head, 12) != 12 || memcmp(head, "RIFF", 4) || memcmp(head + 8, "WAVE", 4)) {
    KORFileClose(s->file);
    s->file = nullptr;
    return SFILE_NOT_MINE;
  }
  strcpy(s->type, "Wave");
  const uint64_t size = KORFileSize(s->file);
  uint64_t pos = 12;
  bool format = false;
  char text[320];
  while (pos + 8 <= size) {
    uint8_t chunk[8];
    KORFileSetPos(s->file, (uint32_t)pos);
    if (KORFileGetNB(s->file, chunk, 8) != 8) break;
    const uint32_t length = Le32(chunk + 4);
    const uint64_t body = pos + 8;
    if (!format && !memcmp(chunk, "fmt ", 4)) {
      uint8_t f[40] = {0};
      if (length < 16 || body + length > size || KORFileGetNB(s->file, f, length < 40 ? (int32_t)length : 40) < 16) {
        snprintf(text, sizeof text, "The WAV file '%s' has a damaged format chunk.", s->name);
        return Failed(s, text);
      }
      uint32_t tag = Le16(f);
      // The extensible form names its coding in a sub-format.
      if (tag == 0xFFFE && length >= 40) tag = Le16(f + 24);
      if (tag != 1) {
        snprintf(text, sizeof text, "The WAV file '%s' is not PCM sound (format %u).", s->name, tag);
        return Failed(s, text);
      }
      const int r = SetFormat(s, Le32(f + 4), Le16(f + 14), Le16(f + 2));
      if (r != SFILE_OPENED) return r;
      format = true;
    } else if (format && !memcmp(chunk, "data", 4)) {
      // A size past the end is cut to what the file holds.
      uint64_t bytes = length;
      if (bytes > size - body) bytes = size - body;
      s->dataOffset = (uint32_t)body;
      s->total = (uint32_t)(bytes / s->inBlock * s->inBlock);
      KORFileSetPos(s->file, s->dataOffset);
      return SFILE_OPENED;
    }
    pos = body + (((uint64_t)length + 1) & ~1ull);
  }
  snprintf(text, sizeof text, format ? "The WAV file '%s' has no sound data." : "The WAV file '%s' has no format chunk.",
           s->name);
  return Failed(s, text);
}

static uint32_t ReadWave(SFile* s, uint8_t* dst, uint32_t bytes) {
  const int32_t got = KORFileGetNB(s->file, dst, (int32_t)bytes);
  return got > 0 ? (uint32_t)got : 0;
}

static void ResetWave(SFile* s) { KORFileSetPos(s->file, s->dataOffset); }

static void SkipWave(SFile* s, uint32_t bytes) {
  s->dataOffset += bytes;
  KORFileSetPos(s->file, s->dataOffset);
}

static void CloseWave(SFile* s) {
  if (s->file) KORFileClose(s->file);
  s->file = nullptr;
}

const SFileKind SFileWave = {SFILE_WAVE, OpenWave, ReadWave, ResetWave, CloseWave, SkipWave};
