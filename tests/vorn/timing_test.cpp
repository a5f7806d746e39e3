// Playback pacing: when frames are due, stalls with and without sound,
// skipped copies and the block map they leave, never-skip, pausing and the
// statistics.
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "playback_util.h"
#include "test_util.h"
#include "vorn/convert.h"

namespace {

TestVornFile PlainFile(uint32_t frames, uint32_t rate) {
  TestVornFile f;
  f.rate = rate;
  for (uint32_t i = 0; i < frames; i++) f.frames.push_back(f.MakeFrame(40 + 8 * (i % 5), i));
  return f;
}

// Decodes the current frame and steps on.
void Play(VornHandle* h) {
  ASSERT_EQ(VornDecodeFrame(h), 0u);
  VornAdvanceFrame(h);
}

TEST(VornTiming, StallWithoutSoundRestartsTheClock) {
  TestClock clock(1000);
  std::vector<uint8_t> b = PlainFile(10, 10).Build();
  VornHandle* h = OpenForTest(b);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(VornTooEarly(h), 0u);  // nothing played yet
  Play(h);
  EXPECT_EQ(VornTooEarly(h), 1u);
  clock.Advance(99);
  EXPECT_EQ(VornTooEarly(h), 1u);
  clock.Advance(1);
  EXPECT_EQ(VornTooEarly(h), 0u);
  Play(h);  // frame 2 at 1100
  // Frame 3 was due at 1200; 400 ms later the clock starts over.
  clock.Set(1600);
  EXPECT_EQ(VornTooEarly(h), 0u);
  EXPECT_EQ(h->clockStart, 1600u);
  Play(h);
  // From the restart, frames are due a frame duration apart again.
  for (uint32_t due : {1800u, 1900u, 2000u}) {
    clock.Set(due - 1);
    EXPECT_EQ(VornTooEarly(h), 1u) << due;
    clock.Set(due);
    EXPECT_EQ(VornTooEarly(h), 0u) << due;
    Play(h);
  }
  VornClose(h);
}

// Every frame of a file converted whole.
std::vector<std::vector<uint8_t>> ReferencePictures(const std::vector<uint8_t>& file) {
  std::vector<std::vector<uint8_t>> pictures;
  VornHandle* h = OpenForTest(file);
  if (!h) return pictures;
  for (uint32_t n = 1; n <= h->frames; n++) {
    VornDecodeFrame(h);
    std::vector<uint8_t> pic((size_t)h->width * h->height * 4);
    VornCopyFrame(h, pic.data(), (int32_t)h->width * 4, (int32_t)h->height, 0, 0,
                  VORN_FMT_RGB32 | VORN_COPY_WHOLE);
    pictures.push_back(pic);
    VornAdvanceFrame(h);
  }
  VornClose(h);
  return pictures;
}

// With sound at 10 frames per second and a stall of 700 ms after frame 2,
// frames 3 to 5 are more than 200 ms late: their copies convert nothing and
// return 1. Frame 6 is within 200 ms and converts every area changed since
// frame 2. The decoder's marks are stood in for by one area per frame.
TEST(VornTiming, LateCopiesWithSoundSkipAndTheMapAddsUp) {
  FakeSound fake;
  FakeSoundOutput output(&fake);
  TestClock clock(1000);
  TestVornFile f = ConstantSoundFile(20, 16);
  f.width = f.height = 64;
  std::vector<uint8_t> b = f.Build();
  VornHandle* h = OpenForTest(b);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->blockCount, 16u);
  const uint8_t kUntouched = 0x5A;
  std::vector<uint8_t> pic(64 * 64 * 4, kUntouched);
  auto converted = [&](uint32_t block) {
    uint32_t x0 = block % 4 * 16, y0 = block / 4 * 16;
    for (uint32_t y = y0; y < y0 + 16; y++)
      for (uint32_t x = 4 * x0; x < 4 * (x0 + 16); x++)
        if (pic[y * 256 + x] != kUntouched) return true;
    return false;
  };
  std::vector<uint32_t> sinceCopy;
  for (uint32_t n = 1; n <= 6; n++) {
    if (n == 3) clock.Set(1800);
    EXPECT_EQ(VornTooEarly(h), 0u) << n;
    ASSERT_EQ(VornDecodeFrame(h), 0u);
    h->blockMap[n] = 1;
    sinceCopy.push_back(n);
    bool skip = n >= 3 && n <= 5;
    EXPECT_EQ(VornCopyFrame(h, pic.data(), 256, 64, 0, 0, VORN_FMT_RGB32), skip ? 1u : 0u) << n;
    for (uint32_t block = 0; block < 16; block++) {
      bool marked = !skip && std::count(sinceCopy.begin(), sinceCopy.end(), block) > 0;
      EXPECT_EQ(converted(block), marked) << n << " " << block;
    }
    if (skip) {
      EXPECT_EQ(VornChangedRects(h, VORN_FMT_RGB32), 0) << n;
    } else {
      EXPECT_GT(VornChangedRects(h, VORN_FMT_RGB32), 0) << n;
      sinceCopy.clear();
      pic.assign(pic.size(), kUntouched);
    }
    VornAdvanceFrame(h);
    if (n < 3) clock.Advance(100);
  }
  VornTotals t;
  VornReadTotals(h, &t);
  EXPECT_EQ(t.skippedBlits, 3u);
  EXPECT_EQ(t.framesPlayed, 6u);
  EXPECT_EQ(t.skippedFrames, 0u);
  VornClose(h);
}

