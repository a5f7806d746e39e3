#include "kor/y4m.h"

#include <stdlib.h>
#include <string.h>

enum { kMaxSide = 32767, kMaxLine = 1024 };

// One header line (without the line feed); 0 at the end of the stream or
// when the line is too long.
static int ReadLine(FILE* f, char* line, size_t size, int* eof) {
  size_t n = 0;
  *eof = 0;
  for (;;) {
    int c = fgetc(f);
    if (c == EOF) {
      *eof = n == 0;
      return 0;
    }
    if (c == '\n') break;
    if (n + 1 >= size) return 0;
    line[n++] = (char)c;
  }
  line[n] = 0;
  return 1;
}

static size_t FrameBytes(const Y4mReader* r) {
  size_t luma = (size_t)r->width * r->height;
  size_t chroma = (size_t)((r->width + 1) / 2) * ((r->height + 1) / 2);
  return luma + (r->mono ? 0 : 2 * chroma);
}

int Y4mOpen(Y4mReader* r, FILE* f) {
  r->f = f;
  r->width = r->height = 0;
  r->rateNum = 25;
  r->rateDen = 1;
  r->mono = 0;
  r->error[0] = 0;
  char line[kMaxLine];
  int eof;
  if (!ReadLine(f, line, sizeof line, &eof) || strncmp(line, "YUV4MPEG2", 9) || (line[9] && line[9] != ' ')) {
    snprintf(r->error, sizeof r->error, "not a YUV4MPEG2 stream");
    return 0;
  }
  for (char* tok = strtok(line + 9, " "); tok; tok = strtok(nullptr, " ")) {
    char* end;
    switch (tok[0]) {
      case 'W': r->width = (uint32_t)strtoul(tok + 1, &end, 10); break;
      case 'H': r->height = (uint32_t)strtoul(tok + 1, &end, 10); break;
      case 'F': {
        unsigned long n = strtoul(tok + 1, &end, 10), d = *end == ':' ? strtoul(end + 1, &end, 10) : 0;
        if (!n || !d || n > 0xFFFFFFFFul || d > 0xFFFFFFFFul) {
          snprintf(r->error, sizeof r->error, "bad frame rate '%s'", tok + 1);
          return 0;
        }
        r->rateNum = (uint32_t)n;
        r->rateDen = (uint32_t)d;
        break;
      }
      case 'C':
        if (!strcmp(tok + 1, "mono")) {
          r->mono = 1;
        } else if (strcmp(tok + 1, "420jpeg") && strcmp(tok + 1, "420") && strcmp(tok + 1, "420mpeg2") &&
                   strcmp(tok + 1, "420paldv")) {
          snprintf(r->error, sizeof r->error, "colour space '%s' is not supported (4:2:0 or mono only)", tok + 1);
          return 0;
        }
        break;
      default: break;  // interlacing, aspect and extensions do not matter here
    }
  }
  if (!r->width || !r->height || r->width > kMaxSide || r->height > kMaxSide) {
    snprintf(r->error, sizeof r->error, "bad picture size %ux%u", r->width, r->height);
    return 0;
  }
  r->planes.resize(FrameBytes(r));
  r->dataStart = ftell(f);
  return 1;
}

long Y4mCountFrames(Y4mReader* r) {
  if (r->dataStart < 0) return -1;
  long n = 0;
  char line[kMaxLine];
  int eof;
  const long bytes = (long)FrameBytes(r);
  if (fseek(r->f, 0, SEEK_END)) return -1;
  const long size = ftell(r->f);
  if (fseek(r->f, r->dataStart, SEEK_SET)) return -1;
  while (ReadLine(r->f, line, sizeof line, &eof) && !strncmp(line, "FRAME", 5)) {
    long at = ftell(r->f);
    if (at < 0 || size - at < bytes) break;  // a frame cut short is not counted
    if (fseek(r->f, bytes, SEEK_CUR)) break;
    n++;
  }
  if (fseek(r->f, r->dataStart, SEEK_SET)) return -1;
  return n;
}

// The next frame's raw planes.
static int ReadPlanes(Y4mReader* r) {
  char line[kMaxLine];
  int eof;
  if (!ReadLine(r->f, line, sizeof line, &eof)) {
    if (eof) return 0;
    snprintf(r->error, sizeof r->error, "damaged frame header");
    return -1;
  }
  if (strncmp(line, "FRAME", 5)) {
    snprintf(r->error, sizeof r->error, "damaged frame header");
    return -1;
  }
  if (fread(r->planes.data(), 1, r->planes.size(), r->f) != r->planes.size()) {
    snprintf(r->error, sizeof r->error, "the last frame is cut short");
    return -1;
  }
  return 1;
}

static inline uint8_t Clamp(int v) { return (uint8_t)(v < 0 ? 0 : v > 255 ? 255 : v); }

int Y4mRead(Y4mReader* r, uint8_t* bgra) {
  int got = ReadPlanes(r);
  if (got <= 0) return got;
  const uint32_t w = r->width, h = r->height, cw = (w + 1) / 2;
  const uint8_t* yp = r->planes.data();
  const uint8_t* cb = yp + (size_t)w * h;
  const uint8_t* cr = cb + (size_t)cw * ((h + 1) / 2);
  for (uint32_t y = 0; y < h; y++)
    for (uint32_t x = 0; x < w; x++) {
      const int c = 298 * (yp[(size_t)y * w + x] - 16) + 128;
      int d = 0, e = 0;
      if (!r->mono) {
        const size_t ci = (size_t)(y / 2) * cw + x / 2;
        d = cb[ci] - 128;
        e = cr[ci] - 128;
      }
      uint8_t* p = bgra + ((size_t)y * w + x) * 4;
      p[0] = Clamp((c + 516 * d) >> 8);
      p[1] = Clamp((c - 100 * d - 208 * e) >> 8);
      p[2] = Clamp((c + 409 * e) >> 8);
      p[3] = 255;
    }
  return 1;
}

int Y4mReadAlpha(Y4mReader* r, uint8_t* bgra) {
  int got = ReadPlanes(r);
  if (got <= 0) return got;
  const size_t n = (size_t)r->width * r->height;
  for (size_t i = 0; i < n; i++) bgra[i * 4 + 3] = r->planes[i];
  return 1;
}
