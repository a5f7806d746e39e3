// The sound encoder's state, its input buffer and the coding of one block:
// forward transform, packed floats, band scales, quantisation and groups.
// The perceptual model that picks the steps is audiopsy.cpp.
#include "vornmake/audioenc.h"

#include <math.h>
#include <string.h>

#include "vornmake/audiopsy.h"
#include "vornmake/vornmake.h"

static inline uint32_t BitLength(uint32_t v) { return v ? 32 - (uint32_t)__builtin_clz(v) : 0; }

uint32_t VmkAudioBlockBound(uint32_t n) {
  // DC, Nyquist, 25 scales, a 9-bit head per unit of 8 and at most 16 bits
  // per value, rounded up to words.
  const uint64_t bits = 58 + 8 * VORN_AUDIO_BANDS_MAX + 9 * ((uint64_t)n / 8 + 1) + 16 * (uint64_t)n;
  return (uint32_t)((bits + 31) / 32 * 4);
}

static inline uint32_t Align32(uint32_t n) { return (n + 31) & ~31u; }

VmkAudioEnc* VmkAudioEncOpen(uint32_t rate, uint32_t channels) {
  VornAudioGeometry g;
  if (!VornAudioGetGeometry(&g, rate, channels)) return nullptr;
  const uint32_t n = g.n;
  const uint32_t tables = VornRdftTableBytes(n);
  const uint32_t outSize = VmkAudioBlockBound(n);
  const uint32_t head = Align32(sizeof(VmkAudioEnc));
  const uint32_t inBytes = Align32(n * 2), workBytes = Align32(n * 4);
  const uint32_t stageBytes = 64 * 1024;
  const uint32_t total = head + inBytes + Align32(outSize) + workBytes + Align32(tables) + stageBytes;
  uint8_t* block = (uint8_t*)kormalloc((int32_t)total);
  if (!block) return nullptr;
  memset(block, 0, total);
  VmkAudioEnc* e = (VmkAudioEnc*)block;
  e->geo = g;
  e->input = (int16_t*)(block + head);
  e->output = block + head + inBytes;
  e->outputSize = outSize;
  e->work = (float*)(e->output + Align32(outSize));
  void* t = (uint8_t*)e->work + workBytes;
  e->stage = (uint8_t*)t + Align32(tables);
  e->stageSize = stageBytes;
  if (!VornRdftInit(&e->rdft, n, t)) {
    korfree(block);
    return nullptr;
  }
  e->inputScale = (float)(1.0 / sqrt((double)n));
  e->first = 1;
  VmkPsySpreadNorm(e->spreadNorm, g.bands);
  return e;
}

void VmkAudioEncClose(VmkAudioEnc* e) {
  if (e) korfree(e);
}

int16_t* VmkAudioEncInput(VmkAudioEnc* e, uint32_t* bytes) {
  if (e->first) {
    *bytes = e->geo.n * 2;
    return e->input;
  }
  *bytes = (e->geo.n - e->geo.overlap) * 2;
  return e->input + e->geo.overlap;
}

uint32_t VmkAudioPackFloat(float value) {
  const double v = fabs((double)value);
  uint32_t sign = value < 0 ? 1u << 28 : 0;
  // Largest value the 23-bit mantissa holds at exponent 23.
  if (!(v < 8388607.5)) return sign | (0x7FFFFFu << 5) | 23;
  const uint32_t d = BitLength((uint32_t)nearbyint(v));
  uint32_t m = (uint32_t)nearbyint(ldexp(v, 23 - (int)d));
  if (m > 0x7FFFFF) m = 0x7FFFFF;
  if (!m) sign = 0;
  return sign | (m << 5) | d;
}

uint32_t VmkAudioScaleOf(float step) {
  const double l = 10.0 * log10((double)step);
  if (!(l >= 0)) return 0;
  const double q = nearbyint(l * 1.506024096385542);
  return q > 255 ? 255 : (uint32_t)q;
}

// Least significant bit first into 32-bit words.
struct BitOut {
  uint32_t* words;
  uint64_t pos;
};

static inline void Put(BitOut* b, uint32_t v, uint32_t n) {
  if (!n) return;
  const uint64_t w = b->pos >> 5;
  const uint32_t s = (uint32_t)(b->pos & 31);
  const uint64_t x = (uint64_t)v << s;
  b->words[w] |= (uint32_t)x;
  if (s + n > 32) b->words[w + 1] |= (uint32_t)(x >> 32);
  b->pos += n;
}

