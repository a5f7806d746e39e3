// YUV4MPEG2 input: 4:2:0 (C420jpeg, C420, C420mpeg2, C420paldv) and
// luminance-only (Cmono) streams, read frame by frame into 32-bit pixels.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <vector>

struct Y4mReader {
  FILE* f;
  uint32_t width, height;
  uint32_t rateNum, rateDen;
  int mono;           // Cmono: luminance only
  long dataStart;     // first frame, for rewinding after a count
  std::vector<uint8_t> planes;  // one frame's raw planes
  char error[200];
};

// Reads the stream header. 0 with error set on anything it cannot take.
int Y4mOpen(Y4mReader* r, FILE* f);
// Counts the frames of a seekable stream and returns to the first; -1 when
// the stream cannot seek.
long Y4mCountFrames(Y4mReader* r);
// Reads the next frame into bgra (width x height x 4 bytes) with alpha 255;
// studio-range BT.601 (Y 16-235) to RGB. 1 read, 0 at the end, -1 on a
// damaged frame (error set).
int Y4mRead(Y4mReader* r, uint8_t* bgra);
// Reads the next frame's luminance into the alpha bytes of bgra (a stream of
// the same size holding alpha planes). Same results as Y4mRead.
int Y4mReadAlpha(Y4mReader* r, uint8_t* bgra);
