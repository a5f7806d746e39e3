// The decoder's side of the sound output: the ring written by
// VornDecodeFrame and drained by VornFeedSound into the back end, 8-bit
// output, the end of the sound, seeking back, underruns, and the vectors'
// sound arriving intact (also at twice the frame rate).
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "playback_util.h"
#include "test_util.h"

namespace {

uint32_t Fill(const VornHandle* h) { return (uint32_t)h->soundFill; }

int16_t Sample(const std::vector<uint8_t>& d, size_t i) {
  return (int16_t)(d[2 * i] | d[2 * i + 1] << 8);
}

// 16-bit sound: whether every sample from `from` (bytes) on is `level`.
bool AllSamples(const std::vector<uint8_t>& d, size_t from, int16_t level) {
  for (size_t i = from / 2; i < d.size() / 2; i++)
    if (Sample(d, i) != level) return false;
  return true;
}

TEST(VornSoundOut, SegmentsTakeTheirSourceBytes) {
  struct Case {
    uint32_t bits, segmentBytes;
    uint8_t byte0, byte1;  // every output sample
  } cases[] = {
      {16, 960, kSoundLevel & 0xFF, kSoundLevel >> 8},
      {8, 480, 128 + (kSoundLevel >> 8), 128 + (kSoundLevel >> 8)},
  };
  for (const Case& c : cases) {
    FakeSound fake;
    fake.segmentBytes = c.segmentBytes;
    FakeSoundOutput output(&fake);
    std::vector<uint8_t> b = ConstantSoundFile(20, c.bits).Build();
    VornHandle* h = OpenForTest(b);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(fake.bits, c.bits);
    EXPECT_EQ(h->sound.segmentSourceBytes, 960u);
    // One block (1920 bytes) a frame: segments leave at most one in the ring.
    ASSERT_EQ(VornDecodeFrame(h), 0u);
    EXPECT_EQ(fake.commits, std::vector<uint32_t>(1, c.segmentBytes)) << c.bits;
    EXPECT_EQ(Fill(h), 960u);
    VornAdvanceFrame(h);
    ASSERT_EQ(VornDecodeFrame(h), 0u);
    EXPECT_EQ(fake.commits, std::vector<uint32_t>(3, c.segmentBytes)) << c.bits;
    EXPECT_EQ(Fill(h), 960u);
    for (size_t i = 0; i < fake.data.size(); i++)
      ASSERT_EQ(fake.data[i], i % 2 ? c.byte1 : c.byte0) << c.bits << " " << i;
    VornClose(h);
  }
}

TEST(VornSoundOut, EndOfTheSoundSendsThePartialSegment) {
  FakeSound fake;
  fake.segmentBytes = 1500;
  FakeSoundOutput output(&fake);
  std::vector<uint8_t> b = ConstantSoundFile(20, 16).Build();
  VornHandle* h = OpenForTest(b);
  ASSERT_NE(h, nullptr);
  // The last three quarters of a second at 10 frames per second.
  ASSERT_EQ(h->soundEndFrame, 13u);
  for (uint32_t n = 1; n <= 20; n++) {
    ASSERT_EQ(VornDecodeFrame(h), 0u);
    if (n <= 13) {
      EXPECT_EQ(fake.commits, std::vector<uint32_t>(n * kBlockPcmBytes / 1500, 1500)) << n;
      EXPECT_EQ(Fill(h), n * kBlockPcmBytes % 1500) << n;
    }
    if (n < 20) VornAdvanceFrame(h);
  }
  EXPECT_EQ(Fill(h), 0u);
  EXPECT_EQ(fake.data.size(), 20u * kBlockPcmBytes);
  EXPECT_TRUE(AllSamples(fake.data, 0, kSoundLevel));
  EXPECT_LT(*std::min_element(fake.commits.begin(), fake.commits.end()), 1500u);
  VornClose(h);
}

// A track whose packets are smaller than the back end's segments still
// plays from the start, not only once the end of the sound has passed.
TEST(VornSoundOut, SmallPacketsFillSegmentsLargerThanThem) {
  FakeSound fake;
  fake.segmentBytes = 4000;
  FakeSoundOutput output(&fake);
  std::vector<uint8_t> b = ConstantSoundFile(20, 16, 10, 1).Build();
  VornHandle* h = OpenForTest(b);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->soundEndFrame, 13u);
  for (uint32_t n = 1; n <= 3; n++) {
    ASSERT_EQ(VornDecodeFrame(h), 0u);
    VornAdvanceFrame(h);
  }
  EXPECT_EQ(fake.commits, std::vector<uint32_t>(1, 4000u));
  EXPECT_TRUE(AllSamples(fake.data, 0, kSoundLevel));
  VornClose(h);
}

