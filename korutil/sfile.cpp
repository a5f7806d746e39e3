// SFile: sound from any source kind, cut to a range and converted to the
// caller's rate, sample size and channel count.
#include "korutil/sfile.h"

#include <stdio.h>
#include <string.h>

enum { kInputBuffer = 16384 };

// The kinds in the order they are tried. Lists, Wender, AVI and QuickTime
// sources slot in here.
static const SFileKind* const kKinds[] = {&SFileWave, &SFileVorn};

static const SFileKind* KindOf(const SFile* s) {
  for (const SFileKind* k : kKinds)
    if (k->kind == s->kind) return k;
  return nullptr;
}

void SFileError(SFile* s, const char* text) {
  if (s->callback) s->callback(text, 2);
}

extern "C" void SFileClose(SFile* s) {
  if (!s) return;
  const SFileKind* k = KindOf(s);
  if (k) k->close(s);
  korfree(s->buffer);
  memset(s, 0, sizeof *s);
  korfree(s);
}

static uint32_t Bps(const SFile* s) { return s->inRate * s->inBlock; }

// Milliseconds of a range value: frame numbers for sources with pictures
// (start frame f begins at (f - 1) periods, end frame f ends at f periods).
static uint64_t RangeMs(const SFile* s, int32_t v, bool isStart) {
  if (v >= 0) return (uint64_t)v;
  const uint64_t m = (uint64_t)(-(int64_t)v);
  if (!s->framePeriod10us) return m;
  return (isStart ? m - 1 : m) * s->framePeriod10us / 100;
}

extern "C" SFile* SFileOpen(const char* name, int32_t rate, int32_t bits, int32_t channels,
                            int32_t start, int32_t end, int32_t track, int32_t rawFlags,
                            int32_t rawOffset, KORCallback callback) {
  if (!name || !*name) {
    if (callback) callback("Error opening the audio input file.", 2);
    return nullptr;
  }
  SFile* s = (SFile*)kormalloc(sizeof(SFile));
  if (!s) return nullptr;
  memset(s, 0, sizeof *s);
  s->callback = callback;
  if (strlen(name) + 4 >= sizeof s->name) {
    SFileError(s, "Error opening the audio input file.");
    SFileClose(s);
    return nullptr;
  }
  strcpy(s->name, name);
  if (!HasExtension(s->name)) strcat(s->name, ".wav");

  int r = SFILE_NOT_MINE;
  for (const SFileKind* k : kKinds) {
    s->kind = k->kind;
    r = k->open(s, track, rawFlags, rawOffset);
    if (r != SFILE_NOT_MINE) break;
  }
  if (r != SFILE_OPENED) {
    if (r == SFILE_NOT_MINE) {
      s->kind = 0;
      SFileError(s, "Error opening the audio input file.");
    }
    SFileClose(s);
    return nullptr;
  }

  // The range, in whole input blocks.
  const uint64_t bps = Bps(s);
  const uint64_t startMs = RangeMs(s, start, true);
  if (startMs) {
    const uint64_t skip = bps * startMs / 1000 / s->inBlock * s->inBlock;
    if (skip < s->total) {
      KindOf(s)->skip(s, (uint32_t)skip);
      s->total -= (uint32_t)skip;
    } else {
      s->total = 0;  // starts after the end: nothing to deliver
    }
  }
  if (end) {
    const uint64_t endMs = RangeMs(s, end, false);
    if (endMs >= startMs) {
      const uint64_t most = bps * (endMs - startMs) / 1000 / s->inBlock * s->inBlock;
      if (most < s->total) s->total = (uint32_t)most;
    }
  }

  s->outRate = rate > 0 ? (uint32_t)rate : s->inRate;
  s->outBits = bits == 8 || bits == 16 ? (uint32_t)bits : s->inBits;
  s->outChannels = channels == 1 || channels == 2 ? (uint32_t)channels : s->inChannels;
  s->outBlock = s->outBits * s->outChannels / 8;
  s->bufferSize = kInputBuffer;
  s->buffer = (uint8_t*)kormalloc(kInputBuffer);
  if (!s->buffer) {
    SFileClose(s);
    return nullptr;
  }
  s->left = s->total;
  s->dropLeft = s->drop;
  s->finished = s->total == 0;
  return s;
}

extern "C" void SFileReset(SFile* s) {
  if (!s) return;
  const SFileKind* k = KindOf(s);
  if (k) k->reset(s);
  s->left = s->total;
  s->dropLeft = s->drop;
  s->bufferRead = s->bufferFill = 0;
  s->inSamples = s->outSamples = 0;
  s->primed = 0;
  memset(s->current, 0, sizeof s->current);
  memset(s->step, 0, sizeof s->step);
  s->calls = 0;
  s->finished = s->total == 0;
}

