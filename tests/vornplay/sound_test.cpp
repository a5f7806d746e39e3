// The two sound back ends over the headless device: geometry, priming,
// pre-roll, underruns, gains; and the sound a played file gives the device.
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <mutex>
#include <string>
#include <vector>

#include "test_util.h"
#include "vornplay/player.h"
#include "vornplay/sound.h"

namespace {

std::mutex g_tapLock;
std::vector<uint8_t> g_heard;

void Tap(const uint8_t* data, uint32_t bytes, uint32_t, uint32_t, uint32_t) {
  std::lock_guard<std::mutex> g(g_tapLock);
  g_heard.insert(g_heard.end(), data, data + bytes);
}

std::vector<uint8_t> Heard() {
  std::lock_guard<std::mutex> g(g_tapLock);
  return g_heard;
}

class Sound : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("KOR_HEADLESS", "1", 1);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    g_heard.clear();
    PlatSoundSetTap(Tap);
  }
  void TearDown() override {
    PlatSoundSetTap(nullptr);
    if (out_.close) out_.close(&out_);
  }
  bool Open(VornSoundSystem system, uint32_t rate, uint32_t bits, uint32_t channels) {
    out_ = VornSoundOut{};
    return system(nullptr)(&out_, rate, bits, channels, 0, nullptr) == 1;
  }
  // Writes one segment of a constant byte; returns its size.
  uint32_t Write(uint8_t value, uint32_t bytes = 0) {
    uint8_t* p = nullptr;
    uint32_t n = 0;
    if (!out_.ready(&out_) || !out_.getSegment(&out_, &p, &n)) return 0;
    if (bytes == 0 || bytes > n) bytes = n;
    memset(p, value, bytes);
    out_.commit(&out_, bytes);
    return n;
  }
  VornSoundOut out_ = {};
};

TEST_F(Sound, Geometry) {
  struct Case {
    bool wave;
    uint32_t rate, bits, channels;
    uint32_t source, latency;
  };
  static const Case kCases[] = {
      {false, 22050, 16, 2, 16384, 557},  // 88200 B/s: 16384-byte segments
      {false, 22050, 8, 1, 2 * 4096, 557},
      {false, 44100, 16, 2, 32768, 557},
      {true, 22050, 16, 2, 5536, 0},      // 88200 / 16 = 5512.5, up to 32
      {true, 22050, 8, 2, 2 * 2784, 0},
  };
  for (const Case& c : kCases) {
    ASSERT_TRUE(Open(c.wave ? VornWaveOutOutput : VornDirectSoundOutput, c.rate, c.bits, c.channels));
    EXPECT_EQ(out_.segmentSourceBytes, c.source) << c.rate << " " << c.bits << " " << c.channels;
    EXPECT_EQ(out_.latency, c.latency);
    EXPECT_EQ(out_.rate, c.rate);
    out_.close(&out_);
    out_ = VornSoundOut{};
  }
  EXPECT_EQ(VornDirectSoundSegment(88200), 16384u);
  EXPECT_EQ(VornWaveOutSegment(88200), 5536u);
  EXPECT_EQ(VornWaveOutPreroll(88200), 44128u);
}

