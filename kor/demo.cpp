// kor demo: the kit end to end on a clip of its own: draws a scene, encodes
// it with vornmake, decodes it back with the kit's decoder to measure its
// quality, and plays it with vornplay (in a window when there is a display,
// otherwise headless with the summary).
#include <limits.h>
#include <math.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "kor/kor.h"
#include "kor/progress.h"
#include "kor/scene.h"
#include "kor/sound.h"
#include "platform/plat.h"
#include "vorn/vorn.h"
#include "vornmake/vornmake.h"

extern char** environ;

static void DemoUsage(FILE* out) {
  fprintf(out,
          "usage: kor demo [OPTIONS]\n"
          "\n"
          "Draws a short clip of its own (moving shapes, gradients, texture, edges and\n"
          "text) with a generated music track (kor tune), encodes both into a Vorn\n"
          "file, decodes it back to measure its quality and plays it with vornplay:\n"
          "in a window when there is a display, else headless with the playback\n"
          "summary.\n"
          "\n"
          "  --seconds N      length of the clip (default 6)\n"
          "  --size WxH       picture size (default 640x480)\n"
          "  --rate BYTES     data rate in bytes per second (default 250000)\n"
          "  --out FILE       the Vorn file to write (default: kor-demo.vrn in $TMPDIR\n"
          "                   or /tmp)\n"
          "  --no-sound       no music track\n"
          "  --no-play        do not play the result\n"
          "  --quiet          no progress bar\n");
}

namespace {

const uint32_t kFps = 25;

struct Progress {
  KorProgress bar;
  uint32_t started;
};
Progress g_progress;

int Callback(int32_t code, VornMakeHandle*, const char* text) {
  if (code == 2) {
    KorProgressEnd(&g_progress.bar);
    fprintf(stderr, "kor demo: %s\n", text);
  } else if (code == 1 && text && !strcmp(text, "Compressing")) {
    KorProgressUpdate(&g_progress.bar, g_progress.started++);
  }
  return 0;
}

bool Number(const char* s, long lo, long hi, long* out) {
  char* end;
  const long v = strtol(s, &end, 10);
  if (!*s || *end || v < lo || v > hi) return false;
  *out = v;
  return true;
}

double Psnr(double se, double n) { return se > 0 ? 10 * log10(255.0 * 255.0 * n / se) : 99.99; }

// Decodes the file frame by frame and compares it with the scene as the
// encoder prepared it. Returns false when the file cannot be read.
bool Measure(const char* path, uint32_t w, uint32_t h, uint32_t frames, double psnr[3]) {
  VornHandle* v = VornOpen(path, VORN_OPEN_NOTHREAD | VORN_OPEN_OPTION(7));
  if (!v) {
    fprintf(stderr, "kor demo: %s: %s\n", path, VornErrorText());
    return false;
  }
  const uint32_t cw = (w + 1) / 2, ch = (h + 1) / 2;
  std::vector<uint8_t> bgra((size_t)w * h * 4), y((size_t)w * h), cr((size_t)cw * ch), cb(cr.size());
  double se[3] = {0, 0, 0};
  bool ok = v->frames == frames && v->decodeWidth == w && v->decodeHeight == h;
  for (uint32_t n = 0; ok && n < frames; n++) {
    if (n) VornAdvanceFrame(v);
    if (VornDecodeFrame(v)) {
      ok = false;
      break;
    }
    KorSceneDraw(bgra.data(), w, h, n, frames, kFps);
    KorSceneToYuv(bgra.data(), w, h, y.data(), cr.data(), cb.data());
    VornPlanes* p = VornCurrentPlanes(v);
    const uint8_t* first = VornPlanesChroma1(p, v->pitch, v->rows);
    const uint8_t* second = VornPlanesChroma2(p, v->pitch, v->rows);
    const bool cbFirst = (v->flags & VORN_FLAG_CB_FIRST) != 0;
    const uint8_t* dec[3] = {p, cbFirst ? first : second, cbFirst ? second : first};
    const uint8_t* src[3] = {y.data(), cb.data(), cr.data()};
    for (int i = 0; i < 3; i++) {
      const uint32_t pw = i ? cw : w, ph = i ? ch : h, pitch = i ? v->pitch / 2 : v->pitch;
      for (uint32_t r = 0; r < ph; r++)
        for (uint32_t x = 0; x < pw; x++) {
          const int d = src[i][(size_t)r * pw + x] - dec[i][(size_t)r * pitch + x];
          se[i] += d * d;
        }
    }
  }
  VornClose(v);
  if (!ok) {
    fprintf(stderr, "kor demo: %s cannot be decoded back\n", path);
    return false;
  }
  psnr[0] = Psnr(se[0], (double)w * h * frames);
  psnr[1] = Psnr(se[1], (double)cw * ch * frames);
  psnr[2] = Psnr(se[2], (double)cw * ch * frames);
  return true;
}

// vornplay beside this program.
std::string PlayerPath() {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "vornplay";
  self[n] = 0;
  std::string dir(self);
  const size_t slash = dir.rfind('/');
  return (slash == std::string::npos ? std::string(".") : dir.substr(0, slash)) + "/vornplay";
}

int Play(const char* path) {
  const std::string player = PlayerPath();
  if (access(player.c_str(), X_OK)) {
    fprintf(stderr, "kor demo: %s not found: not playing\n", player.c_str());
    return 1;
  }
  const char* display = getenv("DISPLAY");
  const char* wayland = getenv("WAYLAND_DISPLAY");
  const bool window = ((display && *display) || (wayland && *wayland)) && !getenv("KOR_HEADLESS");
  std::vector<std::string> args = {player, path};
  if (window) {
    printf("Playing it in a window (close it or press Escape to end).\n");
  } else {
    printf("No display: playing it headless.\n");
    setenv("KOR_HEADLESS", "1", 1);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (!getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
  args.push_back("/S");
  fflush(stdout);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, player.c_str(), nullptr, nullptr, argv.data(), environ)) {
    fprintf(stderr, "kor demo: cannot start %s\n", player.c_str());
    return 1;
  }
  int status = 0;
  if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status)) return 1;
  return WEXITSTATUS(status);
}

}  // namespace

