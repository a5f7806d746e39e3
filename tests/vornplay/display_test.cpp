// Display styles on the headless window: what a shown frame looks like on
// screen, the copy formats of pixel layouts, the end card's picture.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "test_util.h"
#include "vorn/convert.h"
#include "vornplay/display.h"
#include "vornplay/endcard.h"

namespace {

class Display : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("KOR_HEADLESS", "1", 1);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_TRUE(PlatVideoInit());
    w_ = PlatWindowCreate("test", 0);
    ASSERT_NE(w_, nullptr);
  }
  void TearDown() override {
    if (h_) VornClose(h_);
    PlatWindowDestroy(w_);
    PlatVideoQuit();
  }
  // Decodes frame 1 of a memory file and shows it with a style; returns
  // the screen's pixels and the reference conversion in *want.
  std::vector<uint32_t> Show(const std::vector<unsigned char>& file, uint32_t style,
                             std::vector<uint32_t>* want, std::string* name) {
    VornPresetMemorySize(file.size());
    h_ = VornOpen((const char*)file.data(), VORN_OPEN_MEMORY);
    EXPECT_NE(h_, nullptr);
    if (!h_) return {};
    int32_t w = (int32_t)h_->width, ht = (int32_t)h_->height;
    width_ = w;
    height_ = ht;
    PlatWindowPlace(w_, 0, 0, w, ht);
    PlatWindowShow(w_, 1);
    PlayerDisplay* d = PlayerDisplayOpen(w_, w, ht, style);
    EXPECT_NE(d, nullptr) << style << " " << PlayerDisplayError();
    if (!d) return {};
    *name = PlayerDisplayStyleName(d);
    VornDecodeFrame(h_);
    EXPECT_TRUE(PlayerDisplayLock(d));
    VornCopyFrame(h_, d->pixels, d->pitch, d->lockHeight, 0, 0, d->copyFlags | VORN_COPY_WHOLE);
    PlayerDisplayUnlock(d);
    PlayerDisplayShow(d, nullptr, 1);
    std::vector<uint32_t> got((size_t)w * ht);
    PlatRect r = {0, 0, w, ht};
    EXPECT_TRUE(PlatWindowRead(w_, &r, got.data()));
    want->assign((size_t)w * ht, 0);
    VornConvertFrame((uint8_t*)want->data(), w * 4, ht, 0, 0, VornCurrentPlanes(h_), nullptr, nullptr,
                     (int32_t)h_->decodeWidth, (int32_t)h_->decodeHeight, (int32_t)h_->pitch,
                     (int32_t)h_->rows, VORN_FMT_BGR32 | (h_->flags & 0x70030000u));
    PlayerDisplayClose(d);
    VornClose(h_);
    h_ = nullptr;
    return got;
  }
  PlatWindow* w_ = nullptr;
  VornHandle* h_ = nullptr;
  int32_t width_ = 0, height_ = 0;
};

TEST_F(Display, StylesShowTheFrame) {
  std::string v = TestVectorsDir();
  if (v.empty()) GTEST_SKIP();
  struct Case {
    uint32_t style;
    const char* name;
    double meanDiff;  // YUV surfaces go through the renderer's own conversion,
                      // which clips out-of-range colours its own way
  };
  static const Case kCases[] = {
      {0, "DirectDraw primary surface", 0},
      {1, "DirectDraw primary surface", 0},
      {2, "DIB Section", 0},
      {3, "DirectDraw YV12 overlay", 6},
      {4, "DirectDraw YUY2 overlay", 6},
      {5, "DirectDraw UYVY overlay", 6},
      {10, "DirectDraw RGB off-screen system surface", 0},
  };
  // Odd sizes: YUV surfaces are rounded up to even, the copy writes the
  // picture's part.
  for (const char* clip : {"large-h-176x144.vrn", "residue-h-34.vrn"})
  for (const Case& c : kCases) {
    std::vector<unsigned char> file = TestReadFile(v + "/vorn/" + clip);
    std::vector<uint32_t> want;
    std::string name;
    std::vector<uint32_t> got = Show(file, c.style, &want, &name);
    ASSERT_EQ(got.size(), want.size()) << c.style << " " << clip;
    EXPECT_EQ(name, c.name);
    // YV12 copies cover the even part of the picture.
    int32_t w = width_ & ~1, h = height_ & ~1;
    double sum = 0;
    for (int32_t y = 0; y < h; y++)
      for (int32_t x = 0; x < w; x++)
        for (int sh = 0; sh < 24; sh += 8) {
          size_t i = (size_t)y * width_ + x;
          sum += abs((int)(got[i] >> sh & 255) - (int)(want[i] >> sh & 255));
        }
    EXPECT_LE(sum / (3.0 * w * h), c.meanDiff) << c.name << " " << clip;
  }
}