TEST_F(Sound, DirectSoundPrimesFourSegmentsThenPlaysInOrder) {
  ASSERT_TRUE(Open(VornDirectSoundOutput, 22050, 16, 2));
  for (int i = 0; i < 4; i++) {
    ASSERT_TRUE(out_.ready(&out_));
    ASSERT_EQ(Write((uint8_t)(0x10 + i)), 16384u);
  }
  EXPECT_TRUE(Heard().empty());
  // The fifth ready starts playing; the segment behind the play position is
  // free only after the first one played.
  EXPECT_FALSE(out_.ready(&out_));
  for (int i = 0; i < 100 && !out_.ready(&out_); i++) PlatSleep(10);
  ASSERT_TRUE(out_.ready(&out_));
  ASSERT_EQ(Write(0x20), 16384u);
  std::vector<uint8_t> h = Heard();
  ASSERT_GE(h.size(), 16384u);
  EXPECT_EQ(h[0], 0x10);
  EXPECT_EQ(h[16383], 0x10);
  EXPECT_EQ(out_.underrun, 0);
  // Starved: the play position reaches unwritten segments, which play
  // silence and raise the underrun flag.
  for (int i = 0; i < 300 && !out_.underrun; i++) PlatSleep(10);
  EXPECT_EQ(out_.underrun, 1);
  h = Heard();
  EXPECT_EQ(h[16384], 0x11);
  EXPECT_EQ(h[4 * 16384], 0x20);
  ASSERT_GE(h.size(), 5 * 16384u + 1);
  EXPECT_EQ(h[5 * 16384], 0x00);
}

TEST_F(Sound, StoppedDirectSoundHoldsItsSegmentsUntilTheStart) {
  ASSERT_TRUE(Open(VornDirectSoundOutput, 22050, 16, 2));
  EXPECT_EQ(out_.startStop(&out_, 0), 0);
  for (int i = 0; i < 4; i++) ASSERT_EQ(Write((uint8_t)(0x50 + i)), 16384u);
  EXPECT_FALSE(out_.ready(&out_));
  PlatSleep(50);
  EXPECT_TRUE(Heard().empty());
  EXPECT_EQ(out_.startStop(&out_, 1), 1);
  out_.ready(&out_);
  for (int i = 0; i < 100 && Heard().empty(); i++) PlatSleep(10);
  std::vector<uint8_t> h = Heard();
  ASSERT_FALSE(h.empty());
  EXPECT_EQ(h[0], 0x50);
}

TEST_F(Sound, WaveOutStartsAfterHalfASecond) {
  ASSERT_TRUE(Open(VornWaveOutOutput, 22050, 16, 2));
  for (int i = 0; i < 7; i++) ASSERT_EQ(Write(0x30), 5536u);
  PlatSleep(100);
  EXPECT_TRUE(Heard().empty());  // 7 x 5536 = 38752 bytes: not yet
  ASSERT_EQ(Write(0x31), 5536u);  // 44288 > 44128: header 0 goes with all of it
  for (int i = 0; i < 100 && Heard().size() < 8 * 5536; i++) PlatSleep(10);
  std::vector<uint8_t> h = Heard();
  ASSERT_GE(h.size(), 8 * 5536u);
  EXPECT_EQ(h[0], 0x30);
  EXPECT_EQ(h[7 * 5536], 0x31);
  // Everything played: the next ready reports the underrun and starts over.
  for (int i = 0; i < 200 && !out_.underrun; i++) {
    out_.ready(&out_);
    PlatSleep(10);
  }
  EXPECT_EQ(out_.underrun, 1);
}

// Sound shorter than the priming or the pre-roll is played all the same: a
// short segment starts the stream.
TEST_F(Sound, ShortSoundStillPlays) {
  for (bool wave : {false, true}) {
    g_heard.clear();
    ASSERT_TRUE(Open(wave ? VornWaveOutOutput : VornDirectSoundOutput, 22050, 16, 2));
    ASSERT_GT(Write(0x40), 0u);
    ASSERT_GT(Write(0x41, 1000), 0u);
    if (!wave) out_.ready(&out_);  // the looping buffer starts playing in ready
    uint32_t seg = wave ? 5536 : 16384;
    for (int i = 0; i < 100 && Heard().size() < seg + 1000; i++) PlatSleep(10);
    std::vector<uint8_t> h = Heard();
    ASSERT_GE(h.size(), seg + 1000u) << wave;
    EXPECT_EQ(h[0], 0x40) << wave;
    EXPECT_EQ(h[seg], 0x41) << wave;
    EXPECT_EQ(h[seg + 999], 0x41) << wave;
    out_.close(&out_);
    out_ = VornSoundOut{};
  }
}

