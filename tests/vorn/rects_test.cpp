// Changed-area rectangles: bounding box, splitting by the area saved, the
// limit of 8, display-option scaling, clipping and order.
#include <gtest/gtest.h>
#include <stdint.h>

#include <utility>
#include <vector>

#include "playback_util.h"
#include "vorn/convert.h"

namespace {

struct Rect {
  int32_t x, y, w, h;
  bool operator==(const Rect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

std::ostream& operator<<(std::ostream& os, const Rect& r) {
  return os << "(" << r.x << "," << r.y << " " << r.w << "x" << r.h << ")";
}

// The rectangles for a map of changed areas (block x, y) of a picture.
std::vector<Rect> Rects(uint32_t width, uint32_t height, uint32_t openFlags,
                        const std::vector<std::pair<int, int>>& areas, uint32_t copyFlags = 0) {
  TestVornFile f;
  f.width = width;
  f.height = height;
  f.frames.push_back(f.MakeFrame(64, 0));
  std::vector<uint8_t> b = f.Build();
  VornHandle* h = OpenForTest(b, openFlags);
  std::vector<Rect> out;
  if (!h) return out;
  memset(h->blockMap, 0, h->blockCount);
  for (auto [x, y] : areas) h->blockMap[y * h->blocksPerRow + x] = 1;
  h->rectCount = -1;
  int32_t n = VornChangedRects(h, copyFlags);
  for (int32_t i = 0; i < n; i++)
    out.push_back({h->rects[i].x, h->rects[i].y, h->rects[i].width, h->rects[i].height});
  VornClose(h);
  return out;
}

TEST(VornChangedRects, SplitsScalesClipsAndSorts) {
  const uint32_t none = VORN_OPEN_OPTION(7);
  struct Case {
    const char* what;
    uint32_t width, height, openFlags, copyFlags;
    std::vector<std::pair<int, int>> areas;
    std::vector<Rect> want;
  } cases[] = {
      {"nothing changed", 64, 64, none, 0, {}, {}},
      {"one area", 64, 64, none, 0, {{1, 2}}, {{16, 32, 16, 16}}},
      {"opposite corners", 64, 64, none, 0, {{3, 3}, {0, 0}}, {{0, 0, 16, 16}, {48, 48, 16, 16}}},
      {"one rectangle asked for", 64, 64, none, VORN_RECTS_ONE, {{0, 0}, {3, 3}}, {{0, 0, 64, 64}}},
      {"none asked for", 64, 64, none, VORN_RECTS_NONE, {{0, 0}}, {}},
      // The cut across y saves 1280 against 768 across x; the two halves
      // are worth no further cut.
      {"larger gain first", 64, 64, none, 0, {{0, 0}, {1, 0}, {0, 3}},
       {{0, 0, 32, 16}, {0, 48, 16, 16}}},
      {"three corners, sorted", 64, 64, none, 0, {{3, 0}, {0, 3}, {0, 0}},
       {{0, 0, 16, 16}, {48, 0, 16, 16}, {0, 48, 16, 16}}},
      {"adjacent areas stay one", 64, 64, none, 0, {{1, 1}, {2, 1}, {1, 2}, {2, 2}},
       {{16, 16, 32, 32}}},
      {"double height", 64, 64, VORN_OPEN_OPTION(1), 0, {{1, 1}}, {{16, 32, 16, 32}}},
      {"interlaced", 64, 64, VORN_OPEN_OPTION(2), 0, {{1, 1}}, {{16, 32, 16, 32}}},
      {"double width", 64, 64, VORN_OPEN_OPTION(3), 0, {{1, 1}}, {{32, 16, 32, 16}}},
      {"double size", 64, 64, VORN_OPEN_OPTION(4), 0, {{1, 1}}, {{32, 32, 32, 32}}},
      {"half interlaced keeps size", 64, 64, VORN_OPEN_OPTION(6), 0, {{1, 1}}, {{16, 16, 16, 16}}},
      // 40 x 40 pictures have 48 x 48 planes: the last areas are cut.
      {"clipped", 40, 40, none, 0, {{2, 2}, {0, 0}}, {{0, 0, 16, 16}, {32, 32, 8, 8}}},
      {"clipped doubled", 40, 40, VORN_OPEN_OPTION(4), 0, {{2, 0}}, {{64, 0, 16, 32}}},
  };
  for (const Case& c : cases) {
    std::vector<Rect> got = Rects(c.width, c.height, c.openFlags, c.areas, c.copyFlags);
    EXPECT_EQ(got, c.want) << c.what;
  }
}

TEST(VornChangedRects, AtMostEightCoverEveryChange) {
  // Scattered single areas of a 256 x 256 picture.
  std::vector<std::pair<int, int>> areas;
  for (int i = 0; i < 12; i++) areas.push_back({(i * 5) % 16, (i * 7 + 3) % 16});
  std::vector<Rect> got = Rects(256, 256, VORN_OPEN_OPTION(7), areas);
  ASSERT_EQ(got.size(), 8u);
  for (auto [x, y] : areas) {
    bool inside = false;
    for (const Rect& r : got)
      inside |= 16 * x >= r.x && 16 * x < r.x + r.w && 16 * y >= r.y && 16 * y < r.y + r.h;
    EXPECT_TRUE(inside) << x << "," << y;
  }
  for (size_t i = 1; i < got.size(); i++)
    EXPECT_TRUE(got[i - 1].y < got[i].y || (got[i - 1].y == got[i].y && got[i - 1].x < got[i].x));
}

TEST(VornChangedRects, NothingAfterASkippedCopyUnlessNeverSkip) {
  TestVornFile f;
  f.width = f.height = 64;
  f.frames.push_back(f.MakeFrame(64, 0));
  std::vector<uint8_t> b = f.Build();
  VornHandle* h = OpenForTest(b);
  ASSERT_NE(h, nullptr);
  memset(h->blockMap, 0, h->blockCount);
  h->blockMap[5] = 1;
  h->rectCount = -1;
  h->keepMap = 1;
  EXPECT_EQ(VornChangedRects(h, 0), 0);
  EXPECT_EQ(VornChangedRects(h, VORN_COPY_NEVER_SKIP), 1);
  EXPECT_EQ(h->rects[0].x, 16);
  EXPECT_EQ(h->rects[0].y, 16);
  VornClose(h);
}

}  // namespace
