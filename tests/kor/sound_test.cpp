// Sound through the kor commands: convert with --sound plays in step with
// the pictures and comes back out as WAV; mix replaces, adds and removes
// tracks; tune writes a piece of music.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "sound_signals.h"
#include "test_util.h"

namespace {

std::string Kor() { return std::string(KOR_BIN_DIR) + "/kor"; }

int RunKor(const std::string& args) {
  int r = system((Kor() + " " + args + " >/dev/null 2>&1").c_str());
  return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
}

uint32_t Le32(const std::vector<uint8_t>& f, size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | (uint32_t)f[at + 3] << 24;
}

std::string Y4m(uint32_t w, uint32_t h, uint32_t frames) {
  std::string s = "YUV4MPEG2 W" + std::to_string(w) + " H" + std::to_string(h) + " F25:1 Ip A1:1 C420jpeg\n";
  for (uint32_t f = 0; f < frames; f++) {
    s += "FRAME\n";
    for (uint32_t i = 0; i < w * h; i++) s += (char)(40 + (i * 3 + f * 5) % 160);
    s += std::string(w * h / 2, (char)128);
  }
  return s;
}

std::vector<uint8_t> WavBytes(uint32_t rate, uint32_t channels, const std::vector<int16_t>& pcm) {
  std::vector<uint8_t> w(44);
  const uint32_t bytes = (uint32_t)pcm.size() * 2;
  auto put = [&](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; i++) w[at + i] = (uint8_t)(v >> (8 * i));
  };
  memcpy(&w[0], "RIFF", 4);
  put(4, 36 + bytes, 4);
  memcpy(&w[8], "WAVEfmt ", 8);
  put(16, 16, 4);
  put(20, 1, 2);
  put(22, channels, 2);
  put(24, rate, 4);
  put(28, rate * channels * 2, 4);
  put(32, channels * 2, 2);
  put(34, 16, 2);
  memcpy(&w[36], "data", 4);
  put(40, bytes, 4);
  w.resize(44 + bytes);
  memcpy(&w[44], pcm.data(), bytes);
  return w;
}

std::vector<int16_t> Samples(const TestWav& w) {
  std::vector<int16_t> s(w.data.size() / 2);
  memcpy(s.data(), w.data.data(), s.size() * 2);
  return s;
}

struct KorSound : ::testing::Test {
  std::string dir = TestTempDir();
  std::string Write(const std::string& name, const void* data, size_t size) {
    std::string path = dir + "/" + name;
    EXPECT_TRUE(TestWriteFile(path, data, size));
    return path;
  }
};

}  // namespace

TEST_F(KorSound, ConvertedSoundPlaysInStepAndComesBack) {
  const uint32_t rate = 22050, frames = 50;  // 2 s at 25 fps
  const std::vector<int16_t> pcm = MakeSound(SOUND_CHORDS, rate, 2, rate * 2);
  const std::vector<uint8_t> wav = WavBytes(rate, 2, pcm);
  const std::string y4m = Y4m(32, 32, frames);
  const std::string in = Write("in.y4m", y4m.data(), y4m.size());
  const std::string snd = Write("in.wav", wav.data(), wav.size());
  const std::string vrn = dir + "/out.vrn", back = dir + "/back.wav";
  ASSERT_EQ(RunKor("convert " + in + " " + vrn + " --sound " + snd + ",0x2a --quiet"), 0);
  const std::vector<uint8_t> f = TestReadFile(vrn);
  ASSERT_GT(f.size(), 100u);
  ASSERT_EQ(Le32(f, 40), 1u);                                // one track
  EXPECT_EQ(Le32(f, 44 + 4), rate | 0xE0000000u);            // 16-bit stereo sound
  EXPECT_EQ(Le32(f, 44 + 8), 42u);                           // its id
  // Frame k's packet brings the sound 0.75 s past frame k's time.
  const uint32_t bps = rate * 4, block = (1024 * 2 - 128) * 2;
  const size_t index = 44 + 12;
  uint64_t done = 0;
  for (uint32_t k = 0; k < frames; k++) {
    const uint32_t at = Le32(f, index + 4 * k) & ~1u;
    const uint32_t n = Le32(f, at);
    done += n ? Le32(f, at + 4) : 0;
    const uint64_t target = std::min<uint64_t>(bps * 2, rate * 2 * 6 / 4 + (uint64_t)bps * k / 25);
    EXPECT_GE(done, target) << k;
    EXPECT_LT(done, target + block) << k;
  }
  // And the WAV that comes back is the source, aligned.
  ASSERT_EQ(RunKor("convert " + vrn + " " + back), 0);
  TestWav w;
  ASSERT_TRUE(TestReadWav(TestReadFile(back), &w));
  EXPECT_EQ(w.rate, rate);
  EXPECT_EQ(w.channels, 2u);
  const std::vector<int16_t> got = Samples(w);
  ASSERT_EQ(got.size(), pcm.size());
  const double snr = SoundSnr(pcm.data(), got.data(), 0, got.size());
  printf("  kor convert round trip, %u Hz stereo: SNR %.1f dB\n", rate, snr);
  EXPECT_GE(snr, 16.0);
}