TEST_F(Display, Failures) {
  struct Case {
    uint32_t flags;
    const char* error;
  };
  static const Case kCases[] = {
      {6, "No capable blitting style available."},  // no accelerated renderer headless
      {9, "No capable blitting style available."},
      {1 | PLAYER_W_INT_ENLARGE, "No capable blitting style available."},  // the primary cannot stretch
      {17, "No capable blitting style available."},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(PlayerDisplayOpen(w_, 64, 64, c.flags), nullptr) << c.flags;
    EXPECT_STREQ(PlayerDisplayError(), c.error);
  }
  EXPECT_EQ(PlayerDisplayOpen(w_, 0, 64, 0), nullptr);
  // The automatic walk skips the primary when stretching.
  PlayerDisplay* d = PlayerDisplayOpen(w_, 64, 64, PLAYER_W_INT_ENLARGE);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->style, 2);
  EXPECT_NE(d->copyFlags & PLAYER_COPY_STRETCHED, 0u);
  EXPECT_EQ(PlayerDisplaySetStretch(d, 128, 64), 1);
  EXPECT_EQ(d->outputWidth, 128);
  PlayerDisplayClose(d);
  d = PlayerDisplayOpen(w_, 64, 64, 1);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(PlayerDisplaySetStretch(d, 128, 64), 0);  // the primary keeps its size
  EXPECT_EQ(d->outputWidth, 64);
  EXPECT_NE(d->copyFlags & PLAYER_COPY_VISIBLE, 0u);
  PlayerDisplayClose(d);
}

TEST(DisplayFormat, CopyFormats) {
  struct Case {
    PlatPixelFormat f;
    int32_t code;
  };
  static const Case kCases[] = {
      {{PLAT_FOURCC('U', 'Y', 'V', 'Y'), 0, 0, 0, 0, 0}, 14},
      {{PLAT_FOURCC('Y', 'V', '1', '2'), 0, 0, 0, 0, 0}, 15},
      {{PLAT_FOURCC('Y', 'U', 'Y', '2'), 0, 0, 0, 0, 0}, 13},
      {{PLAT_FOURCC('N', 'V', '1', '2'), 0, 0, 0, 0, 0}, -1},
      {{0, 8, 0, 0, 0, 0}, 0},
      {{0, 24, 0xFF0000, 0xFF00, 0xFF, 0}, 1},
      {{0, 24, 0xFF, 0xFF00, 0xFF0000, 0}, 2},
      {{0, 32, 0xFF0000, 0xFF00, 0xFF, 0}, 3},
      {{0, 32, 0xFF, 0xFF00, 0xFF0000, 0}, 4},
      {{0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u}, 5},
      {{0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000u}, 6},
      {{0, 16, 0x0F00, 0x00F0, 0x000F, 0xF000}, 7},
      {{0, 16, 0x7C00, 0x03E0, 0x001F, 0x8000}, 8},
      {{0, 16, 0x7C00, 0x03E0, 0x001F, 0}, 9},
      {{0, 16, 0xF800, 0x07E0, 0x001F, 0}, 10},
      {{0, 16, 0xFC00, 0x03E0, 0x001F, 0}, -1},  // refused rather than misconverted
  };
  for (const Case& c : kCases) EXPECT_EQ(PlayerCopyFormat(&c.f), c.code) << c.f.bits << " " << c.f.red;
}

TEST(EndCard, OneKeyFrameTitleCard) {
  ASSERT_EQ(kVornEndCardBytes, 14848u);
  EXPECT_EQ(memcmp(kVornEndCard, "VRNi", 4), 0);
  VornPresetMemorySize(kVornEndCardBytes);
  VornHandle* h = VornOpen((const char*)kVornEndCard, VORN_OPEN_MEMORY);
  ASSERT_NE(h, nullptr) << VornErrorText();
  EXPECT_EQ(h->width, 224u);
  EXPECT_EQ(h->height, 252u);
  EXPECT_EQ(h->frames, 1u);
  EXPECT_EQ(h->rate, 10u);
  EXPECT_EQ(h->rateDivisor, 1u);
  EXPECT_EQ(h->trackCount, 0u);
  EXPECT_EQ(VornIndexEntry(h, 0) & 1, 1u);
  EXPECT_EQ(VornDecodeFrame(h), 0u);
  std::vector<uint32_t> px(224 * 252);
  ASSERT_TRUE(VornConvertFrame((uint8_t*)px.data(), 224 * 4, 252, 0, 0, VornCurrentPlanes(h), nullptr, nullptr,
                               224, 252, (int32_t)h->pitch, (int32_t)h->rows, VORN_FMT_BGR32));
  // Navy at the top corner, an orange bar, white title strokes.
  uint32_t corner = px[0];
  EXPECT_LT(corner >> 16 & 255, 40u);
  EXPECT_GT(corner & 255, 50u);
  uint32_t bar = px[97 * 224 + 112];
  EXPECT_GT(bar >> 16 & 255, 200u);
  EXPECT_LT(bar & 255, 80u);
  int white = 0;
  for (int i = 32 * 224; i < 80 * 224; i++) white += (px[i] & 0xFFFFFF) > 0xE0E0E0;
  EXPECT_GT(white, 500);
  VornClose(h);
}

}  // namespace
