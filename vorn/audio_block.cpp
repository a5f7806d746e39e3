// Decoding one sound block: scales, coefficient groups, dequantisation,
// inverse transform, rounding and the cross-fade with the previous block.
#include <string.h>

#include "vorn/audio.h"
#include "vorn/audio_bits.h"

// Reads the quantised values of a[2 .. n-1] and scales them by their band:
// bin k (values 2k, 2k + 1) is in band b for edges[b] <= k < edges[b + 1].
static void ReadGroups(VornAudioBits* bits, float* a, const VornAudioGeometry& g,
                       const float* scale) {
  const uint32_t n = g.n;
  uint32_t band = 0;
  uint32_t bandEnd = 2 * g.edges[1];
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
    while (i < end) {
      while (i >= bandEnd) bandEnd = 2 * g.edges[++band + 1];
      const float s = scale[band];
      const uint32_t stop = end < bandEnd ? end : bandEnd;
      // Branch-free: a sign bit follows only non-zero magnitudes.
      for (; i < stop; i++) {
        VornAudioBitsRefill(bits);
        const uint32_t v = (uint32_t)bits->acc;
        const int32_t mag = (int32_t)(v & mask);
        const int32_t nonzero = mag != 0;
        const int32_t negative = (int32_t)(v >> width) & nonzero;
        a[i] = (float)((mag ^ -negative) + negative) * s;
        VornAudioBitsSkip(bits, width + (uint32_t)nonzero);
      }
    }
  }
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
  ReadGroups(&bits, w, g, scale);
  w[0] = VornAudioUnpackFloat(dc);
  w[1] = VornAudioUnpackFloat(nyquist);

  VornRdftInverse(&a->rdft, w);

  int16_t* out = a->out;
  a->round(out, w, g.gain, n);
  if (!a->first) {
    const int32_t l = (int32_t)overlap;
    for (int32_t i = 0; i < l; i++)
      out[i] = (int16_t)(a->tail[i] * (l - i) / l + i * out[i] / l);
  }
  a->first = 0;
  memcpy(a->tail, out + n - overlap, overlap * sizeof(int16_t));

  const uint64_t used = VornAudioBitsUsed(&bits);
  const uint64_t bytes = (used + 31) / 32 * 4;
  if (pcmBytes) *pcmBytes = (n - overlap) * 2;
  if (next) *next = data + (bytes < bits.size ? (size_t)bytes : bits.size);
  if (overrun) *overrun = used > (uint64_t)bits.size * 8;
  return out;
}

const int16_t* VornAudioDecodeBlock(VornAudio* a, const uint8_t* data, const uint8_t* end,
                                    uint32_t* pcmBytes, const uint8_t** next, uint32_t* overrun) {
  if (a->work) return Decode(a, a->work, data, end, pcmBytes, next, overrun);
  alignas(32) float work[VORN_AUDIO_BLOCK_MAX];
  return Decode(a, work, data, end, pcmBytes, next, overrun);
}