TEST_F(KorSound, MixReplacesAddsAndRemoves) {
  const std::vector<int16_t> a = MakeSound(SOUND_TONES, 16000, 1, 16000 * 2);
  const std::vector<int16_t> b = MakeSound(SOUND_NOISE_BURSTS, 16000, 1, 16000 * 2);
  const std::vector<uint8_t> wa = WavBytes(16000, 1, a), wb = WavBytes(16000, 1, b);
  const std::string sa = Write("a.wav", wa.data(), wa.size()), sb = Write("b.wav", wb.data(), wb.size());
  const std::string y4m = Y4m(16, 16, 25);
  const std::string in = Write("in.y4m", y4m.data(), y4m.size());
  const std::string vrn = dir + "/v.vrn", out = dir + "/m.vrn", back = dir + "/back.wav";
  ASSERT_EQ(RunKor("convert " + in + " " + vrn + " --sound " + sa + ",5 --quiet"), 0);

  // Replace track 5 by b and add track 6 as a, half a second late.
  ASSERT_EQ(RunKor("mix " + vrn + " " + out + " --track 5=" + sb + " --track 6=" + sa + " --delay -500"), 0);
  std::vector<uint8_t> f = TestReadFile(out);
  ASSERT_EQ(Le32(f, 40), 2u);
  EXPECT_EQ(Le32(f, 44 + 16), 5u);
  EXPECT_EQ(Le32(f, 44 + 20), 6u);
  ASSERT_EQ(RunKor("convert " + out + " " + back + " --track 0"), 0);
  TestWav w;
  ASSERT_TRUE(TestReadWav(TestReadFile(back), &w));
  std::vector<int16_t> want(8000, 0);
  want.insert(want.end(), b.begin(), b.begin() + 8000);  // 25 frames: 1 s
  std::vector<int16_t> got = Samples(w);
  ASSERT_EQ(got.size(), want.size());
  EXPECT_GE(SoundSnr(want.data(), got.data(), 0, got.size()), 9.0);

  // Remove track 5 of that: track 6 stays, alone.
  ASSERT_EQ(RunKor("mix " + out + " " + out + " --remove 5 --quiet"), 0);
  f = TestReadFile(out);
  ASSERT_EQ(Le32(f, 40), 1u);
  EXPECT_EQ(Le32(f, 44 + 8), 6u);

  // Usage errors, help and a missing input.
  EXPECT_EQ(RunKor("mix --help"), 0);
  EXPECT_EQ(RunKor("mix " + vrn + " " + out), 2);
  EXPECT_EQ(RunKor("mix " + vrn + " " + out + " --track x=" + sa), 2);
  EXPECT_EQ(RunKor("mix " + vrn + " " + out + " --rate 0/1"), 2);
  EXPECT_EQ(RunKor("mix " + dir + "/none.vrn " + out + " --remove 1"), 1);
  EXPECT_EQ(RunKor("mix " + vrn + " " + out + " --track 1=" + dir + "/none.wav"), 1);
  EXPECT_EQ(RunKor("convert " + in + " " + vrn + " --sound " + dir + "/none.wav"), 1);
}

TEST_F(KorSound, TuneWritesMusic) {
  const std::string t = dir + "/t.wav";
  ASSERT_EQ(RunKor("tune " + t + " --seconds 1.5 --rate 22050"), 0);
  TestWav w;
  ASSERT_TRUE(TestReadWav(TestReadFile(t), &w));
  EXPECT_EQ(w.rate, 22050u);
  EXPECT_EQ(w.channels, 2u);
  const std::vector<int16_t> s = Samples(w);
  ASSERT_EQ(s.size(), 2u * 33075);
  double power = 0;
  for (int16_t v : s) power += (double)v * v;
  EXPECT_GT(power / s.size(), 1e6);  // not silence
  EXPECT_EQ(RunKor("tune " + t + " --rate 100"), 2);
}
