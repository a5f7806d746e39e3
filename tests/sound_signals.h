// Test sound: generated music-like and noise-like signals as interleaved
// 16-bit PCM, and the signal-to-noise ratio of a copy.
#pragma once

#include <math.h>
#include <stdint.h>

#include <vector>

enum SoundKind { SOUND_TONES, SOUND_CHORDS, SOUND_NOISE_BURSTS, SOUND_SILENCE };

// `frames` sample frames at `rate` Hz: the same piece in every channel,
// the right one a little delayed and quieter.
inline std::vector<int16_t> MakeSound(SoundKind kind, uint32_t rate, uint32_t channels,
                                      uint32_t frames, uint32_t seed = 1) {
  std::vector<int16_t> pcm((size_t)frames * channels);
  uint32_t noise = seed * 2654435761u + 1;
  const double pi = 3.14159265358979323846;
  for (uint32_t i = 0; i < frames; i++) {
    const double t = (double)i / rate;
    for (uint32_t c = 0; c < channels; c++) {
      const double tc = t - c * 0.0007;
      double v = 0;
      switch (kind) {
        case SOUND_TONES:  // a slow tremolo on two partials
          v = 9000 * sin(2 * pi * 440 * tc) * (0.8 + 0.2 * sin(2 * pi * 3 * tc)) +
              3000 * sin(2 * pi * 1320 * tc);
          break;
        case SOUND_CHORDS: {  // a chord a quarter second, decaying
          static const double roots[4] = {261.63, 349.23, 392.0, 220.0};
          const int bar = (int)(tc * 4) & 3;
          const double age = tc * 4 - floor(tc * 4);
          const double env = exp(-3 * age);
          const double r = roots[bar];
          v = env * (6000 * sin(2 * pi * r * tc) + 4500 * sin(2 * pi * r * 1.25992 * tc) +
                     4000 * sin(2 * pi * r * 1.49831 * tc) + 1500 * sin(2 * pi * r * 2 * tc));
          break;
        }
        case SOUND_NOISE_BURSTS: {  // noise hits on a low hum
          noise = noise * 1664525u + 1013904223u;
          const double white = ((int32_t)(noise >> 8) - (1 << 23)) / (double)(1 << 23);
          const double age = tc * 5 - floor(tc * 5);
          v = 12000 * white * exp(-12 * age) + 2000 * sin(2 * pi * 110 * tc);
          break;
        }
        case SOUND_SILENCE:
          break;
      }
      if (c) v *= 0.8;
      pcm[(size_t)i * channels + c] = (int16_t)lrint(v);
    }
  }
  return pcm;
}

// 10 log10 of the signal's power over the error's, over [from, to).
inline double SoundSnr(const int16_t* ref, const int16_t* got, size_t from, size_t to) {
  double s = 0, e = 0;
  for (size_t i = from; i < to; i++) {
    const double d = (double)ref[i] - got[i];
    s += (double)ref[i] * ref[i];
    e += d * d;
  }
  if (e == 0) return 200;
  return 10 * log10(s / e);
}
