// SFile: WAV, raw and Vorn sources, rate, channel and sample-size
// conversion, ranges, rewinding, the switches and hostile WAV files.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "korutil/korutil.h"
#include "test_util.h"

namespace {

std::vector<std::string> g_messages;
int32_t Collect(const char* text, int32_t level) {
  g_messages.push_back(std::to_string(level) + " " + text);
  return 0;
}

void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back((uint8_t)x);
  v.push_back((uint8_t)(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

// A WAV file; fmtSize / dataSize override the stated chunk sizes.
std::vector<uint8_t> Wav(uint32_t rate, uint32_t channels, uint32_t bits, const std::vector<uint8_t>& data,
                         uint32_t tag = 1, uint32_t align = 0, int64_t dataSize = -1) {
  std::vector<uint8_t> w = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  w.insert(w.end(), {'L', 'I', 'S', 'T'});  // a chunk to walk over (odd size, padded)
  Put32(w, 3);
  w.insert(w.end(), {'a', 'b', 'c', 0});
  w.insert(w.end(), {'f', 'm', 't', ' '});
  Put32(w, 16);
  Put16(w, tag);
  Put16(w, channels);
  Put32(w, rate);
  Put32(w, rate * channels * bits / 8);
  Put16(w, align ? align : channels * bits / 8);
  Put16(w, bits);
  w.insert(w.end(), {'d', 'a', 't', 'a'});
  Put32(w, dataSize < 0 ? (uint32_t)data.size() : (uint32_t)dataSize);
  w.insert(w.end(), data.begin(), data.end());
  const uint32_t riff = (uint32_t)w.size() - 8;
  memcpy(&w[4], &riff, 4);
  return w;
}

std::vector<uint8_t> Ramp16(uint32_t samples, uint32_t seed = 1) {
  std::vector<uint8_t> d;
  uint32_t x = seed;
  for (uint32_t i = 0; i < samples; i++) {
    x = x * 1103515245u + 12345u;
    Put16(d, (uint32_t)(int16_t)((x >> 16) - 32768));
  }
  return d;
}

int16_t S16(const std::vector<uint8_t>& d, size_t i) { return (int16_t)(d[2 * i] | d[2 * i + 1] << 8); }

std::vector<uint8_t> ReadAll(SFile* s, int32_t chunk = 1000) {
  std::vector<uint8_t> out, buf((size_t)chunk);
  for (;;) {
    int32_t n = SFileGet(s, buf.data(), chunk);
    out.insert(out.end(), buf.begin(), buf.begin() + n);
    if (n < chunk - (int32_t)(chunk % (s->outBlock ? s->outBlock : 1))) break;
  }
  return out;
}

class SFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir = TestTempDir();
    g_messages.clear();
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string p = dir + "/" + name;
    EXPECT_TRUE(TestWriteFile(p, bytes.data(), bytes.size()));
    return p;
  }
  std::string dir;
};

}  // namespace

TEST_F(SFileTest, StereoSixteenBitReadAsHalfRateEightBitMono) {
  const std::vector<uint8_t> data = Ramp16(2 * 22050);
  const std::string p = Write("a.wav", Wav(22050, 2, 16, data));
  SFile* s = SFileOpen(p.c_str(), 11025, 8, 1, 0, 0, 0, 0, 0, Collect);
  ASSERT_TRUE(s);
  EXPECT_STREQ(s->type, "Wave");
  std::vector<uint8_t> out = ReadAll(s, 999);
  ASSERT_EQ(out.size(), 11025u);
  for (size_t i = 0; i < out.size(); i++) {
    const int32_t l = (S16(data, 4 * i) + S16(data, 4 * i + 2)) / 2;
    const int32_t r = (S16(data, 4 * i + 1) + S16(data, 4 * i + 3)) / 2;
    const int32_t m = (l + r) / 2;
    ASSERT_EQ(out[i], (uint8_t)((m >> 8) + 128)) << i;
  }
  ASSERT_GE(g_messages.size(), 2u);
  EXPECT_EQ(g_messages[0], "1 Processing sound data (0%)...");
  EXPECT_EQ(g_messages[1].substr(0, 2), "0 ");
  SFileClose(s);
}

