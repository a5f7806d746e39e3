// Frame preparation: conversion, odd edges, padding, pitch, scaling, levels
// and soften, checked on hand-worked pixels.
#include <gtest/gtest.h>

#include <vector>

#include "vornmake/prepare.h"

namespace {

struct Prepared {
  VmkPrepareGeometry g;
  std::vector<uint8_t> y, cr, cb, a;
};

// Pixels given as (blue, green, red, alpha) per pixel, rows `pitch` bytes
// apart (0: packed).
Prepared Prepare(uint32_t w, uint32_t h, const std::vector<uint8_t>& px, uint32_t mode = 0,
                 uint32_t levels = 0, uint32_t soften = 0, uint32_t pitch = 0) {
  Prepared p;
  VmkPrepareGeometry& g = p.g;
  g.inputWidth = w;
  g.inputHeight = h;
  g.inputPitch = (int32_t)(pitch ? pitch : w * 4);
  g.scaleMode = mode;
  VmkScaledSize(mode, w, h, &g.width, &g.height);
  g.paddedWidth = (g.width + 7) & ~7u;
  g.paddedHeight = (g.height + 7) & ~7u;
  g.chromaWidth = ((g.width + 1) / 2 + 7) & ~7u;
  g.chromaHeight = ((g.height + 1) / 2 + 7) & ~7u;
  p.y.resize(g.paddedWidth * g.paddedHeight);
  p.a.resize(p.y.size());
  p.cr.resize(g.chromaWidth * g.chromaHeight);
  p.cb.resize(p.cr.size());
  std::vector<uint8_t> s0(g.width * g.height * 4), s1(s0.size());
  VmkPrepare(&g, px.data(), levels, soften, p.y.data(), p.cr.data(), p.cb.data(), p.a.data(), s0.data(), s1.data());
  return p;
}

TEST(Prepare, ConvertsWithTruncationTowardsZero) {
  // White, red, blue, black in a 2 x 2 square, then each alone.
  const struct {
    uint8_t b, g, r;
    uint8_t y, cr, cb;
  } cases[] = {
      {255, 255, 255, 234, 128, 128},
      {0, 0, 255, 81, 240, 91},   // Cb -37.85 becomes -37
      {255, 0, 0, 40, 110, 240},  // Cr -18.18 becomes -18
      {0, 0, 0, 16, 128, 128},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> px;
    for (int i = 0; i < 4; i++) px.insert(px.end(), {c.b, c.g, c.r, 77});
    Prepared p = Prepare(2, 2, px);
    EXPECT_EQ(p.y[0], c.y);
    EXPECT_EQ(p.cr[0], c.cr);
    EXPECT_EQ(p.cb[0], c.cb);
    EXPECT_EQ(p.a[0], 77);
  }
}

TEST(Prepare, OddEdgesAndPaddingRepeatTheLastSamples) {
  // 3 x 1: the third column pairs with itself, the row with itself.
  std::vector<uint8_t> px = {0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 255, 3};
  Prepared p = Prepare(3, 1, px);
  ASSERT_EQ(p.g.paddedWidth, 8u);
  ASSERT_EQ(p.g.chromaWidth, 8u);
  EXPECT_EQ(p.cr[0], 128);
  EXPECT_EQ(p.cr[1], 240);  // four red pixels
  for (uint32_t x = 2; x < 8; x++) EXPECT_EQ(p.cr[x], 240) << x;
  for (uint32_t y = 1; y < 8; y++) EXPECT_EQ(p.cr[y * 8 + 1], 240) << y;
  for (uint32_t y = 0; y < 8; y++) {
    EXPECT_EQ(p.y[y * 8 + 2], 81);
    for (uint32_t x = 3; x < 8; x++) EXPECT_EQ(p.y[y * 8 + x], 81);
    EXPECT_EQ(p.a[y * 8 + 7], 3);
  }
}

TEST(Prepare, ReadsRowsAtTheInputPitch) {
  std::vector<uint8_t> px(2 * 40, 0xEE);  // 2 rows of 1 pixel, 40 bytes apart
  for (int r = 0; r < 2; r++) {
    px[r * 40 + 0] = px[r * 40 + 1] = px[r * 40 + 2] = 0;
    px[r * 40 + 3] = (uint8_t)(r + 5);
  }
  Prepared p = Prepare(1, 2, px, 0, 0, 0, 40);
  EXPECT_EQ(p.y[0], 16);
  EXPECT_EQ(p.y[8], 16);
  EXPECT_EQ(p.a[8], 6);
}

TEST(Prepare, ScaleModesAverage) {
  // 2 x 2 of green 10, 20 / 30, 41 (alpha 0, 4 / 8, 13).
  std::vector<uint8_t> px = {0, 10, 0, 0, 0, 20, 0, 4, 0, 30, 0, 8, 0, 41, 0, 13};
  Prepared both = Prepare(2, 2, px, 4);
  ASSERT_EQ(both.g.width, 1u);
  ASSERT_EQ(both.g.height, 1u);
  EXPECT_EQ(both.a[0], 6);                           // (0 + 4 + 8 + 13) >> 2
  EXPECT_EQ(both.y[0], (516 * 25) / 1024 + 16);      // green (10+20+30+41) >> 2 = 25
  Prepared rows = Prepare(2, 2, px, 1);
  ASSERT_EQ(rows.g.height, 1u);
  EXPECT_EQ(rows.a[0], 4);  // (0 + 8) >> 1
  EXPECT_EQ(rows.a[1], 8);  // (4 + 13) >> 1
  Prepared cols = Prepare(2, 2, px, 3);
  ASSERT_EQ(cols.g.width, 1u);
  EXPECT_EQ(cols.a[8], 10);  // (8 + 13) >> 1
}

TEST(Prepare, LevelsAbove127ActAs127) {
  std::vector<uint8_t> px = {127, 128, 0, 9, 255, 1, 254, 9};
  Prepared p = Prepare(2, 1, px, 0, 200);
  Prepared q = Prepare(2, 1, px, 0, 127);
  EXPECT_EQ(p.y, q.y);
  // (127, 128, 0) -> (0, 255, 0); (255, 1, 254) -> (255, 0, 255).
  EXPECT_EQ(p.y[0], (516 * 255) / 1024 + 16);
  EXPECT_EQ(p.y[1], (100 * 255 + 263 * 255) / 1024 + 16);
  EXPECT_EQ(p.a[0], 9);
}

TEST(Prepare, SoftenOnOneRowUsesTheRowAsItsNeighbours) {
  // Green 0, 130, 13; soften 40 acts as 16 (centre weight 1, divisor 13).
  std::vector<uint8_t> px = {0, 0, 0, 0, 0, 130, 0, 0, 0, 13, 0, 0};
  Prepared p = Prepare(3, 1, px, 0, 0, 40);
  // First: (3*0 + 3*0 + 3*0 + 2*130 + 130 + 130) / 13 = 40.
  // Inner: (130 + 2*(130 + 130 + 0 + 13) + 0 + 13 + 0 + 13) / 13 = 54.
  // Last: (3*13 + 3*13 + 3*13 + 2*130 + 130 + 130) / 13 = 49.
  EXPECT_EQ(p.y[0], (516 * 40) / 1024 + 16);
  EXPECT_EQ(p.y[1], (516 * 54) / 1024 + 16);
  EXPECT_EQ(p.y[2], (516 * 49) / 1024 + 16);
  EXPECT_EQ(Prepare(3, 1, px, 0, 0, 16).y, p.y);
}

}  // namespace
