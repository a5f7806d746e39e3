// kor convert IN.y4m OUT.vrn: encodes a YUV4MPEG2 stream into a Vorn file.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "kor/kor.h"
#include "kor/progress.h"
#include "kor/sound.h"
#include "kor/y4m.h"
#include "vornmake/vornmake.h"

void KorEncodeUsage(FILE* out) {
  fprintf(out,
          "usage: kor convert IN.y4m OUT.vrn [OPTIONS]\n"
          "\n"
          "Encodes a YUV4MPEG2 stream (4:2:0 or Cmono) into a Vorn file.\n"
          "\n"
          "  --rate BYTES     data rate in bytes per second (default 250000); each frame\n"
          "                   aims at its share and stays below twice that\n"
          "  --key N          at most N frames between key frames (default: 10 seconds;\n"
          "                   0: only the first)\n"
          "  --window N       frames of look-ahead for the rate control, 2-64 (default 16)\n"
          "  --scale MODE     1, 2: half height; 3: half width; 4, 5: half both (players\n"
          "                   scale back up)\n"
          "  --grey           luminance only (Cmono input always is)\n"
          "  --levels N       contrast stretch, 1-127\n"
          "  --soften N       3 x 3 softening, 1 (light) to 16 (strong)\n"
          "  --fps NUM[:DEN]  frame rate instead of the stream's\n"
          "  --alpha A.y4m    alpha planes: the luminance of a second stream of the same\n"
          "                   size and length\n"
          "  --threads N      analysis threads (default: all processors)\n"
          "  --sound FILE[,ID]  a sound track from a WAV file (or the first sound track\n"
          "                   of a Vorn file); repeat for more tracks. ID is the track's\n"
          "                   id (default: its number, from 0)\n"
          "  --sound-quality N  0 finest; each step up is coarser (default 1)\n"
          "  --quiet          no progress bar\n");
}

