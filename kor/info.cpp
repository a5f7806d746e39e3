// kor info: what a Vorn file holds.
#include <stdio.h>
#include <string.h>

#include "kor/kor.h"
#include "vorn/vorn.h"

static void InfoUsage(FILE* out) {
  fprintf(out,
          "usage: kor info FILE.vrn\n"
          "\n"
          "Prints the header of a Vorn file: revision, picture size, frame rate, frames and\n"
          "key frames, data sizes and rates, and each sound track's rate, channels, sample\n"
          "size and ID.\n");
}

// The revision letter, read from the file itself (the handle keeps only the
// flags it implies).
static char RevisionLetter(const char* name) {
  FILE* f = fopen(name, "rb");
  char magic[4] = {};
  if (f) {
    if (fread(magic, 1, 4, f) != 4) magic[3] = '?';
    fclose(f);
  }
  return f ? magic[3] : '?';
}

int KorCmdInfo(int argc, char** argv) {
  if (argc == 2 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h"))) {
    InfoUsage(stdout);
    return 0;
  }
  if (argc != 2) {
    InfoUsage(stderr);
    return 2;
  }
  const char* name = argv[1];
  // No preload and no read-ahead: only the header, tables and index matter.
  VornPresetReadBuffer(0);
  VornHandle* h = VornOpen(name, VORN_OPEN_NOTHREAD | VORN_OPEN_NOFILL | VORN_OPEN_IOSIZE);
  if (!h) {
    fprintf(stderr, "kor info: %s: %s\n", name, VornErrorText());
    return 1;
  }
  uint32_t keys = 0;
  for (uint32_t i = 0; i < h->frames; i++) keys += VornIndexEntry(h, i) & 1;
  uint32_t first = VornIndexEntry(h, 0) & ~1u;
  uint64_t bytes = (uint64_t)h->dataSize + 8 - first;
  double fps = h->fileRateDivisor ? (double)h->fileRate / h->fileRateDivisor : 0;
  uint32_t option = (h->flags >> VORN_OPTION_SHIFT) & 7;

  printf("File:            %s\n", name);
  printf("Revision:        VRN%c\n", RevisionLetter(name));
  printf("Picture:         %u x %u", h->decodeWidth, h->decodeHeight);
  if (h->videoFlags & VORN_VIDEO_GRAY) printf(", luminance only");
  if (h->videoFlags & VORN_VIDEO_ALPHA) printf(", alpha plane");
  printf("\n");
  if (option)
    printf("Display option:  %u (shown %u x %u)\n", option, h->width, h->height);
  else
    printf("Display option:  none\n");
  printf("Frame rate:      %u/%u (%.3f frames per second)\n", h->fileRate, h->fileRateDivisor, fps);
  printf("Frames:          %u (index holds %u), %u key frame%s\n", h->frames, h->indexEntries, keys,
         keys == 1 ? "" : "s");
  if (fps > 0) printf("Duration:        %.3f s\n", h->frames / fps);
  printf("Data size:       %u bytes (frames %llu, largest frame %u)\n", h->dataSize,
         (unsigned long long)bytes, h->largestFrame);
  if (fps > 0)
    printf("Average rate:    %.0f bytes per second\n", (double)bytes * fps / h->frames);
  printf("Peak data rate:  %u bytes per second (from frame %u)\n", h->peakSecondBytes,
         h->peakSecondFrame + 1);
  printf("Tracks:          %u\n", h->trackCount);
  if (h->trackCount) {
    printf("  %-3s %-10s %7s %9s %5s %13s  %s\n", "#", "ID", "Rate", "Channels", "Bits",
           "Sound buffer", "Sound");
    for (uint32_t t = 0; t < h->trackCount; t++) {
      uint32_t f = VornTrackFormat(h, t);
      printf("  %-3u 0x%08x %7u %9u %5u %13u  %s\n", t, VornTrackId(h, t), f & VORN_TRACK_RATE_MASK,
             f & VORN_TRACK_STEREO ? 2u : 1u, f & VORN_TRACK_16BIT ? 16u : 8u, VornTrackBuffer(h, t),
             f & VORN_TRACK_SOUND ? "yes" : "no");
    }
  }
  VornClose(h);
  if (fflush(stdout) != 0) {
    fprintf(stderr, "kor info: cannot write the output\n");
    return 1;
  }
  return 0;
}
