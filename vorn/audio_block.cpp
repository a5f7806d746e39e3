// Decoding one sound block: scales, coefficient groups, dequantisation,
// inverse transform, rounding and the cross-fade with the previous block.
#include <string.h>

#include "vorn/audio.h"
#include "vorn/audio_bits.h"

// Reads the quantised values of a[2 .. n-1] as floats.
static void ReadGroups(VornAudioBits* bits, float* a, uint32_t n) {
  uint32_t i = 2;
  while (i < n) {
    VornAudioBitsRefill(bits);
    uint32_t len = 8;
    if (bits->acc & 1) {
      len = 8u * VornAudioGroupUnits[(bits->acc >> 1) & 15];
      VornAudioBitsSkip(bits, 5);
    } else {
      VornAudioBitsSkip(bits, 1);
    }
    const uint32_t width = (uint32_t)bits->acc & 15;
    VornAudioBitsSkip(bits, 4);
    const uint32_t end = n - i < len ? n : i + len;
    if (!width) {
      memset(a + i, 0, (end - i) * sizeof(float));
      i = end;
      continue;
    }
    const uint32_t mask = (1u << width) - 1;
    for (; i < end; i++) {
      VornAudioBitsRefill(bits);
      const uint32_t v = (uint32_t)bits->acc;
      const uint32_t mag = v & mask;
      if (mag) {
        const float f = (float)(int32_t)mag;
        a[i] = (v >> width) & 1 ? -f : f;
        VornAudioBitsSkip(bits, width + 1);
      } else {
        a[i] = 0;
        VornAudioBitsSkip(bits, width);
      }
    }
  }
}

// Nearest integer, halves to even, limited to 16 bits.
static inline int16_t RoundSample(float v) {
  if (v != v) return 0;
  if (v >= 32767.0f) return 32767;
  if (v <= -32768.0f) return -32768;
  return (int16_t)(int32_t)((v + 12582912.0f) - 12582912.0f);
}

static const int16_t* Decode(VornAudio* a, float* w, const uint8_t* data, const uint8_t* end,
                             uint32_t* pcmBytes, const uint8_t** next, uint32_t* overrun) {
  const VornAudioGeometry& g = a->geo;
  const uint32_t n = g.n, overlap = g.overlap;
  VornAudioBits bits;
  VornAudioBitsStart(&bits, data, end);

  const uint32_t dc = VornAudioBitsRead(&bits, 29);
  const uint32_t nyquist = VornAudioBitsRead(&bits, 29);
  float scale[VORN_AUDIO_BANDS_MAX];
  for (uint32_t b = 0; b < g.bands; b++) scale[b] = VornAudioBandScale(VornAudioBitsRead(&bits, 8));
  ReadGroups(&bits, w, n);
  w[0] = VornAudioUnpackFloat(dc);
  w[1] = VornAudioUnpackFloat(nyquist);
  for (uint32_t b = 0; b < g.bands; b++) {
    const float s = scale[b];
    const uint32_t k1 = g.edges[b + 1];
    for (uint32_t k = g.edges[b] ? g.edges[b] : 1; k < k1; k++) {
      w[2 * k] *= s;
      w[2 * k + 1] *= s;
    }
  }

  VornRdftInverse(&a->rdft, w);

  int16_t* out = a->out;
  const float gain = g.gain;
  for (uint32_t i = 0; i < n; i++) out[i] = RoundSample(w[i] * gain);
  if (!a->first) {
    const int32_t l = (int32_t)overlap;
    for (int32_t i = 0; i < l; i++)
      out[i] = (int16_t)(a->tail[i] * (l - i) / l + i * out[i] / l);
  }
  a->first = 0;
  memcpy(a->tail, out + n - overlap, overlap * sizeof(int16_t));

  const uint64_t used = VornAudioBitsUsed(&bits);
  const uint64_t bytes = (used + 31) / 32 * 4;
  *pcmBytes = (n - overlap) * 2;
  *next = data + (bytes < bits.size ? (size_t)bytes : bits.size);
  if (overrun) *overrun = used > (uint64_t)bits.size * 8;
  return out;
}

const int16_t* VornAudioDecodeBlock(VornAudio* a, const uint8_t* data, const uint8_t* end,
                                    uint32_t* pcmBytes, const uint8_t** next, uint32_t* overrun) {
  if (a->work) return Decode(a, a->work, data, end, pcmBytes, next, overrun);
  alignas(32) float work[VORN_AUDIO_BLOCK_MAX];
  return Decode(a, work, data, end, pcmBytes, next, overrun);
}
