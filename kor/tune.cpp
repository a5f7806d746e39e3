// kor tune OUT.wav: a few bars of generated music (chords, a bass line, a
// melody and drums) as 16-bit PCM, for demonstrations and tests.
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "kor/kor.h"

static void TuneUsage(FILE* out) {
  fprintf(out,
          "usage: kor tune OUT.wav [--seconds S] [--rate HZ] [--mono]\n"
          "\n"
          "Writes a generated piece at 120 beats per minute: four chords a cycle, a\n"
          "bass line, a melody, kick, snare and hi-hat.\n"
          "\n"
          "  --seconds S   length (default 8, at most 3600)\n"
          "  --rate HZ     sample rate, 8000-48000 (default 44100)\n"
          "  --mono        one channel (default stereo)\n");
}

namespace {

const double kPi = 3.14159265358979323846;

double Hz(int semitone) { return 440.0 * pow(2.0, (semitone - 9) / 12.0); }  // 0 = middle C

// A soft, slightly bright tone: fundamental and two overtones.
double Voice(double phase) {
  return sin(phase) + 0.35 * sin(2 * phase) + 0.15 * sin(3 * phase);
}

struct Noise {
  uint32_t s = 12345;
  double Next() {
    s = s * 1664525u + 1013904223u;
    return ((int32_t)(s >> 8) - (1 << 23)) / (double)(1 << 23);
  }
};

void PutLe(FILE* f, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; i++) fputc((int)((v >> (8 * i)) & 255), f);
}

}  // namespace

int KorCmdTune(int argc, char** argv) {
  const char* out = nullptr;
  double seconds = 8;
  long rate = 44100;
  int channels = 2;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    char* end = nullptr;
    if (!strcmp(a, "--help") || !strcmp(a, "-h")) {
      TuneUsage(stdout);
      return 0;
    } else if (!strcmp(a, "--mono")) {
      channels = 1;
    } else if (!strcmp(a, "--seconds") && v) {
      seconds = strtod(v, &end);
      if (*end || !(seconds > 0) || seconds > 3600) {
        fprintf(stderr, "kor tune: bad value for --seconds: '%s'\n", v);
        return 2;
      }
      i++;
    } else if (!strcmp(a, "--rate") && v) {
      rate = strtol(v, &end, 10);
      if (*end || rate < 8000 || rate > 48000) {
        fprintf(stderr, "kor tune: bad value for --rate: '%s'\n", v);
        return 2;
      }
      i++;
    } else if (a[0] == '-' && a[1] == '-') {
      fprintf(stderr, "kor tune: unknown option or missing value: '%s'\n", a);
      return 2;
    } else if (!out) {
      out = a;
    } else {
      TuneUsage(stderr);
      return 2;
    }
  }
  if (!out) {
    TuneUsage(stderr);
    return 2;
  }
  // C, G, A minor, F: root position triads, one bar (four beats) each.
  static const int chords[4][3] = {{0, 4, 7}, {-5, -1, 2}, {-3, 0, 4}, {-7, -3, 0}};
  static const int bass[4] = {-24, -29, -27, -31};
  // Eight eighth notes a bar; -99 is a rest.
  static const int melody[4][8] = {{12, 16, 19, 16, 14, 12, -99, 12},
                                   {14, 11, 7, 11, 14, 19, 17, 14},
                                   {12, 16, 21, 19, 16, 12, 9, -99},
                                   {9, 12, 17, 16, 14, 12, 11, 7}};
  const double beat = 0.5;
  const uint32_t frames = (uint32_t)(seconds * rate);
  std::vector<int16_t> pcm((size_t)frames * channels);
  Noise noise;
  double hiss = 0;
  for (uint32_t n = 0; n < frames; n++) {
    const double t = (double)n / rate;
    const double beats = t / beat;
    const int bar = (int)(beats / 4) % 4;
    const double inBeat = beats - floor(beats);
    const double inBar = beats / 4 - floor(beats / 4);
    // Chord pad, swelling on each bar.
    double pad = 0;
    for (int k = 0; k < 3; k++) pad += Voice(2 * kPi * Hz(chords[bar][k]) * t);
    pad *= 0.10 * (0.6 + 0.4 * exp(-3 * inBar * 4 * beat));
    // Bass on every beat.
    const double b = 0.30 * sin(2 * kPi * Hz(bass[bar]) * t) * exp(-2.5 * inBeat);
    // Melody in eighths with a short attack.
    const double eighth = beats * 2 - floor(beats * 2);
    const int note = melody[bar][(int)(beats * 2) % 8];
    double mel = 0;
    if (note > -99) mel = 0.16 * Voice(2 * kPi * Hz(note) * t) * fmin(1, eighth * 40) * exp(-2 * eighth);
    // Drums: kick on 1 and 3, snare on 2 and 4, hi-hat on the eighths.
    const int beatNo = (int)beats % 4;
    const double white = noise.Next();
    double drums = 0;
    if (beatNo == 0 || beatNo == 2) {
      const double kt = inBeat * beat;
      drums += 0.55 * sin(2 * kPi * (50 * kt + 60 * (1 - exp(-kt * 30)) / 30)) * exp(-kt * 12);
    } else {
      drums += 0.25 * white * exp(-inBeat * beat * 25);
    }
    hiss = white - hiss * 0.5;  // a rough high pass
    drums += 0.06 * hiss * exp(-eighth * beat * 0.5 * 60);
    // Fade in and out over a tenth of a second.
    const double edge = fmin(1, fmin(t, seconds - t) * 10);
    const double centre = (pad + b + drums) * edge, side = mel * edge;
    for (int c = 0; c < channels; c++) {
      // The melody leans right, the pad a little left.
      double v = centre + side * (channels == 2 ? (c ? 0.8 : 0.4) : 0.6) + (channels == 2 && !c ? 0.02 * pad : 0);
      v = v > 1 ? 1 : v < -1 ? -1 : v;
      pcm[(size_t)n * channels + c] = (int16_t)lrint(v * 26000);
    }
  }
  FILE* f = fopen(out, "wb");
  if (!f) {
    fprintf(stderr, "kor tune: cannot create %s\n", out);
    return 1;
  }
  const uint32_t bytes = (uint32_t)(pcm.size() * 2);
  fwrite("RIFF", 1, 4, f);
  PutLe(f, 36 + bytes, 4);
  fwrite("WAVEfmt ", 1, 8, f);
  PutLe(f, 16, 4);
  PutLe(f, 1, 2);
  PutLe(f, (uint32_t)channels, 2);
  PutLe(f, (uint32_t)rate, 4);
  PutLe(f, (uint32_t)rate * channels * 2, 4);
  PutLe(f, (uint32_t)channels * 2, 2);
  PutLe(f, 16, 2);
  fwrite("data", 1, 4, f);
  PutLe(f, bytes, 4);
  for (int16_t s : pcm) PutLe(f, (uint16_t)s, 2);
  if (fclose(f) != 0) {
    fprintf(stderr, "kor tune: cannot write %s\n", out);
    remove(out);
    return 1;
  }
  return 0;
}
