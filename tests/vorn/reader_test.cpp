// The reader: read-ahead ring, direct reads, preload, simulated speed and
// truncated files.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "test_util.h"
#include "vorn/vorn.h"
#include "vorn_file.h"

namespace {

// Frames of uneven even sizes, the first one large.
TestVornFile Frames(std::vector<uint32_t> sizes) {
  TestVornFile f;
  f.padding = 6;
  for (uint32_t i = 0; i < sizes.size(); i++) f.frames.push_back(f.MakeFrame(sizes[i], i + 1));
  f.keys.assign(sizes.size(), false);
  f.keys[0] = true;
  return f;
}

std::string Write(const std::vector<uint8_t>& b) {
  std::string path = TestTempDir() + "/r.vrn";
  EXPECT_TRUE(TestWriteFile(path, b.data(), b.size()));
  return path;
}

VornHandle* OpenWithRing(const std::string& path, int32_t ring, uint32_t flags) {
  VornPresetReadBuffer(ring);
  return VornOpen(path.c_str(), flags | VORN_OPEN_IOSIZE);
}

// Steps through every frame `passes` times and compares the bytes.
void ExpectFrames(VornHandle* h, const TestVornFile& f, int passes) {
  for (int pass = 0; pass < passes; pass++) {
    for (uint32_t n = 1; n <= f.frames.size(); n++) {
      ASSERT_EQ(h->frameNumber, n);
      ASSERT_EQ(h->frameBytes, f.frames[n - 1].size()) << "frame " << n << " pass " << pass;
      ASSERT_EQ(memcmp(h->frame, f.frames[n - 1].data(), h->frameBytes), 0)
          << "frame " << n << " pass " << pass;
      VornAdvanceFrame(h);
    }
  }
  EXPECT_EQ(h->reader.readError, 0);
}

const std::vector<uint32_t> kSizes = {30002, 9000, 12000, 7000, 15010, 8000, 11000, 9500};

TEST(VornReader, EveryWayOfReadingDeliversTheSameFrames) {
  TestVornFile f = Frames(kSizes);
  std::string path = Write(f.Build());
  struct Case {
    const char* what;
    int32_t ring;
    uint32_t flags;
  } cases[] = {
      {"no ring", 0, VORN_OPEN_NOTHREAD},
      {"small ring", 8192, VORN_OPEN_NOTHREAD},
      {"small ring, thread", 8192, 0},
      {"ring not filled at open, thread", 40000, VORN_OPEN_NOFILL},
      {"odd ring request", 12345, VORN_OPEN_NOTHREAD},
      {"preload", 200000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VornHandle* h = OpenWithRing(path, c.ring, c.flags);
    ASSERT_NE(h, nullptr) << VornErrorText();
    EXPECT_EQ(h->reader.ringSize, c.ring == 200000 ? 0u : ((uint32_t)c.ring & ~4095u) + (c.ring % 4096 ? 4096 : 0));
    ExpectFrames(h, f, 2);
    if (c.ring == 0) {
      EXPECT_EQ(h->reader.highestFill, 0u);
    }
    if (c.ring == 200000) {
      EXPECT_NE(h->preloaded, nullptr);
    }
    VornClose(h);
  }
}

TEST(VornReader, PreloadFromNinetyPercent) {
  TestVornFile f = Frames(kSizes);
  std::vector<uint8_t> b = f.Build();
  std::string path = Write(b);
  uint32_t dataSize = (uint32_t)b.size() - 8;
  struct Case {
    int32_t request;
    bool preload;
  } cases[] = {
      {(int32_t)(dataSize * 9 / 10 + 1), true},
      {(int32_t)((dataSize * 9 / 10) & ~4095u) - 4096, false},
  };
  for (const Case& c : cases) {
    VornHandle* h = OpenWithRing(path, c.request, VORN_OPEN_NOTHREAD);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->preloaded != nullptr, c.preload) << c.request;
    EXPECT_EQ((h->flags & VORN_OPEN_PRELOAD) != 0, c.preload);
    uint32_t bytesRead = h->reader.bytesRead;
    ExpectFrames(h, f, 1);
    // Preloaded: nothing more is read during playback.
    if (c.preload) {
      EXPECT_EQ(h->reader.bytesRead, bytesRead);
    }
    VornClose(h);
  }
}

TEST(VornReader, LoopFlushesTheRing) {
  TestVornFile f = Frames(kSizes);
  std::string path = Write(f.Build());
  VornHandle* h = OpenWithRing(path, 16384, VORN_OPEN_NOTHREAD);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->reader.fill, 16384);
  for (uint32_t n = 1; n < f.frames.size(); n++) VornAdvanceFrame(h);
  VornAdvanceFrame(h);  // back to frame 1: read directly after a flush
  EXPECT_EQ(h->frameNumber, 1u);
  EXPECT_EQ(h->reader.fill, 0);
  EXPECT_EQ(h->reader.logicalPos, h->reader.physicalPos);
  while (h->reader.idle(&h->reader) > 0) {
  }
  EXPECT_EQ(h->reader.fill, 16384);
  ExpectFrames(h, f, 1);
  VornClose(h);
}