uint64_t VmkAudioPutGroups(uint32_t* out, uint64_t bit, const int16_t* c, uint32_t count) {
  BitOut b = {out, bit};
  const uint32_t units = (count + 7) / 8;
  uint8_t width[VORN_AUDIO_BLOCK_MAX / 8 + 1];
  for (uint32_t u = 0; u < units; u++) {
    uint32_t most = 0;
    const uint32_t end = u * 8 + 8 < count ? u * 8 + 8 : count;
    for (uint32_t i = u * 8; i < end; i++) {
      const uint32_t m = (uint32_t)(c[i] < 0 ? -c[i] : c[i]);
      most |= m;
    }
    width[u] = (uint8_t)BitLength(most);
  }
  uint32_t u = 0;
  while (u < units) {
    uint32_t run = 1;
    while (run < 64 && u + run < units && width[u + run] == width[u]) run++;
    const bool toEnd = u + run == units;
    int chosen = -1;
    if (run >= 2)
      for (int v = 0; v < 16; v++) {
        if (VornAudioGroupUnits[v] <= run || toEnd)
          chosen = v;
        else
          break;
      }
    uint32_t len = 1;
    if (chosen < 0) {
      Put(&b, 0, 1);
    } else {
      Put(&b, 1 | ((uint32_t)chosen << 1), 5);
      len = VornAudioGroupUnits[chosen];
      if (len > units - u) len = units - u;
    }
    const uint32_t w = width[u];
    Put(&b, w, 4);
    if (w) {
      const uint32_t end = (u + len) * 8 < count ? (u + len) * 8 : count;
      for (uint32_t i = u * 8; i < end; i++) {
        const int32_t v = c[i];
        if (!v) {
          Put(&b, 0, w);
        } else {
          const uint32_t m = (uint32_t)(v < 0 ? -v : v);
          Put(&b, m | (v < 0 ? 1u << w : 0), w + 1);
        }
      }
    }
    u += len;
  }
  return b.pos;
}

// Rounds to the nearest integer, halves away from zero, within +-32767.
static inline int16_t Quantise(float v) {
  float r = roundf(v);
  if (r > 32767.f) r = 32767.f;
  if (r < -32767.f) r = -32767.f;
  return (int16_t)r;
}

const uint8_t* VmkAudioEncBlock(VmkAudioEnc* e, int32_t quality, uint32_t placed,
                                uint32_t* length, uint32_t* pcm) {
  const VornAudioGeometry& g = e->geo;
  const uint32_t n = g.n, overlap = g.overlap, ch = g.channels;
  uint32_t room;
  VmkAudioEncInput(e, &room);
  if (placed > room) placed = room;
  placed &= ~1u;
  e->received += placed;
  const uint32_t valid = (e->first ? 0 : overlap) + placed / 2;

  // Samples, the missing end held at each channel's last value.
  float* x = e->work;
  for (uint32_t i = 0; i < valid; i++) x[i] = (float)e->input[i];
  for (uint32_t i = valid; i < n; i++) x[i] = i >= ch ? x[i - ch] : 0.f;
  VornRdftForward(&e->rdft, x);
  const float scale = e->inputScale;
  for (uint32_t i = 0; i < n; i++) x[i] *= scale;

  float steps[VORN_AUDIO_BANDS_MAX];
  VmkPsySteps(e, x, quality, steps);

  uint32_t* out = (uint32_t*)e->output;
  memset(out, 0, e->outputSize);
  BitOut b = {out, 0};
  Put(&b, VmkAudioPackFloat(x[0]), 29);
  Put(&b, VmkAudioPackFloat(x[1]), 29);
  float inv[VORN_AUDIO_BANDS_MAX];
  for (uint32_t j = 0; j < g.bands; j++) {
    const uint32_t q = VmkAudioScaleOf(steps[j]);
    e->scales[j] = (uint8_t)q;
    Put(&b, q, 8);
    inv[j] = 1.0f / VornAudioBandScale(q);
  }
  // Quantised values of a[2 .. n-1].
  int16_t c[VORN_AUDIO_BLOCK_MAX];
  for (uint32_t j = 0; j < g.bands; j++) {
    const uint32_t lo = g.edges[j] > 1 ? 2 * g.edges[j] : 2, hi = 2 * g.edges[j + 1];
    const float s = inv[j];
    for (uint32_t i = lo; i < hi; i++) c[i - 2] = Quantise(x[i] * s);
  }
  const uint64_t end = VmkAudioPutGroups(out, b.pos, c, n - 2);
  *length = (uint32_t)((end + 31) / 32 * 4);

  // The last `overlap` samples open the next block.
  memmove(e->input, e->input + (n - overlap), overlap * 2);
  e->first = 0;
  uint64_t owed = e->received - e->accounted;
  const uint32_t full = (n - overlap) * 2;
  *pcm = owed < full ? (uint32_t)owed : full;
  e->accounted += *pcm;
  return e->output;
}
