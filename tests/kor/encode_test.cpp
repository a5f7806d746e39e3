// kor convert IN.y4m OUT.vrn, run as a program: encoding, decoding back,
// luminance-only and alpha input, and the errors it reports.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace {

std::string Kor() { return std::string(KOR_BIN_DIR) + "/kor"; }

int RunKor(const std::string& args) {
  int r = system((Kor() + " " + args + " 2>/dev/null").c_str());
  return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
}

// A small 4:2:0 (or mono) stream with a moving gradient.
std::string Y4m(uint32_t w, uint32_t h, uint32_t frames, const char* colour) {
  std::string s = "YUV4MPEG2 W" + std::to_string(w) + " H" + std::to_string(h) + " F25:1 Ip A1:1 C" + colour + "\n";
  const bool mono = std::string(colour) == "mono";
  const uint32_t cw = (w + 1) / 2, ch = (h + 1) / 2;
  for (uint32_t f = 0; f < frames; f++) {
    s += "FRAME\n";
    for (uint32_t y = 0; y < h; y++)
      for (uint32_t x = 0; x < w; x++) s += (char)(40 + (x * 4 + y * 2 + f * 3) % 160);
    if (!mono)
      for (int p = 0; p < 2; p++)
        for (uint32_t i = 0; i < cw * ch; i++) s += (char)(p ? 100 + i % 40 : 140 - i % 30);
  }
  return s;
}

uint32_t Le32(const std::vector<uint8_t>& f, size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | (uint32_t)f[at + 3] << 24;
}

struct Encode : ::testing::Test {
  std::string dir = TestTempDir();
  std::string Write(const std::string& name, const std::string& data) {
    std::string path = dir + "/" + name;
    EXPECT_TRUE(TestWriteFile(path, data.data(), data.size()));
    return path;
  }
};

TEST_F(Encode, EncodesAndDecodesBack) {
  const std::string src = Y4m(37, 21, 4, "420jpeg");
  const std::string in = Write("in.y4m", src), vrn = dir + "/out.vrn", back = dir + "/back.y4m";
  ASSERT_EQ(RunKor("convert " + in + " " + vrn + " --rate 200000 --key 2 --window 3 --quiet"), 0);
  auto f = TestReadFile(vrn);
  ASSERT_GT(f.size(), 44u);
  EXPECT_EQ(Le32(f, 8), 4u);
  EXPECT_EQ(Le32(f, 20), 37u);
  EXPECT_EQ(Le32(f, 24), 21u);
  ASSERT_EQ(RunKor("convert " + vrn + " " + back), 0);
  auto out = TestReadFile(back);
  ASSERT_EQ(out.size(), src.size());
  // A generous rate keeps the luminance close.
  const size_t header = src.find('\n') + 1 + 6;
  double err = 0;
  for (uint32_t i = 0; i < 37 * 21; i++) err += abs((int)(uint8_t)src[header + i] - (int)out[header + i]);
  EXPECT_LT(err / (37 * 21), 3.0);
}

TEST_F(Encode, MonoInputMakesAGreyFileAndAlphaComesFromASecondStream) {
  const std::string in = Write("m.y4m", Y4m(16, 16, 2, "mono")), vrn = dir + "/m.vrn";
  ASSERT_EQ(RunKor("convert " + in + " " + vrn + " --quiet --fps 30000:1001"), 0);
  auto f = TestReadFile(vrn);
  ASSERT_GT(f.size(), 44u);
  EXPECT_EQ(Le32(f, 36), 0x20000u);
  EXPECT_EQ(Le32(f, 28), 30000u);
  const std::string pic = Write("p.y4m", Y4m(16, 16, 3, "420")), va = dir + "/a.vrn";
  ASSERT_EQ(RunKor("convert " + pic + " " + va + " --alpha " + in + " --scale 4"), 0);
  f = TestReadFile(va);
  EXPECT_EQ(Le32(f, 8), 2u);  // the shorter stream's length
  EXPECT_EQ(Le32(f, 36), 0x40100000u);
}

TEST_F(Encode, ReportsBadInput) {
  EXPECT_EQ(RunKor("convert " + Write("c.y4m", Y4m(8, 8, 1, "444")) + " " + dir + "/x.vrn"), 1);
  EXPECT_EQ(RunKor("convert " + Write("t.y4m", Y4m(8, 8, 2, "420").substr(0, 60)) + " " + dir + "/x.vrn"), 1);
  EXPECT_EQ(RunKor("convert " + Write("n.y4m", "not a stream\n") + " " + dir + "/x.vrn"), 1);
  EXPECT_EQ(RunKor("convert " + dir + "/missing.y4m " + dir + "/x.vrn"), 1);
  EXPECT_EQ(RunKor("convert " + Write("r.y4m", Y4m(8, 8, 1, "420")) + " " + dir + "/x.vrn --rate nope"), 2);
  EXPECT_TRUE(TestReadFile(dir + "/x.vrn").empty());
}

}  // namespace
