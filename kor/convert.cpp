// kor convert: decode a Vorn file's pictures to YUV4MPEG2, or a sound track
// to WAV (convert_wav.cpp); the output name's extension chooses.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <vector>

#include "kor/kor.h"
#include "vorn/vorn.h"

static void ConvertUsage(FILE* out) {
  fprintf(out,
          "usage: kor convert IN.vrn OUT.y4m [--alpha OUT_ALPHA.y4m]\n"
          "       kor convert IN.vrn OUT.wav [--track N]\n"
          "\n"
          "Decodes every frame of IN.vrn in order and writes it as YUV4MPEG2 (4:2:0,\n"
          "full-range chroma siting 'C420jpeg') at the file's picture size and frame rate.\n"
          "Luminance-only files get neutral chroma (128).\n"
          "\n"
          "  --alpha FILE   also write the alpha planes, as a 'Cmono' stream\n"
          "\n"
          "'-' as an output name means standard output.\n"
          "\n"
          "With an output name ending in .wav, writes one sound track instead, as 16-bit\n"
          "PCM at the track's sample rate and channels.\n"
          "\n"
          "  --track N      the track to write, numbered from 0 (default: the first\n"
          "                 track with sound)\n");
}

struct Output {
  const char* name;
  FILE* f;
  bool failed;
};

static bool OpenOutput(Output* o, const char* name) {
  o->name = name;
  o->failed = false;
  o->f = strcmp(name, "-") ? fopen(name, "wb") : stdout;
  if (o->f) setvbuf(o->f, nullptr, _IOFBF, 1 << 20);
  return o->f != nullptr;
}

static void Put(Output* o, const void* p, size_t n) {
  if (!o->failed && fwrite(p, 1, n, o->f) != n) o->failed = true;
}

static bool CloseOutput(Output* o) {
  if (!o->f) return true;
  bool ok = !o->failed && fflush(o->f) == 0;
  if (o->f != stdout) ok = fclose(o->f) == 0 && ok;
  o->f = nullptr;
  return ok;
}

static void PutHeader(Output* o, const VornHandle* h, const char* colour) {
  char text[160];
  int n = snprintf(text, sizeof text, "YUV4MPEG2 W%u H%u F%u:%u Ip A1:1 %s\n", h->decodeWidth,
                   h->decodeHeight, h->fileRate, h->fileRateDivisor, colour);
  Put(o, text, (size_t)n);
}

// Rows of a plane cropped to w x h.
static void PutPlane(Output* o, const uint8_t* plane, uint32_t pitch, uint32_t w, uint32_t h) {
  for (uint32_t y = 0; y < h; y++) Put(o, plane + (size_t)y * pitch, w);
}

static void PutFrame(Output* o, const VornHandle* h, const std::vector<uint8_t>& gray) {
  uint32_t w = h->decodeWidth, ht = h->decodeHeight, cw = (w + 1) / 2, ch = (ht + 1) / 2;
  Put(o, "FRAME\n", 6);
  VornPlanes* p = VornCurrentPlanes(h);
  PutPlane(o, p, h->pitch, w, ht);
  if (h->flags & VORN_VIDEO_GRAY) {
    for (int i = 0; i < 2; i++) PutPlane(o, gray.data(), 0, cw, ch);
    return;
  }
  const uint8_t* first = VornPlanesChroma1(p, h->pitch, h->rows);
  const uint8_t* second = VornPlanesChroma2(p, h->pitch, h->rows);
  // Revisions f and g decode Cb first; h and i decode Cr first.
  bool cbFirst = (h->flags & VORN_FLAG_CB_FIRST) != 0;
  PutPlane(o, cbFirst ? first : second, h->pitch / 2, cw, ch);
  PutPlane(o, cbFirst ? second : first, h->pitch / 2, cw, ch);
}