namespace {

struct State {
  KorProgress progress;
  uint32_t started;
  int failed;
};
State g_state;
volatile sig_atomic_t g_interrupted;

void OnInterrupt(int) { g_interrupted = 1; }

int Callback(int32_t code, VornMakeHandle*, const char* text) {
  if (code == 2) {
    KorProgressEnd(&g_state.progress);
    fprintf(stderr, "kor convert: %s\n", text);
    g_state.failed = 1;
    return 0;
  }
  if (code == 1 && text && !strcmp(text, "Compressing")) {
    // A frame's record starts: the one before it is done.
    KorProgressUpdate(&g_state.progress, g_state.started);
    g_state.started++;
  }
  return g_interrupted ? 1 : 0;
}

bool Number(const char* s, long lo, long hi, long* out) {
  char* end;
  long v = strtol(s, &end, 10);
  if (!*s || *end || v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool Rate(const char* s, uint32_t* num, uint32_t* den) {
  char* end;
  double v = strtod(s, &end);
  if (*end == ':') {
    long d;
    if (!Number(end + 1, 1, 1000000, &d) || v < 1 || v > 1e6 || v != (long)v) return false;
    *num = (uint32_t)v;
    *den = (uint32_t)d;
    return true;
  }
  if (*end || !(v > 0) || v > 1e6) return false;
  // Decimal rates such as 29.97 become thousandths.
  *num = (uint32_t)(v * 1000 + 0.5);
  *den = 1000;
  return true;
}

}  // namespace

int KorCmdEncode(int argc, char** argv) {
  const char* in = nullptr;
  const char* out = nullptr;
  const char* alphaName = nullptr;
  long rate = 250000, key = -1, window = 16, scale = 0, levels = 0, soften = 0, threads = 0;
  bool grey = false, quiet = false;
  uint32_t fpsNum = 0, fpsDen = 0;
  static KorSounds sounds;
  memset(&sounds, 0, sizeof sounds);
  long soundQuality = KOR_SOUND_QUALITY;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    bool ok = true;
    if (!strcmp(a, "--help") || !strcmp(a, "-h")) {
      KorEncodeUsage(stdout);
      return 0;
    } else if (!strcmp(a, "--grey") || !strcmp(a, "--gray")) {
      grey = true;
      continue;
    } else if (!strcmp(a, "--quiet")) {
      quiet = true;
      continue;
    } else if (a[0] == '-' && a[1] == '-') {
      if (!v) ok = false;
      else if (!strcmp(a, "--rate")) ok = Number(v, 1, 2000000000, &rate);
      else if (!strcmp(a, "--key")) ok = Number(v, 0, 1000000, &key);
      else if (!strcmp(a, "--window")) ok = Number(v, 2, 64, &window);
      else if (!strcmp(a, "--scale")) ok = Number(v, 0, 5, &scale);
      else if (!strcmp(a, "--levels")) ok = Number(v, 0, 127, &levels);
      else if (!strcmp(a, "--soften")) ok = Number(v, 0, 16, &soften);
      else if (!strcmp(a, "--threads")) ok = Number(v, 1, 32, &threads);
      else if (!strcmp(a, "--fps")) ok = Rate(v, &fpsNum, &fpsDen);
      else if (!strcmp(a, "--alpha")) alphaName = v;
      else if (!strcmp(a, "--sound")) ok = KorSoundAdd(&sounds, v);
      else if (!strcmp(a, "--sound-quality")) ok = Number(v, -1, 100, &soundQuality);
      else {
        fprintf(stderr, "kor convert: unknown option '%s'\n", a);
        return 2;
      }
      if (!ok) {
        fprintf(stderr, "kor convert: bad value for %s: '%s'\n", a, v ? v : "");
        return 2;
      }
      i++;
      continue;
    } else if (!in) {
      in = a;
      continue;
    } else if (!out) {
      out = a;
      continue;
    }
    KorEncodeUsage(stderr);
    return 2;
  }
  if (!in || !out) {
    KorEncodeUsage(stderr);
    return 2;
  }

  FILE* f = fopen(in, "rb");
  if (!f) {
    fprintf(stderr, "kor convert: cannot open %s\n", in);
    return 1;
  }
  Y4mReader y4m, alpha;
  FILE* af = nullptr;
  int status = 0;
  long frames = 0;
  if (!Y4mOpen(&y4m, f)) {
    fprintf(stderr, "kor convert: %s: %s\n", in, y4m.error);
    fclose(f);
    return 1;
  }
  frames = Y4mCountFrames(&y4m);
  if (alphaName) {
    af = fopen(alphaName, "rb");
    if (!af || !Y4mOpen(&alpha, af)) {
      fprintf(stderr, "kor convert: %s: %s\n", alphaName, af ? alpha.error : "cannot open");
      if (af) fclose(af);
      fclose(f);
      return 1;
    }
    if (alpha.width != y4m.width || alpha.height != y4m.height) {
      fprintf(stderr, "kor convert: %s: the alpha stream's size differs from the picture's\n", alphaName);
      fclose(af);
      fclose(f);
      return 1;
    }
    long alphaFrames = Y4mCountFrames(&alpha);
    if (alphaFrames < frames) frames = alphaFrames;
  }
  if (frames <= 0) {
    fprintf(stderr, "kor convert: %s: %s\n", in, frames < 0 ? "the input must be a file (it is read twice)" : "no frames");
    if (af) fclose(af);
    fclose(f);
    return 1;
  }
  const uint32_t num = fpsNum ? fpsNum : y4m.rateNum, den = fpsNum ? fpsDen : y4m.rateDen;
  // Each frame's share of the rate, and twice that as its ceiling.
  const uint64_t target64 = (uint64_t)rate * den / num;
  const uint32_t target = target64 < 1 ? 1 : target64 > 0x7FFFFFFF ? 0x7FFFFFFF : (uint32_t)target64;
  const uint32_t maximum = target > 0x3FFFFFFF ? 0x7FFFFFFF : 2 * target;
  if (key < 0) key = (long)((10ull * num + den - 1) / den);
  const uint32_t mode = (uint32_t)scale + (grey || y4m.mono ? 100 : 0) + (alphaName ? 1000 : 0);
  if (threads) VornMakeSetMaxCPUs((uint32_t)threads);

  memset(&g_state, 0, sizeof g_state);
  g_interrupted = 0;
  if (!KorSoundOpen(&sounds, "kor convert", (int32_t)soundQuality)) {
    if (af) fclose(af);
    fclose(f);
    return 1;
  }
  VornMakeHandle* h = VornMake(out, (int32_t)(y4m.width * 4), (int32_t)y4m.width, y4m.height, (uint32_t)frames,
                               (uint32_t)key, mode, num, den, sounds.count, sounds.tracks,
                               (uint32_t)window, Callback);
  if (!h) {
    KorSoundClose(&sounds);
    if (af) fclose(af);
    fclose(f);
    return 1;
  }
  void (*oldInt)(int) = signal(SIGINT, OnInterrupt);
  if (!quiet) KorProgressStart(&g_state.progress, (uint32_t)frames);
  std::vector<uint8_t> pixels((size_t)y4m.width * y4m.height * 4);
  for (long n = 0; n < frames && !g_interrupted; n++) {
    int got = Y4mRead(&y4m, pixels.data());
    if (got > 0 && af) got = Y4mReadAlpha(&alpha, pixels.data());
    if (got <= 0) {
      fprintf(stderr, "kor convert: %s\n", got < 0 ? (af && alpha.error[0] ? alpha.error : y4m.error) : "input ended early");
      status = 1;
      break;
    }
    VornMakePutVideo(h, target, maximum, 0, (uint32_t)levels, (uint32_t)soften, pixels.data());
  }
  VornMakeClose(h, 0);
  KorSoundClose(&sounds);
  KorProgressUpdate(&g_state.progress, g_state.started);
  KorProgressEnd(&g_state.progress);
  signal(SIGINT, oldInt);
  if (g_interrupted) fprintf(stderr, "kor convert: interrupted; %s holds the frames done so far\n", out);
  if (af) fclose(af);
  fclose(f);
  return status || g_state.failed ? 1 : 0;
}