int KorCmdDemo(int argc, char** argv) {
  long seconds = 6, rate = 250000, w = 640, h = 480;
  bool play = true, quiet = false, sound = true;
  std::string out;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    bool ok = true;
    if (!strcmp(a, "--help") || !strcmp(a, "-h")) {
      DemoUsage(stdout);
      return 0;
    } else if (!strcmp(a, "--no-play")) {
      play = false;
    } else if (!strcmp(a, "--no-sound")) {
      sound = false;
    } else if (!strcmp(a, "--quiet")) {
      quiet = true;
    } else if (v && !strcmp(a, "--seconds")) {
      ok = Number(v, 1, 600, &seconds), i++;
    } else if (v && !strcmp(a, "--rate")) {
      ok = Number(v, 1000, 100000000, &rate), i++;
    } else if (v && !strcmp(a, "--out")) {
      out = v, i++;
    } else if (v && !strcmp(a, "--size")) {
      char* end;
      w = strtol(v, &end, 10);
      h = *end == 'x' ? strtol(end + 1, &end, 10) : 0;
      ok = !*end && w >= 16 && h >= 16 && w <= 4096 && h <= 4096, i++;
    } else {
      DemoUsage(stderr);
      return 2;
    }
    if (!ok) {
      fprintf(stderr, "kor demo: bad value for %s: '%s'\n", a, v);
      return 2;
    }
  }
  if (out.empty()) {
    const char* tmp = getenv("TMPDIR");
    out = std::string(tmp && *tmp ? tmp : "/tmp") + "/kor-demo.vrn";
  }
  const uint32_t frames = (uint32_t)(seconds * kFps), target = (uint32_t)(rate / kFps);
  printf("KOR demo: a %ld-second clip of %ldx%ld pictures at %d frames per second%s,\n"
         "encoded at %ld bytes per second (%.0f kbit/s) into %s\n",
         seconds, w, h, (int)kFps, sound ? " with music" : "", rate, rate * 8 / 1000.0, out.c_str());
  fflush(stdout);
  // The music: kor tune's piece, as long as the clip, as the file's track.
  static KorSounds sounds;
  sounds.count = 0;
  std::string wav;
  if (sound) {
    wav = out + ".wav";
    std::string secs = std::to_string(seconds);
    char* tune[] = {(char*)"tune", wav.data(), (char*)"--seconds", secs.data(), (char*)"--rate", (char*)"22050", nullptr};
    if (KorCmdTune(6, tune) || !KorSoundAdd(&sounds, wav.c_str()) ||
        !KorSoundOpen(&sounds, "kor demo", KOR_SOUND_QUALITY)) {
      remove(wav.c_str());
      return 1;
    }
  }
  VornMakeHandle* hd = VornMake(out.c_str(), (int32_t)w * 4, (int32_t)w, (uint32_t)h, frames, 10 * kFps, 0, kFps, 1,
                                sounds.count, sounds.tracks, 16, Callback);
  if (!hd) {
    KorSoundClose(&sounds);
    if (sound) remove(wav.c_str());
    return 1;
  }
  g_progress = {};
  KorProgressStart(&g_progress.bar, frames);
  if (quiet) g_progress.bar.on = 0;
  std::vector<uint8_t> bgra((size_t)w * h * 4);
  const uint64_t t0 = PlatClockUs();
  for (uint32_t t = 0; t < frames; t++) {
    KorSceneDraw(bgra.data(), (uint32_t)w, (uint32_t)h, t, frames, kFps);
    VornMakePutVideo(hd, target, 2 * target, 0, 0, 0, bgra.data());
  }
  const uint32_t size = VornMakeClose(hd, 0);
  const double secs = (PlatClockUs() - t0) / 1e6;
  KorSoundClose(&sounds);
  if (sound) remove(wav.c_str());
  KorProgressUpdate(&g_progress.bar, frames);
  KorProgressEnd(&g_progress.bar);
  if (!size) {
    fprintf(stderr, "kor demo: nothing was written\n");
    return 1;
  }
  double psnr[3];
  if (!Measure(out.c_str(), (uint32_t)w, (uint32_t)h, frames, psnr)) return 1;
  const double perSecond = (double)size * kFps / frames;
  printf("Encoded %u frames in %.1f s (%.1f frames per second, drawing included)\n", frames, secs, frames / secs);
  printf("File size: %u bytes; data rate: %.0f bytes per second (%.0f kbit/s)%s\n", size, perSecond,
         perSecond * 8 / 1000, sound ? ", music included" : "");
  printf("Quality (PSNR against the prepared source): Y %.2f dB, Cb %.2f dB, Cr %.2f dB\n", psnr[0], psnr[1],
         psnr[2]);
  fflush(stdout);
  return play ? Play(out.c_str()) : 0;
}