int KorCmdConvert(int argc, char** argv) {
  const char* in = nullptr;
  const char* out = nullptr;
  const char* alpha = nullptr;
  const char* track = nullptr;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (!strcmp(a, "--help") || !strcmp(a, "-h")) {
      ConvertUsage(stdout);
      return 0;
    }
    if (!strcmp(a, "--alpha")) {
      if (++i >= argc || alpha) {
        ConvertUsage(stderr);
        return 2;
      }
      alpha = argv[i];
    } else if (!strcmp(a, "--track")) {
      if (++i >= argc || track) {
        ConvertUsage(stderr);
        return 2;
      }
      track = argv[i];
    } else if (a[0] == '-' && a[1] == '-') {
      fprintf(stderr, "kor convert: unknown option '%s'\n", a);
      return 2;
    } else if (!in) {
      in = a;
    } else if (!out) {
      out = a;
    } else {
      ConvertUsage(stderr);
      return 2;
    }
  }
  if (!in || !out) {
    ConvertUsage(stderr);
    return 2;
  }
  size_t outLength = strlen(out);
  if (outLength > 4 && !strcasecmp(out + outLength - 4, ".wav")) {
    if (alpha) {
      fprintf(stderr, "kor convert: --alpha goes with a .y4m output\n");
      return 2;
    }
    int number = -1;
    if (track) {
      char* end = nullptr;
      long v = strtol(track, &end, 10);
      if (!*track || *end || v < 0 || v > 0x7FFFFFFF) {
        fprintf(stderr, "kor convert: --track takes a track number from 0, not '%s'\n", track);
        return 2;
      }
      number = (int)v;
    }
    return KorConvertWav(in, out, number);
  }
  if (track) {
    fprintf(stderr, "kor convert: --track goes with a .wav output\n");
    return 2;
  }
  if (alpha && !strcmp(out, "-") && !strcmp(alpha, "-")) {
    fprintf(stderr, "kor convert: only one output can be standard output\n");
    return 2;
  }

  // Display option 7: the decoder's own picture size, never doubled.
  uint32_t flags = VORN_OPEN_NOTHREAD | VORN_OPEN_OPTION(7) | (alpha ? VORN_OPEN_ALPHA : 0);
  VornHandle* h = VornOpen(in, flags);
  if (!h) {
    fprintf(stderr, "kor convert: %s: %s\n", in, VornErrorText());
    return 1;
  }
  if (alpha && !(h->flags & VORN_OPEN_ALPHA)) {
    fprintf(stderr, "kor convert: %s: the file has no alpha plane\n", in);
    VornClose(h);
    return 1;
  }
  Output video = {}, mask = {};
  if (!OpenOutput(&video, out) || (alpha && !OpenOutput(&mask, alpha))) {
    fprintf(stderr, "kor convert: cannot create %s\n", video.f ? alpha : out);
    CloseOutput(&video);
    VornClose(h);
    return 1;
  }
  PutHeader(&video, h, "C420jpeg");
  if (alpha) PutHeader(&mask, h, "Cmono");
  std::vector<uint8_t> gray(((size_t)h->decodeWidth + 1) / 2, 128);

  int status = 0;
  for (uint32_t n = 1; n <= h->frames && !status; n++) {
    if (n > 1) VornAdvanceFrame(h);
    if (VornDecodeFrame(h)) {
      fprintf(stderr, "kor convert: %s: frame %u cannot be read (the file is truncated or damaged)\n",
              in, n);
      status = 1;
      break;
    }
    PutFrame(&video, h, gray);
    if (alpha) {
      Put(&mask, "FRAME\n", 6);
      PutPlane(&mask, VornCurrentAlpha(h), h->pitch, h->decodeWidth, h->decodeHeight);
    }
    if (video.failed || mask.failed) break;
  }
  VornClose(h);
  bool wroteVideo = CloseOutput(&video), wroteMask = CloseOutput(&mask);
  if (!wroteVideo || !wroteMask) {
    fprintf(stderr, "kor convert: cannot write %s\n", wroteVideo ? alpha : out);
    return 1;
  }
  return status;
}