// The next input sample frame as 16-bit values (mono given to both
// channels); false at the end of the range.
static bool ReadSample(SFile* s, int32_t v[2]) {
  if (s->bufferFill - s->bufferRead < s->inBlock) {
    const uint32_t rest = s->bufferFill - s->bufferRead;
    memmove(s->buffer, s->buffer + s->bufferRead, rest);
    s->bufferRead = 0;
    s->bufferFill = rest;
    uint32_t want = s->bufferSize - rest;
    if (want > s->left) want = s->left;
    if (want) {
      const uint32_t got = KindOf(s)->read(s, s->buffer + rest, want);
      s->left = got < want && got == 0 ? 0 : s->left - got;
      s->bufferFill += got;
    }
    if (s->bufferFill < s->inBlock) return false;
  }
  const uint8_t* p = s->buffer + s->bufferRead;
  for (uint32_t c = 0; c < s->inChannels; c++) {
    if (s->inBits == 16)
      v[c] = (int16_t)(p[2 * c] | p[2 * c + 1] << 8);
    else
      v[c] = ((int32_t)p[c] - 128) * 256;
  }
  if (s->inChannels == 1) v[1] = v[0];
  s->bufferRead += s->inBlock;
  s->inSamples++;
  return true;
}

// The next output sample frame at the output rate.
static bool Produce(SFile* s, int32_t v[2]) {
  if (s->inRate == s->outRate) return ReadSample(s, v);
  if (s->inRate > s->outRate) {
    // Averages the input samples that fall on this output sample.
    int64_t sum[2] = {0, 0};
    uint32_t k = 0;
    int32_t x[2];
    while ((uint64_t)s->inSamples * s->outRate / s->inRate < (uint64_t)s->outSamples + 1 &&
           ReadSample(s, x)) {
      sum[0] += x[0];
      sum[1] += x[1];
      k++;
    }
    if (!k) return false;
    v[0] = (int32_t)(sum[0] / k);
    v[1] = (int32_t)(sum[1] / k);
    return true;
  }
  // Lower input rate: linear interpolation towards the pre-read sample.
  if (!s->primed) {
    if (!ReadSample(s, s->next)) return false;
    s->primed = 1;
  }
  uint64_t taken = s->inSamples - (s->primed == 1);
  if (s->outSamples < taken * s->outRate / s->inRate) {
    s->current[0] += s->step[0];
    s->current[1] += s->step[1];
  } else {
    if (s->primed != 1) return false;
    s->current[0] = s->next[0] * 1024;
    s->current[1] = s->next[1] * 1024;
    if (!ReadSample(s, s->next)) s->primed = 2;
    taken++;
    const int64_t until = (int64_t)(taken * s->outRate / s->inRate) - s->outSamples;
    for (int c = 0; c < 2; c++)
      s->step[c] = s->primed == 1 && until > 0
                       ? (int32_t)(((int64_t)s->next[c] * 1024 - s->current[c]) / until)
                       : 0;
  }
  v[0] = s->current[0] >> 10;
  v[1] = s->current[1] >> 10;
  return true;
}

extern "C" int32_t SFileGet(SFile* s, void* dst, int32_t bytes) {
  if (!s || !dst || bytes <= 0 || !s->outBlock) return 0;
  if (s->callback) {
    const uint64_t used = (uint64_t)s->inSamples * s->inBlock;
    const int pct = s->total ? (int)(used * 100 / s->total) : 100;
    char text[64];
    snprintf(text, sizeof text, "Processing sound data (%i%%)...", pct > 100 ? 100 : pct);
    s->callback(text, s->calls ? 0 : 1);
  }
  s->calls++;
  if (s->finished) return 0;
  const uint32_t want = (uint32_t)bytes / s->outBlock;
  uint8_t* out = (uint8_t*)dst;
  uint32_t n = 0;
  for (; n < want; n++) {
    int32_t v[2];
    if (!Produce(s, v)) {
      s->finished = 1;
      break;
    }
    s->outSamples++;
    if (s->outChannels == 1 && v[0] != v[1]) v[0] = (v[0] + v[1]) / 2;
    for (uint32_t c = 0; c < s->outChannels; c++) {
      const int32_t x = v[c];
      if (s->outBits == 16) {
        *out++ = (uint8_t)x;
        *out++ = (uint8_t)(x >> 8);
      } else {
        *out++ = (uint8_t)((x >> 8) + 128);
      }
    }
  }
  return (int32_t)(n * s->outBlock);
}

extern "C" void SFileCommandLine(char* line, int32_t* rate, int32_t* bits, int32_t* channels,
                                 int32_t* start, int32_t* end, int32_t* track, int32_t* rawFlags,
                                 int32_t* rawOffset) {
  int32_t* outs[6] = {rate, bits, channels, start, end, track};
  static const char letters[6] = {'R', 'B', 'C', 'S', 'E', 'T'};
  for (int i = 0; i < 6; i++) {
    const int32_t v = GetSwitchNum(line, letters[i], 0);
    if (outs[i]) *outs[i] = v;
  }
  const int32_t y = GetSwitchNum(line, 'Y', 0);
  const int32_t d = GetSwitchNum(line, 'D', 11025);
  const int32_t k = GetSwitchNum(line, 'K', 0);
  const bool raw = y >= 1 && y <= 5;
  if (rawFlags) *rawFlags = raw ? (int32_t)((uint32_t)(y - 1) + 8u * (uint32_t)d) : 0;
  if (rawOffset) *rawOffset = raw ? k : 0;
}
