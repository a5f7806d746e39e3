// kor demo, run as a program headless on a short clip: its report, the file
// it writes and the player's summary.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace {

std::string RunDemo(const std::string& args, int* status) {
  std::string out;
  FILE* p = popen((std::string("env -u DISPLAY -u WAYLAND_DISPLAY ") + KOR_BIN_DIR + "/kor demo " + args + " 2>&1").c_str(),
                  "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int r = pclose(p);
  *status = WIFEXITED(r) ? WEXITSTATUS(r) : -1;
  return out;
}

double After(const std::string& s, const std::string& key) {
  const size_t at = s.find(key);
  return at == std::string::npos ? -1 : atof(s.c_str() + at + key.size());
}

}  // namespace

TEST(Demo, EncodesMeasuresAndPlaysHeadless) {
  const std::string path = TestTempDir() + "/demo.vrn";
  int status = -1;
  const std::string out = RunDemo("--seconds 1 --size 160x120 --rate 40000 --quiet --out " + path, &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Encoded 25 frames"), std::string::npos) << out;
  EXPECT_NE(out.find("music included"), std::string::npos) << out;
  const double size = After(out, "File size: ");
  EXPECT_GT(size, 1000);
  const std::vector<uint8_t> file = TestReadFile(path);
  EXPECT_EQ(size, (double)file.size()) << out;
  ASSERT_GT(file.size(), 44u);
  EXPECT_EQ(file[40], 1) << "one sound track";
  for (const char* plane : {"Y ", "Cb ", "Cr "}) {
    const double db = After(out, std::string(plane));
    EXPECT_GT(db, 25) << plane << out;
    EXPECT_LT(db, 100) << plane << out;
  }
  EXPECT_NE(out.find("No display: playing it headless."), std::string::npos) << out;
  EXPECT_NE(out.find("Total frames played: 25"), std::string::npos) << out;
  EXPECT_EQ(access((path + ".wav").c_str(), F_OK), -1) << "the music's WAV file is removed";
}

// Without music the rate control keeps the data rate near the one asked for.
TEST(Demo, KeepsItsDataRate) {
  const std::string path = TestTempDir() + "/quiet.vrn";
  int status = -1;
  const std::string out =
      RunDemo("--seconds 1 --size 160x120 --rate 40000 --quiet --no-sound --no-play --out " + path, &status);
  EXPECT_EQ(status, 0) << out;
  const double rate = After(out, "data rate: ");
  EXPECT_GT(rate, 40000 * 0.8) << out;
  EXPECT_LT(rate, 40000 * 1.2) << out;
  EXPECT_EQ(out.find("playing"), std::string::npos) << out;
}

TEST(Demo, RejectsBadOptions) {
  int status = -1;
  for (const char* args : {"--seconds 0", "--size 10x10", "--rate x", "--frobnicate"}) {
    RunDemo(args, &status);
    EXPECT_EQ(status, 2) << args;
  }
}