TEST_F(SFileTest, HalfRateReadAtDoubleRateInterpolates) {
  const std::vector<uint8_t> data = Ramp16(11025);
  const std::string p = Write("b.wav", Wav(11025, 1, 16, data));
  SFile* s = SFileOpen(p.c_str(), 22050, 0, 0, 0, 0, 0, 0, 0, nullptr);
  ASSERT_TRUE(s);
  std::vector<uint8_t> out = ReadAll(s);
  ASSERT_EQ(out.size(), 2u * 2 * 11025);
  for (size_t i = 0; i + 1 < 11025; i++) {
    ASSERT_EQ(S16(out, 2 * i), S16(data, i)) << i;
    const int32_t half = (S16(data, i) + S16(data, i + 1)) / 2;
    ASSERT_NEAR(S16(out, 2 * i + 1), half, 1) << i;
  }
  // Eight-bit input widened to 16 bits and stereo.
  const std::string q = Write("c.wav", Wav(8000, 1, 8, {0, 128, 255, 64}));
  SFile* t = SFileOpen(q.c_str(), 0, 16, 2, 0, 0, 0, 0, 0, nullptr);
  ASSERT_TRUE(t);
  std::vector<uint8_t> wide = ReadAll(t);
  ASSERT_EQ(wide.size(), 16u);
  const int16_t want[4] = {-32768, 0, 32512, -16384};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(S16(wide, 2 * i), want[i]);
    EXPECT_EQ(S16(wide, 2 * i + 1), want[i]);
  }
  SFileClose(t);
  SFileClose(s);
}

TEST_F(SFileTest, RangeAndResetDeliverTheSameBytes) {
  const std::vector<uint8_t> data = Ramp16(44100 * 4, 5);
  const std::string p = Write("r.wav", Wav(44100, 1, 16, data));
  // Negative values are milliseconds too for a WAV file.
  for (int32_t sign : {1, -1}) {
    SFile* s = SFileOpen(p.c_str(), 0, 0, 0, 1000 * sign, 3000 * sign, 0, 0, 0, nullptr);
    ASSERT_TRUE(s);
    for (int pass = 0; pass < 2; pass++) {
      std::vector<uint8_t> out = ReadAll(s, 4096);
      ASSERT_EQ(out.size(), 176400u);
      EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin() + 88200)) << pass;
      SFileReset(s);
    }
    SFileClose(s);
  }
  // A start past the end delivers nothing; an end before the start is no end.
  SFile* s = SFileOpen(p.c_str(), 0, 0, 0, 9000, 0, 0, 0, 0, nullptr);
  ASSERT_TRUE(s);
  EXPECT_EQ(ReadAll(s).size(), 0u);
  SFileClose(s);
  s = SFileOpen(p.c_str(), 0, 0, 0, 3000, 1000, 0, 0, 0, nullptr);
  ASSERT_TRUE(s);
  EXPECT_EQ(ReadAll(s).size(), data.size() - 264600);
  SFileClose(s);
}

TEST_F(SFileTest, RawSoundFromTheSwitches) {
  char line[] = "in.raw /Y4 /K3 /R22050 /S0";
  int32_t rate = -1, bits = -1, channels = -1, start = -1, end = -1, track = -1, flags = -1, offset = -1;
  SFileCommandLine(line, &rate, &bits, &channels, &start, &end, &track, &flags, &offset);
  EXPECT_EQ(flags, 88203);
  EXPECT_EQ(offset, 3);
  EXPECT_EQ(rate, 22050);
  EXPECT_EQ(bits, 0);
  EXPECT_EQ(end, 0);
  EXPECT_STREQ(Trim(line), "in.raw");
  char none[] = "x /Y6 /D8000";
  SFileCommandLine(none, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &flags, &offset);
  EXPECT_EQ(flags, 0);
  EXPECT_EQ(offset, 0);

  std::vector<uint8_t> bytes = {9, 9, 9};
  const std::vector<uint8_t> data = Ramp16(2000);
  bytes.insert(bytes.end(), data.begin(), data.end());
  bytes.push_back(7);  // a partial block at the end is left out
  const std::string p = Write("in.raw", bytes);
  SFile* s = SFileOpen(p.c_str(), 0, 0, 0, 0, 0, 0, 88203, 3, nullptr);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->inRate, 11025u);
  EXPECT_EQ(s->inChannels, 2u);
  EXPECT_STREQ(s->type, "");
  EXPECT_EQ(ReadAll(s), data);
  SFileClose(s);
}