// The sound vector at 10 frames per second on the fake back end, 500 ms
// late at frame 3.
class VornStallWithSound : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string dir = TestVectorsDir();
    if (dir.empty()) GTEST_SKIP() << "no vectors";
    file_ = TestReadFile(dir + "/vorn/large-i-320x240.vrn");
    if (file_.empty()) GTEST_SKIP() << "no large-i-320x240.vrn";
  }
  static const uint32_t kFormat = VORN_FMT_RGB32;
  std::vector<uint8_t> file_;
};

TEST_F(VornStallWithSound, NeverSkipConvertsLateCopies) {
  std::vector<std::vector<uint8_t>> ref = ReferencePictures(file_);
  ASSERT_EQ(ref.size(), 6u);
  struct Case {
    uint32_t openFlags, copyFlags;
  } cases[] = {{VORN_OPEN_NOSKIP, 0}, {0, VORN_COPY_NEVER_SKIP}};
  for (const Case& c : cases) {
    FakeSound fake;
    FakeSoundOutput output(&fake);
    TestClock clock(1000);
    VornHandle* h = OpenForTest(file_, c.openFlags);
    ASSERT_NE(h, nullptr);
    std::vector<uint8_t> pic((size_t)h->width * h->height * 4, 0);
    for (uint32_t n = 1; n <= 3; n++) {
      if (n == 3) clock.Set(1800);
      ASSERT_EQ(VornDecodeFrame(h), 0u);
      uint32_t late = VornCopyFrame(h, pic.data(), (int32_t)h->width * 4, (int32_t)h->height, 0, 0,
                                    kFormat | c.copyFlags);
      EXPECT_EQ(late, n == 3 ? 1u : 0u) << n;
      EXPECT_EQ(pic, ref[n - 1]) << n;
      VornAdvanceFrame(h);
      clock.Advance(100);
    }
    VornTotals t;
    VornReadTotals(h, &t);
    EXPECT_EQ(t.skippedBlits, 0u);
    VornClose(h);
  }
}

TEST(VornTiming, PauseHoldsFramesAndRestartsTheClock) {
  FakeSound fake;
  FakeSoundOutput output(&fake);
  TestClock clock(1000);
  std::vector<uint8_t> b = ConstantSoundFile(20, 16).Build();
  VornHandle* h = OpenForTest(b);
  ASSERT_NE(h, nullptr);
  Play(h);
  EXPECT_EQ(VornSetPaused(h, 0xFFFFFFFFu), 1u);
  clock.Advance(500);
  EXPECT_EQ(VornTooEarly(h), 1u);  // due long ago, but paused
  EXPECT_EQ(VornSetPaused(h, 0), 0u);
  EXPECT_EQ(VornTooEarly(h), 1u);  // the clock starts over on resume
  clock.Advance(100);
  EXPECT_EQ(VornTooEarly(h), 0u);
  EXPECT_EQ(fake.pauses, (std::vector<int>{1, 0}));
  VornClose(h);
  EXPECT_EQ(fake.pauses, (std::vector<int>{1, 0, 1}));
  EXPECT_EQ(fake.startStops, (std::vector<int>{0}));
  EXPECT_EQ(fake.closes, 1);
}

