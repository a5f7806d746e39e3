// kor mix IN.vrn OUT.vrn: replaces, removes or adds sound tracks of a Vorn
// file (VornMix), copying its pictures as they are.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kor/kor.h"
#include "kor/progress.h"
#include "kor/sound.h"
#include "vornmake/vornmake.h"

static void MixUsage(FILE* out) {
  fprintf(out,
          "usage: kor mix IN.vrn OUT.vrn [--track ID=SOURCE | --remove ID]... [OPTIONS]\n"
          "\n"
          "Rewrites IN.vrn as OUT.vrn with its sound tracks changed; the pictures are\n"
          "copied untouched. OUT.vrn may be IN.vrn.\n"
          "\n"
          "  --track ID=SOURCE  the track with this id gets the sound of SOURCE (a WAV\n"
          "                     file or a Vorn file's first sound track) in its place;\n"
          "                     a new id adds a track after the others\n"
          "  --remove ID        removes the track with this id\n"
          "  --delay N          N > 0: the new sound starts N - 1 frames late;\n"
          "                     N < 0: -N milliseconds late\n"
          "  --rate NUM/DEN     a new frame rate (the new sound follows it; kept tracks\n"
          "                     play at the speed the rate gives them)\n"
          "  --sound-quality N  0 finest; each step up is coarser (default 1)\n"
          "  --quiet            no progress bar\n"
          "\n"
          "Ids are decimal or 0x hexadecimal ('kor info' lists them).\n");
}

namespace {

KorProgress g_progress;
bool g_started, g_quiet, g_failed;
volatile sig_atomic_t g_stop;

void OnInterrupt(int) { g_stop = 1; }

int Callback(int32_t code, VornMakeHandle* handle, const char* text) {
  const VornMixStatus* st = (const VornMixStatus*)handle;
  if (code == 2) {
    KorProgressEnd(&g_progress);
    fprintf(stderr, "kor mix: %s\n", text);
    g_failed = true;
    return 0;
  }
  if (!g_started) {
    g_started = true;
    if (!g_quiet) KorProgressStart(&g_progress, st->frames);
  }
  KorProgressUpdate(&g_progress, st->frame);
  return g_stop ? 1 : 0;
}

bool ParseRate(const char* s, uint32_t* num, uint32_t* den) {
  char* end;
  unsigned long n = strtoul(s, &end, 10), d = 1;
  if (end == s || *s == '-') return false;
  if (*end == '/' || *end == ':') {
    const char* p = end + 1;
    d = strtoul(p, &end, 10);
    if (end == p || *p == '-') return false;
  }
  if (*end || !n || !d || n > 0xFFFFFFFFul || d > 0xFFFFFFFFul) return false;
  *num = (uint32_t)n;
  *den = (uint32_t)d;
  return true;
}

}  // namespace

int KorCmdMix(int argc, char** argv) {
  const char* in = nullptr;
  const char* out = nullptr;
  static KorSounds sounds;
  memset(&sounds, 0, sizeof sounds);
  uint32_t removed[KOR_MAX_SOUNDS], removeCount = 0;
  long delay = 0, quality = KOR_SOUND_QUALITY;
  uint32_t num = 0, den = 0;
  g_quiet = false;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!strcmp(a, "--help") || !strcmp(a, "-h")) {
      MixUsage(stdout);
      return 0;
    }
    if (!strcmp(a, "--quiet")) {
      g_quiet = true;
      continue;
    }
    if (a[0] == '-' && a[1] == '-') {
      bool ok = v != nullptr;
      char* end = nullptr;
      if (!ok) {
      } else if (!strcmp(a, "--track")) {
        const char* eq = strchr(v, '=');
        uint32_t id = 0;
        char idText[32];
        ok = eq && eq - v < (long)sizeof idText;
        if (ok) {
          memcpy(idText, v, (size_t)(eq - v));
          idText[eq - v] = 0;
          ok = KorParseId(idText, &id) && KorSoundAddId(&sounds, eq + 1, id, strlen(eq + 1));
        }
      } else if (!strcmp(a, "--remove")) {
        ok = removeCount < KOR_MAX_SOUNDS && KorParseId(v, &removed[removeCount]);
        removeCount += ok;
      } else if (!strcmp(a, "--delay")) {
        delay = strtol(v, &end, 10);
        ok = *v && !*end && delay > -100000000 && delay < 100000000;
      } else if (!strcmp(a, "--rate")) {
        ok = ParseRate(v, &num, &den);
      } else if (!strcmp(a, "--sound-quality")) {
        quality = strtol(v, &end, 10);
        ok = *v && !*end && quality >= -1 && quality <= 100;
      } else {
        fprintf(stderr, "kor mix: unknown option '%s'\n", a);
        return 2;
      }
      if (!ok) {
        fprintf(stderr, "kor mix: bad value for %s: '%s'\n", a, v ? v : "");
        return 2;
      }
      i++;
      continue;
    }
    if (!in) {
      in = a;
    } else if (!out) {
      out = a;
    } else {
      MixUsage(stderr);
      return 2;
    }
  }
  if (!in || !out || (!sounds.count && !removeCount && !num)) {
    if (in && out) fprintf(stderr, "kor mix: nothing to do: give --track, --remove or --rate\n\n");
    MixUsage(stderr);
    return 2;
  }
  if (!KorSoundOpen(&sounds, "kor mix", (int32_t)quality)) return 1;
  VornMakeTrack tracks[2 * KOR_MAX_SOUNDS + 1];
  uint32_t n = 0;
  for (uint32_t i = 0; i < sounds.count; i++) tracks[n++] = sounds.tracks[i];
  for (uint32_t i = 0; i < removeCount; i++) {
    memset(&tracks[n], 0, sizeof tracks[n]);
    tracks[n++].id = removed[i];
  }
  if (!n) {
    // Only a new rate: one record that matches nothing still rewrites.
    memset(&tracks[0], 0, sizeof tracks[0]);
    tracks[0].id = 0xFFFFFFFFu;
    n = 1;
  }
  g_started = g_failed = false;
  g_stop = 0;
  void (*oldInt)(int) = signal(SIGINT, OnInterrupt);
  const uint32_t size = VornMix(in, out, 0, num, den, (int32_t)delay, n, tracks, Callback);
  signal(SIGINT, oldInt);
  if (g_started) {
    KorProgressUpdate(&g_progress, g_progress.total);
    KorProgressEnd(&g_progress);
  }
  KorSoundClose(&sounds);
  if (g_stop) {
    fprintf(stderr, "kor mix: interrupted; %s was not written\n", out);
    return 1;
  }
  return size && !g_failed ? 0 : 1;
}