TEST_F(Sound, PausedWaveOutTakesNothing) {
  ASSERT_TRUE(Open(VornWaveOutOutput, 8000, 8, 1));
  out_.pause(&out_, 1);
  EXPECT_FALSE(out_.ready(&out_));
  out_.pause(&out_, 0);
  EXPECT_TRUE(out_.ready(&out_));
}

TEST_F(Sound, DirectSoundGains) {
  struct Case {
    uint32_t volume, pan, left, right;
  };
  static const Case kCases[] = {
      {32767, 32767, 65536, 65536},  // full, centre (within +-24 hundredths)
      {0, 32767, 0, 0},              // T[0]: silent
      {32767, 0, 65536, 0},          // hard left: the right one is silent
      {32767, 65536, 0, 65536},
  };
  for (const Case& c : kCases) {
    uint32_t l, r;
    VornDirectSoundGains(c.volume, c.pan, &l, &r);
    EXPECT_EQ(l, c.left) << c.volume << " " << c.pan;
    EXPECT_EQ(r, c.right) << c.volume << " " << c.pan;
  }
  for (int i = 1; i < 128; i++)
    EXPECT_EQ(kVornAttenuation[i], (int)lround(2000 * log10(i / 127.0))) << i;
}

// ---------------------------------------------------------------- a played file
// PCM of a WAV file's data chunk.
std::vector<int16_t> WavSamples(const std::string& path) {
  std::vector<unsigned char> f = TestReadFile(path);
  std::vector<int16_t> s;
  for (size_t at = 12; at + 8 <= f.size();) {
    uint32_t n = f[at + 4] | f[at + 5] << 8 | f[at + 6] << 16 | (uint32_t)f[at + 7] << 24;
    if (!memcmp(&f[at], "data", 4)) {
      for (size_t i = at + 8; i + 1 < at + 8 + n && i + 1 < f.size(); i += 2) s.push_back((int16_t)(f[i] | f[i + 1] << 8));
      break;
    }
    at += 8 + n + (n & 1);
  }
  return s;
}

TEST_F(Sound, PlayedFileReachesTheDevice) {
  std::string v = TestVectorsDir();
  if (v.empty()) GTEST_SKIP();
  for (const char* sw : {"", " /Z"}) {
    g_heard.clear();
    PlatScriptSet("");
    ASSERT_EQ(VornPlayRun("", (v + "/vorn/large-i-320x240.vrn" + sw).c_str()), 0);
    std::vector<int16_t> want = WavSamples(v + "/vorn/large-i-320x240.wav");
    std::vector<uint8_t> h = Heard();
    ASSERT_FALSE(want.empty());
    // Skip silence the device played before the sound (16-bit stereo).
    size_t first = 0;
    while (first + 1 < h.size() && h[first] == 0 && h[first + 1] == 0) first += 2;
    size_t firstWant = 0;
    while (firstWant < want.size() && want[firstWant] == 0) firstWant++;
    ASSERT_LT(firstWant, want.size());
    // The whole file lies within the last three quarters of a second, where
    // the ring (23040 bytes, smaller than a 32768-byte looping segment) is
    // sent as it comes, so gaps follow; the first ring's worth is the track
    // from its start.
    ASSERT_GE(h.size(), first + 23040) << sw;
    size_t n = 11520;
    if (n > want.size() - firstWant) n = want.size() - firstWant;
    int bad = 0;
    for (size_t i = firstWant; i < firstWant + n; i++) {
      int16_t got = (int16_t)(h[first + 2 * (i - firstWant)] | h[first + 2 * (i - firstWant) + 1] << 8);
      bad += abs(got - want[i]) > 2;
    }
    EXPECT_EQ(bad, 0) << sw;
  }
  PlatScriptSet(nullptr);
}

}  // namespace
