// kor convert to WAV: the vectors' sound tracks, track choice and errors.
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace {

// Runs kor with the arguments; returns its exit code and its error output.
int Kor(const std::string& args, std::string* errors) {
  std::string dir = TestTempDir();
  std::string cmd = std::string(KOR_BIN_DIR) + "/kor " + args + " 2>" + dir + "/err";
  int rc = system(cmd.c_str());
  std::vector<unsigned char> e = TestReadFile(dir + "/err");
  errors->assign(e.begin(), e.end());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

int16_t Sample(const std::vector<unsigned char>& d, size_t i) {
  return (int16_t)(d[2 * i] | d[2 * i + 1] << 8);
}

class KorConvertWav : public ::testing::Test {
 protected:
  void SetUp() override {
    vectors_ = TestVectorsDir();
    if (vectors_.empty()) GTEST_SKIP() << "no vectors";
    vectors_ += "/vorn/";
    out_ = TestTempDir() + "/out.wav";
  }
  std::string vectors_, out_;
};

TEST_F(KorConvertWav, TrackZeroMatchesTheVectors) {
  // 16- and 8-bit, mono and stereo, one and two tracks, every revision.
  for (const char* name : {"large-i-320x240", "all-i-03", "coef-h-30", "runs-f-12", "bundles-g-21"}) {
    SCOPED_TRACE(name);
    std::string errors;
    ASSERT_EQ(Kor("convert " + vectors_ + name + ".vrn " + out_, &errors), 0) << errors;
    TestWav got, want;
    ASSERT_TRUE(TestReadWav(TestReadFile(out_), &got));
    ASSERT_TRUE(TestReadWav(TestReadFile(vectors_ + name + ".wav"), &want));
    EXPECT_EQ(got.rate, want.rate);
    EXPECT_EQ(got.channels, want.channels);
    EXPECT_EQ(got.bits, 16u);
    ASSERT_EQ(got.data.size(), want.data.size());
    size_t bad = 0;
    for (size_t i = 0; i < got.data.size() / 2; i++)
      if (abs(Sample(got.data, i) - Sample(want.data, i)) > 2 && !bad++)
        ADD_FAILURE() << "sample " << i << ": " << Sample(got.data, i) << " vs " << Sample(want.data, i);
  }
}

TEST_F(KorConvertWav, ChosenTrackAndErrors) {
  std::string errors;
  // Track 1 of coef-h-30: 22050 Hz stereo.
  ASSERT_EQ(Kor("convert " + vectors_ + "coef-h-30.vrn " + out_ + " --track 1", &errors), 0) << errors;
  TestWav wav;
  ASSERT_TRUE(TestReadWav(TestReadFile(out_), &wav));
  EXPECT_EQ(wav.rate, 22050u);
  EXPECT_EQ(wav.channels, 2u);
  EXPECT_GT(wav.data.size(), 0u);

  struct Case {
    std::string args;
    int code;
    const char* says;
  } cases[] = {
      {vectors_ + "all-h-02.vrn " + out_, 1, "has no sound track"},
      {vectors_ + "coef-h-30.vrn " + out_ + " --track 2", 1, "has no track 2 (it has 2 tracks"},
      {vectors_ + "coef-h-30.vrn " + out_ + " --track one", 2, "--track takes a track number"},
      {vectors_ + "coef-h-30.vrn x.y4m --track 1", 2, "--track goes with a .wav output"},
      {vectors_ + "missing.vrn " + out_, 1, "Error opening file."},
  };
  for (const Case& c : cases) {
    remove(out_.c_str());
    EXPECT_EQ(Kor("convert " + c.args, &errors), c.code) << c.args;
    EXPECT_NE(errors.find(c.says), std::string::npos) << c.args << ": " << errors;
    EXPECT_TRUE(TestReadFile(out_).empty()) << c.args;
  }
}

}  // namespace
