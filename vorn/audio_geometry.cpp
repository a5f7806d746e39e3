// Sound block geometry, band scales and packed floats.
#include <math.h>

#include "vorn/audio.h"

const uint16_t VornAudioBandHz[VORN_AUDIO_BANDS_MAX] = {
    0,    100,  200,  300,  400,  510,  630,  770,   920,   1080,  1270,  1480, 1720,
    2000, 2320, 2700, 3150, 3700, 4400, 5300, 6400, 7700, 9500, 12000, 15500};

const uint8_t VornAudioGroupUnits[16] = {2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15, 16, 32, 64};

int VornAudioGetGeometry(VornAudioGeometry* g, uint32_t rate, uint32_t channels) {
  if (!rate || (channels != 1 && channels != 2)) return 0;
  uint32_t perChannel = rate < 22050 ? 512 : rate < 44100 ? 1024 : 2048;
  uint32_t n = perChannel * channels;
  uint64_t half = ((uint64_t)rate * channels + 1) / 2;
  g->rate = rate;
  g->channels = channels;
  g->n = n;
  g->overlap = n / 16;
  g->gain = (float)(2.0 / sqrt((double)n));
  uint32_t b = 0;
  while (b < VORN_AUDIO_BANDS_MAX && VornAudioBandHz[b] < half) {
    g->edges[b] = (uint32_t)((uint64_t)(n / 2) * VornAudioBandHz[b] / half);
    b++;
  }
  g->bands = b;
  g->edges[b] = n / 2;
  for (uint32_t i = b + 1; i <= VORN_AUDIO_BANDS_MAX; i++) g->edges[i] = n / 2;
  return 1;
}

float VornAudioBandScale(uint32_t q) {
  static const struct Table {
    float s[256];
    Table() {
      for (int i = 0; i < 256; i++) s[i] = (float)pow(10.0, (double)(0.0664f * (float)i));
    }
  } table;
  return table.s[q & 255];
}

float VornAudioUnpackFloat(uint32_t bits) {
  int exponent = (int)(bits & 31);
  float v = ldexpf((float)((bits >> 5) & 0x7FFFFF), exponent - 23);
  return (bits >> 28) & 1 ? -v : v;
}