TEST(VornReader, LastPartialStepIsLeftToTheFrameRead) {
  TestVornFile f = Frames(kSizes);
  std::vector<uint8_t> b = f.Build();
  std::string path = Write(b);
  uint32_t fileSize = (uint32_t)b.size();
  uint32_t afterFirst = f.FirstFrameOffset() + kSizes[0];
  ASSERT_NE((fileSize - afterFirst) % 4096, 0u);
  // A ring larger than the rest of the file, still below the preload size.
  VornHandle* h = OpenWithRing(path, 4096 * 20, VORN_OPEN_NOTHREAD);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->preloaded, nullptr);
  EXPECT_EQ(fileSize - h->reader.physicalPos, (fileSize - afterFirst) % 4096);
  EXPECT_EQ(h->reader.idle(&h->reader), 0);
  ExpectFrames(h, f, 1);
  VornClose(h);
}

TEST(VornReader, TruncatedFileStopsAtTheCut) {
  TestVornFile f = Frames(kSizes);
  std::vector<uint8_t> b = f.Build();
  // Cut inside frame 5.
  uint32_t cut = f.FirstFrameOffset();
  for (int i = 0; i < 4; i++) cut += kSizes[i];
  cut += 100;
  b.resize(cut);
  std::string path = Write(b);
  struct Case {
    const char* what;
    int32_t ring;
    uint32_t flags;
  } cases[] = {
      {"ring, thread", 8192, 0},
      {"ring", 8192, VORN_OPEN_NOTHREAD},
      {"large ring", 4096 * 16, VORN_OPEN_NOTHREAD},
      {"no ring", 0, VORN_OPEN_NOTHREAD},
      {"preload", 1 << 20, VORN_OPEN_NOTHREAD},
      {"memory", -1, VORN_OPEN_MEMORY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VornHandle* h;
    if (c.flags & VORN_OPEN_MEMORY) {
      VornPresetMemorySize(b.size());
      h = VornOpen((const char*)b.data(), c.flags);
    } else {
      h = OpenWithRing(path, c.ring, c.flags);
    }
    ASSERT_NE(h, nullptr) << VornErrorText();
    for (uint32_t n = 1; n <= f.frames.size(); n++) {
      EXPECT_EQ(VornDecodeFrame(h), n < 5 ? 0u : 1u) << "frame " << n;
      VornAdvanceFrame(h);
    }
    EXPECT_EQ(h->readError, 1u);
    VornClose(h);
  }
}

TEST(VornReader, SimulatedSpeedSlowsReading) {
  TestVornFile f = Frames({100000, 100000, 100000});
  std::string path = Write(f.Build());
  uint32_t start = PlatClockMs();
  VornPresetReadSpeed(150000);
  VornPresetReadBuffer(0);
  VornHandle* h = VornOpen(path.c_str(), VORN_OPEN_SIMULATE | VORN_OPEN_IOSIZE | VORN_OPEN_NOTHREAD);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->reader.speed, 150000u);
  VornAdvanceFrame(h);
  VornAdvanceFrame(h);
  EXPECT_EQ(h->reader.readError, 0);
  EXPECT_GE(PlatClockMs() - start, 2000u);
  VornClose(h);
}

}  // namespace