TEST(VornSoundOut, SeekingToFrameOneEmptiesTheRing) {
  for (uint32_t from : {3u, 20u}) {
    FakeSound fake;
    fake.budget = 0;  // nothing leaves the ring
    FakeSoundOutput output(&fake);
    TestClock clock(1000);
    std::vector<uint8_t> b = ConstantSoundFile(20, 16).Build();
    VornHandle* h = OpenForTest(b);
    ASSERT_NE(h, nullptr);
    for (uint32_t n = 1; n <= from; n++) {
      ASSERT_EQ(VornDecodeFrame(h), 0u);
      VornAdvanceFrame(h);
    }
    // Past the last frame the advance went to frame 1; else seek there.
    if (from < 20) {
      EXPECT_GT(Fill(h), 0u);
      VornSeekFrame(h, 1);
    }
    EXPECT_EQ(h->frameNumber, 1u);
    EXPECT_EQ(Fill(h), 0u) << from;
    EXPECT_EQ(h->soundRead, h->soundRing);
    EXPECT_EQ(fake.startStops, (std::vector<int>{0, 1})) << from;
    EXPECT_EQ(h->clockStart, 0u);
    EXPECT_EQ(h->soundSkips, 0u);
    VornClose(h);
  }
}

TEST(VornSoundOut, UnderrunInMidFilePadsWithTheStartUpFill) {
  FakeSound fake;
  fake.budget = 0;
  fake.latency = 650;
  FakeSoundOutput output(&fake);
  TestClock clock(1000);
  std::vector<uint8_t> b = ConstantSoundFile(20, 16).Build();
  VornHandle* h = OpenForTest(b);
  ASSERT_NE(h, nullptr);
  // 100 ms of 22050 Hz 16-bit mono, in whole 4-byte units.
  ASSERT_EQ(h->soundStartFill, 4408u);
  ASSERT_EQ(VornDecodeFrame(h), 0u);
  // On frame 1 an underrun is only cleared.
  PlatAtomicStore(&h->sound.underrun, 1);
  fake.budget = 1;
  VornFeedSound(h);
  EXPECT_EQ(h->soundSkips, 0u);
  EXPECT_EQ(h->sound.underrun, 0);
  EXPECT_EQ(Fill(h), 960u);
  VornAdvanceFrame(h);
  ASSERT_EQ(VornDecodeFrame(h), 0u);  // frame 2
  ASSERT_EQ(Fill(h), 2880u);
  // The ring is padded to 4408 bytes in front of the sound; the next repair
  // waits 750 ms.
  struct Step {
    uint32_t wait;     // ms before the service
    uint32_t skips;    // after it
    uint32_t silence;  // zero bytes at the start of the segment sent
  } steps[] = {{0, 1, 960}, {700, 1, 4408 - 2880 - 960}, {51, 2, 960}};
  for (const Step& s : steps) {
    clock.Advance(s.wait);
    h->clockStart = 5;
    size_t at = fake.data.size();
    uint32_t skips = h->soundSkips;
    PlatAtomicStore(&h->sound.underrun, 1);
    fake.budget = 1;
    VornFeedSound(h);
    EXPECT_EQ(h->soundSkips, s.skips) << s.wait;
    EXPECT_EQ(h->clockStart, s.skips > skips ? 0u : 5u) << s.wait;
    ASSERT_EQ(fake.data.size(), at + 960);
    for (size_t i = 0; i < 960; i++)
      ASSERT_EQ(fake.data[at + i], i < s.silence ? 0 : i % 2 ? kSoundLevel >> 8 : kSoundLevel & 0xFF)
          << s.wait << " " << i;
  }
  VornClose(h);
}

// A late copy that finds an underrun restarts the stream with the start-up
// fill of silence; the sound held before is dropped.
TEST(VornSoundOut, LateCopyRepairsAnUnderrun) {
  FakeSound fake;
  fake.budget = 0;
  fake.latency = 650;
  FakeSoundOutput output(&fake);
  TestClock clock(1000);
  std::vector<uint8_t> b = ConstantSoundFile(20, 16).Build();
  VornHandle* h = OpenForTest(b);
  ASSERT_NE(h, nullptr);
  uint8_t pixels[16 * 16 * 4];
  for (uint32_t n = 1; n <= 3; n++) {
    if (n == 3) {
      clock.Set(1800);
      PlatAtomicStore(&h->sound.underrun, 1);
    }
    ASSERT_EQ(VornDecodeFrame(h), 0u);
    EXPECT_EQ(VornCopyFrame(h, pixels, 64, 16, 0, 0, 4), n == 3 ? 1u : 0u);
    VornAdvanceFrame(h);
    clock.Advance(100);
  }
  EXPECT_EQ(fake.startStops, (std::vector<int>{0, 1}));
  EXPECT_EQ(h->soundSkips, 1u);
  EXPECT_EQ(h->sound.underrun, 0);
  EXPECT_EQ(h->clockStart, 0u);
  ASSERT_EQ(Fill(h), h->soundStartFill);
  for (uint32_t i = 0; i < h->soundStartFill; i++) {
    uint32_t at = (uint32_t)(h->soundRead - h->soundRing + i) % h->soundRingSize;
    ASSERT_EQ(h->soundRing[at], 0) << i;
  }
  VornClose(h);
}

