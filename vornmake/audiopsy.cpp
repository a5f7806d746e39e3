// Perceptual model of the sound encoder: band energies, tonality, spread
// masking threshold, a step search per band and the temporal floor.
#include "vornmake/audiopsy.h"

#include "vornmake/audiodsp.h"

#include <math.h>
#include <string.h>

static const float kSpread[8] = {0.0010497f, 0.1347701f, 1.0f,      0.07875f,
                                 0.0146941f, 0.0052495f, 0.0005273f, 0.0000507f};

float VmkPsySpread(int32_t d) { return d >= -2 && d <= 5 ? kSpread[d + 2] : 0.f; }

const float VmkPsyQuiet[VORN_AUDIO_BANDS_MAX] = {
    1000000.f, 1000.f,     398.10718f, 251.18864f, 63.095734f, 15.848932f, 10.f,
    6.3095734f, 5.0118723f, 3.1622777f, 2.5118864f, 1.9952623f, 1.5848932f, 1.2589254f,
    1.2589254f, 1.2589254f, 1.5848932f, 2.5118864f, 6.3095734f, 10.f,       31.622777f,
    50.118723f, 79.432823f, 100.f,      1000.f};

void VmkPsySpreadNorm(float* r, uint32_t bands) {
  for (uint32_t j = 0; j < bands; j++) {
    float s = 0;
    for (uint32_t k = 0; k < bands; k++) s += VmkPsySpread((int32_t)k - (int32_t)j);
    r[j] = 1.0f / s;
  }
}

float VmkPsyTonality(const float* p, uint32_t count) {
  double logSum = 0, sum = 0;
  for (uint32_t k = 0; k < count; k++) {
    if (!(p[k] > 0)) return 1.0f;
    logSum += log((double)p[k]);
    sum += p[k];
  }
  // 10 log10(G / A), G the geometric and A the arithmetic mean.
  const double flat = 10.0 * (logSum / count - log(sum / count)) / log(10.0);
  const double t = -flat / 12.0;
  return t < 1.0 ? (float)t : 1.0f;
}

float VmkAudioStepSearch(const float* v, uint32_t count, float s, float m) {
  float c = 0;
  for (uint32_t i = 0; i < count; i++) c = fmaxf(c, fabsf(v[i]));
  const VmkAudioNoiseProc Noise = VmkAudioNoise();
  float inc = s;
  const float least = fmaxf(0.1f * s, 1.0f);
  while (s <= c) {
    const float w = s + inc;
    const float noise = Noise(v, count, w, 1.0f / w);
    if (noise < m) {
      s = w;
      inc *= 2;
    } else if (inc >= least) {
      inc *= 0.5f;
    } else {
      break;
    }
  }
  return s;
}

void VmkPsySteps(VmkAudioEnc* e, const float* a, int32_t quality, float* steps) {
  const VornAudioGeometry& g = e->geo;
  const uint32_t half = g.n / 2, B = g.bands;
  // Power spectrum with bin 0 taken as (1, 1).
  float p[VORN_AUDIO_BLOCK_MAX / 2];
  p[0] = 2.0f;
  for (uint32_t k = 1; k < half; k++) p[k] = a[2 * k] * a[2 * k] + a[2 * k + 1] * a[2 * k + 1];
  float E[VORN_AUDIO_BANDS_MAX];
  for (uint32_t j = 0; j < B; j++) {
    double s = 0;
    for (uint32_t k = g.edges[j]; k < g.edges[j + 1]; k++) s += p[k];
    E[j] = (float)s;
  }
  const float T = VmkPsyTonality(p, half);
  e->tonality = T;
  const float expo = (float)(quality + 1) / 4.0f;
  // Band 0's values for the search include bin 0 as (1, 1).
  float band0[2 * VORN_AUDIO_BLOCK_MAX / 2];
  for (uint32_t j = 0; j < B; j++) {
    double S = 0;
    for (uint32_t k = 0; k < B; k++) S += VmkPsySpread((int32_t)k - (int32_t)j) * E[k];
    const double O = (j + 14.5) * T + 5.5 * (1.0 - T);
    const double D = 10.0 * log10(S);
    const float M = D >= O ? (float)(pow(10.0, (D - O) * 0.1) * e->spreadNorm[j]) : 0.f;
    float s = powf(0.5f * VmkPsyQuiet[j], expo);
    if (!(s >= 0) || s > 17592186044416.f) s = 17592186044416.f;  // 2^44
    if (s < 1) s = 1;
    const uint32_t lo = 2 * g.edges[j], hi = 2 * g.edges[j + 1];
    const float* v = a + lo;
    if (lo == 0) {
      memcpy(band0, a, (hi - lo) * sizeof(float));
      band0[0] = band0[1] = 1.0f;
      v = band0;
    }
    steps[j] = VmkAudioStepSearch(v, hi - lo, s, M);
  }
  // The temporal floor: a step falls by at most a fifth from one block to
  // the next.
  for (uint32_t j = 0; j < B; j++) {
    e->steps[j] = steps[j];
    const float found = steps[j];
    if (steps[j] < e->floor[j]) steps[j] = e->floor[j];
    e->floor[j] = 0.8f * found;
  }
}
