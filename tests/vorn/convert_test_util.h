// Pictures and buffers for the frame-copy tests.
#pragma once

#include <stdint.h>
#include <string.h>

#include <random>
#include <vector>

#include "vorn/convert.h"

// A decoded picture: luma P x R, then two chroma planes, and an alpha plane.
struct TestPicture {
  int32_t width, height, pitch, rows;
  std::vector<uint8_t> planes, alpha;

  TestPicture(int32_t w, int32_t h)
      : width(w), height(h), pitch((w + 15) & ~15), rows((h + 15) & ~15),
        planes((size_t)pitch * rows * 3 / 2), alpha((size_t)pitch * rows) {}
  uint8_t* Y(int32_t x, int32_t y) { return &planes[(size_t)y * pitch + x]; }
  // first = red difference (V) unless the file swaps them
  uint8_t* First(int32_t x, int32_t y) {
    return &planes[(size_t)pitch * rows + (size_t)y * (pitch / 2) + x];
  }
  uint8_t* Second(int32_t x, int32_t y) {
    return &planes[(size_t)pitch * rows * 5 / 4 + (size_t)y * (pitch / 2) + x];
  }
  uint8_t* A(int32_t x, int32_t y) { return &alpha[(size_t)y * pitch + x]; }

  // Random bytes, or (extremes) values near the edges of the ranges.
  void Fill(std::mt19937& rng, bool extremes) {
    static const uint8_t edge[] = {0, 1, 15, 16, 17, 127, 128, 129, 234, 235, 236, 254, 255};
    for (auto* v : {&planes, &alpha})
      for (uint8_t& b : *v) b = extremes ? edge[rng() % sizeof edge] : (uint8_t)rng();
  }
  // Every pixel (y, first chroma, second chroma, alpha).
  void Set(uint8_t y, uint8_t first, uint8_t second, uint8_t a) {
    memset(planes.data(), y, (size_t)pitch * rows);
    memset(First(0, 0), first, (size_t)pitch * rows / 4);
    memset(Second(0, 0), second, (size_t)pitch * rows / 4);
    memset(alpha.data(), a, alpha.size());
  }
};

inline uint32_t ModeFlags(uint32_t mode) { return mode << VORN_COPY_MODE_SHIFT; }
inline int32_t WidthScale(uint32_t mode) { return mode >= 3 && mode <= 5 ? 2 : 1; }
inline int32_t HeightScale(uint32_t mode) {
  return mode == 1 || mode == 2 || mode == 4 || mode == 5 ? 2 : 1;
}