// A device playing at its byte rate by the clock, serviced every 10 ms:
// a stall of 700 ms lets it run dry; the repair restarts the clock, so that
// the picture after it waits a frame duration for the sound.
TEST(VornSoundOut, RealTimeDeviceRunningDryRestartsTheClock) {
  FakeSound fake;
  fake.realTime = true;
  fake.latency = 250;
  FakeSoundOutput output(&fake);
  TestClock clock(1000);
  // 23 frames per second of 1920 bytes: about the device's 44100 bytes.
  std::vector<uint8_t> b = ConstantSoundFile(60, 16, 23, 40).Build();
  VornHandle* h = OpenForTest(b);
  ASSERT_NE(h, nullptr);
  uint8_t pixels[16 * 16 * 4];
  auto step = [&]() {
    if (!VornTooEarly(h)) {
      EXPECT_EQ(VornDecodeFrame(h), 0u);
      VornCopyFrame(h, pixels, 64, 16, 0, 0, 4);
      VornAdvanceFrame(h);
    }
    VornFeedSound(h);
    clock.Advance(10);
  };
  for (int i = 0; i < 60; i++) step();
  EXPECT_EQ(h->soundSkips, 0u);
  EXPECT_GT(fake.data.size(), 20000u);
  uint32_t frame = h->frameNumber;
  clock.Advance(700);
  step();  // the late frame is decoded; its sound finds the device dry
  EXPECT_EQ(h->soundSkips, 1u);
  EXPECT_EQ(h->frameNumber, frame + 1);
  for (int i = 0; i < 4; i++) step();
  EXPECT_EQ(h->frameNumber, frame + 1);  // 40 ms after the repair
  step();
  EXPECT_EQ(h->frameNumber, frame + 2);
  VornClose(h);
}

// Track 0 through VornDecodeFrame, the ring and the fake back end, against
// the vectors' WAV files; 8-bit tracks arrive as 8-bit samples.
std::vector<std::string> SoundVectors() {
  std::vector<std::string> names;
  std::string dir = TestVectorsDir();
  if (dir.empty()) return names;
  for (const char* n :
       {"all-f-00", "all-i-03", "audio-f-36", "audio-i-39", "bundles-g-21", "coef-h-30",
        "container-g-45", "extreme-h-42", "intra-h-06", "large-i-320x240", "motion-g-09",
        "raw-f-24", "raw-i-27", "residue-g-33", "runs-f-12", "runs-i-15", "scaled-h-18"})
    names.push_back(dir + "/vorn/" + n);
  return names;
}

// Plays every frame; rateFactor scales the frame rate of the open.
void CheckVector(const std::string& base, uint32_t rateFactor) {
  SCOPED_TRACE(base + " x" + std::to_string(rateFactor));
  std::vector<uint8_t> vrn = TestReadFile(base + ".vrn");
  TestWav wav;
  ASSERT_TRUE(TestReadWav(TestReadFile(base + ".wav"), &wav));
  FakeSound fake;
  fake.segmentBytes = 64;
  FakeSoundOutput output(&fake);
  uint32_t flags = 0;
  if (rateFactor != 1) {
    VornPresetFrameRate(rateFactor * VornLe32(&vrn[28]), VornLe32(&vrn[32]));
    flags = VORN_OPEN_RATE;
  }
  VornHandle* h = OpenForTest(vrn, flags);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->soundTrack, 0);
  EXPECT_EQ(fake.rate, wav.rate * rateFactor);
  EXPECT_EQ(fake.channels, wav.channels);
  for (uint32_t n = 1; n <= h->frames; n++) {
    ASSERT_EQ(VornDecodeFrame(h), 0u);
    if (n < h->frames) VornAdvanceFrame(h);
  }
  VornFeedSound(h);
  EXPECT_EQ(Fill(h), 0u);
  size_t samples = wav.data.size() / 2;
  ASSERT_EQ(fake.data.size(), fake.bits == 8 ? samples : 2 * samples);
  size_t bad = 0;
  for (size_t i = 0; i < samples; i++) {
    int want = Sample(wav.data, i);
    int got = fake.bits == 8 ? fake.data[i] : Sample(fake.data, i);
    int diff = fake.bits == 8 ? abs(got - ((want >> 8) + 128)) : abs(got - want);
    if (diff > (fake.bits == 8 ? 1 : 2) && !bad++) ADD_FAILURE() << "sample " << i << ": " << got;
  }
  EXPECT_EQ(bad, 0u);
  VornClose(h);
}

TEST(VornSoundOut, VectorsSoundArrivesIntact) {
  std::vector<std::string> names = SoundVectors();
  if (names.empty()) GTEST_SKIP() << "no vectors";
  for (const std::string& n : names) CheckVector(n, 1);
}

// A changed frame rate changes the rate the back end plays at, not the
// decoding: the samples are the same.
TEST(VornSoundOut, TwiceTheFrameRateDecodesTheSameSamples) {
  std::vector<std::string> names = SoundVectors();
  if (names.empty()) GTEST_SKIP() << "no vectors";
  for (const std::string& n : names)
    if (n.find("large-i") != std::string::npos || n.find("runs-f") != std::string::npos)
      CheckVector(n, 2);
}

}  // namespace