TEST_F(SFileTest, HostileWavFilesGiveClearErrors) {
  const std::vector<uint8_t> pcm = Ramp16(100);
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    const char* message;  // null: opens, with `bytes` of sound
    uint32_t bytes;
  };
  std::vector<uint8_t> noData = Wav(8000, 1, 16, {});
  noData.resize(noData.size() - 8);
  std::vector<uint8_t> hugeFmt = Wav(8000, 1, 16, pcm);
  hugeFmt[28] = hugeFmt[29] = hugeFmt[30] = hugeFmt[31] = 0xFF;  // fmt size
  std::vector<uint8_t> shortFmt(hugeFmt.begin(), hugeFmt.begin() + 40);
  shortFmt[28] = 16;
  shortFmt[29] = shortFmt[30] = shortFmt[31] = 0;
  std::vector<uint8_t> listPastEnd = Wav(8000, 1, 16, pcm);
  listPastEnd[16] = listPastEnd[17] = listPastEnd[18] = 0xFF;
  const Case cases[] = {
      {"data size past the end", Wav(8000, 1, 16, pcm, 1, 0, 0x7FFFFFF0), nullptr, 200},
      {"odd block alignment", Wav(8000, 1, 16, pcm, 1, 3), nullptr, 200},
      {"float samples", Wav(8000, 1, 32, pcm, 3), "is not PCM sound (format 3)", 0},
      {"zero channels", Wav(8000, 0, 16, pcm), "has 0 channels", 0},
      {"six channels", Wav(8000, 6, 16, pcm), "has 6 channels", 0},
      {"24-bit", Wav(8000, 1, 24, pcm), "has 24-bit samples", 0},
      {"rate 0", Wav(0, 1, 16, pcm), "unusable sample rate (0)", 0},
      {"absurd rate", Wav(0xFFFFFFFF, 2, 16, pcm), "unusable sample rate (4294967295)", 0},
      {"no data chunk", noData, "has no sound data", 0},
      {"format chunk past the end", hugeFmt, "damaged format chunk", 0},
      {"cut in the format chunk", shortFmt, "damaged format chunk", 0},
      {"first chunk past the end", listPastEnd, "has no format chunk", 0},
  };
  for (const Case& c : cases) {
    g_messages.clear();
    const std::string p = Write("h.wav", c.file);
    SFile* s = SFileOpen(p.c_str(), 0, 0, 0, 0, 0, 0, 0, 0, Collect);
    if (!c.message) {
      ASSERT_TRUE(s) << c.what;
      EXPECT_EQ(ReadAll(s).size(), c.bytes) << c.what;
      SFileClose(s);
      continue;
    }
    EXPECT_FALSE(s) << c.what;
    ASSERT_EQ(g_messages.size(), 1u) << c.what;
    EXPECT_NE(g_messages[0].find(c.message), std::string::npos) << c.what << ": " << g_messages[0];
    EXPECT_EQ(g_messages[0][0], '2');
  }
  g_messages.clear();
  EXPECT_FALSE(SFileOpen((dir + "/missing").c_str(), 0, 0, 0, 0, 0, 0, 0, 0, Collect));
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0], "2 Error opening the audio input file.");
}

TEST_F(SFileTest, VornTrackMatchesTheDecodedVector) {
  const std::string v = TestVectorsDir();
  if (v.empty()) GTEST_SKIP() << "no conformance vectors";
  TestWav w;
  ASSERT_TRUE(TestReadWav(TestReadFile(v + "/vorn/audio-i-39.wav"), &w));
  const std::string name = v + "/vorn/audio-i-39.vrn";
  SFile* s = SFileOpen(name.c_str(), 0, 0, 0, 0, 0, 0, 0, 0, Collect);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->kind, SFILE_VORN);
  EXPECT_EQ(s->inRate, w.rate);
  EXPECT_EQ(s->inChannels, w.channels);
  std::vector<uint8_t> out = ReadAll(s, 4000);
  const size_t n = std::min(out.size(), w.data.size()) / 2;
  ASSERT_GT(n, 1000u);
  for (size_t i = 0; i < n; i++) ASSERT_NEAR(S16(out, i), S16(w.data, i), 2) << i;
  // From the second frame on: one frame period later in the same sound.
  // (whole milliseconds, whole sample frames).
  const uint32_t skip = (uint32_t)((uint64_t)w.rate * (s->framePeriod10us / 100) / 1000) * w.channels;
  SFileClose(s);
  s = SFileOpen(name.c_str(), 0, 0, 0, -2, 0, 0, 0, 0, nullptr);
  ASSERT_TRUE(s);
  std::vector<uint8_t> later = ReadAll(s, 4000);
  ASSERT_GT(later.size(), 200u);
  for (size_t i = 0; i < 100; i++) ASSERT_NEAR(S16(later, i), S16(w.data, skip + i), 2) << i;
  SFileClose(s);
  g_messages.clear();
  EXPECT_FALSE(SFileOpen(name.c_str(), 0, 0, 0, 0, 0, 9, 0, 0, Collect));
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0], "2 No sound found in the Vorn file.");
}