TEST(VornTiming, SecondDecodeOfAFrameDoesNothing) {
  TestClock clock(1000);
  std::vector<uint8_t> b = PlainFile(3, 25).Build();
  VornHandle* h = OpenForTest(b);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(VornDecodeFrame(h), 0u);
  uint32_t newest = h->newest, entry = h->rings[VORN_RING_TIME][0];
  clock.Advance(10);
  EXPECT_EQ(VornDecodeFrame(h), 0u);
  EXPECT_EQ(h->framesPlayed, 1u);
  EXPECT_EQ(h->newest, newest);
  EXPECT_EQ(h->rings[VORN_RING_TIME][0], entry);
  VornClose(h);
}

TEST(VornTiming, RecentWindowsAndTotals) {
  TestClock clock(1000);
  TestVornFile f = PlainFile(30, 25);
  std::vector<uint8_t> b = f.Build();
  VornHandle* h = OpenForTest(b);
  ASSERT_NE(h, nullptr);
  struct Case {
    uint32_t frame, k, window;
  } cases[] = {{3, 0, 2}, {3, 3, 3}, {3, 9, 2}, {10, 5, 5}, {25, 0, 24}, {28, 0, 24}, {28, 40, 24}};
  uint32_t played = 0;
  for (const Case& c : cases) {
    while (played < c.frame) {
      if (played) {
        VornAdvanceFrame(h);
        clock.Advance(40);
      }
      ASSERT_EQ(VornDecodeFrame(h), 0u);
      played++;
    }
    VornRecent r;
    VornReadRecent(h, &r, c.k);
    EXPECT_EQ(r.frame, c.frame);
    EXPECT_EQ(r.frames, c.window) << c.frame << " " << c.k;
    // Frames 40 ms apart, and one frame duration before the first.
    EXPECT_EQ(r.windowTime, 40 * c.window) << c.frame << " " << c.k;
    uint32_t bytes = 0;
    for (uint32_t n = c.frame - c.window; n < c.frame; n++) bytes += (uint32_t)f.frames[n].size();
    EXPECT_EQ(r.dataRate, bytes * 25 / c.window) << c.frame << " " << c.k;
  }
  VornTotals t;
  VornReadTotals(h, &t);
  uint32_t data = b.size() - 8 - f.FirstFrameOffset();
  EXPECT_EQ(t.framesPlayed, 28u);
  EXPECT_EQ(t.frames, 30u);
  EXPECT_EQ(t.playTime, 27u * 40);
  EXPECT_EQ(t.averageFrameSize, data / 30);
  EXPECT_EQ(t.averageDataRate, data * 25 / 30);
  EXPECT_EQ(t.peakSecondFrame, h->peakSecondFrame + 1);
  VornClose(h);
}

TEST(VornTiming, SlowestFramesAreTheOnesDecoded) {
  TestClock clock(1000);
  std::vector<uint8_t> b = PlainFile(5, 10).Build();
  VornHandle* h = OpenForTest(b);
  ASSERT_NE(h, nullptr);
  // Times from each decode to the next wait; a tie does not displace.
  const uint32_t took[] = {10, 20, 30, 30, 50};
  for (uint32_t n = 1; n <= 4; n++) {
    VornDecodeFrame(h);
    clock.Advance(took[n - 1]);
    VornAdvanceFrame(h);
    VornTooEarly(h);
  }
  VornTotals t;
  VornReadTotals(h, &t);
  EXPECT_EQ(t.slowest, 30u);
  EXPECT_EQ(t.slowestFrame, 3u);
  EXPECT_EQ(t.secondSlowest, 30u);
  EXPECT_EQ(t.secondSlowestFrame, 4u);
  // Time between the end of a decode and the next wait is blit time.
  EXPECT_EQ(t.blitTime, 90u);
  VornClose(h);
}

}  // namespace
