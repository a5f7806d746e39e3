// The encoder's reconstruction must equal what the decoder makes of the file,
// frame by frame, for every kind of picture and file.
#include <gtest/gtest.h>

#include "clips.h"
#include "test_util.h"

namespace {

struct Case {
  const char* name;
  uint32_t width, height, frames;
  int dx, dy;
  TestEncode e;
  uint32_t noise = 31;
};

TestEncode Enc(uint32_t mode, uint32_t key, uint32_t window, uint32_t target, uint32_t maximum) {
  TestEncode e;
  e.mode = mode;
  e.keyInterval = key;
  e.window = window;
  e.target = target;
  e.maximum = maximum;
  return e;
}

class RoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(RoundTrip, ReconstructionEqualsDecoder) {
  const Case& c = GetParam();
  const std::string dir = TestTempDir(), path = dir + "/out.vrn";
  auto clip = TestClip(c.width, c.height, c.frames, c.dx, c.dy, 7, c.noise);
  auto recon = TestEncodeClip(path, clip, c.e);
  ASSERT_EQ(recon.size(), c.frames);
  TestDecoded d;
  ASSERT_TRUE(TestDecodeFile(path, &d));
  ASSERT_EQ(d.frames, c.frames);
  for (uint32_t f = 0; f < c.frames; f++)
    for (int p = 0; p < VMK_PLANES; p++) {
      if (d.planes[f].plane[p].empty()) continue;
      ASSERT_EQ(d.planes[f].plane[p], recon[f].plane[p]) << "frame " << f << " plane " << p;
    }
  // The kit's opener sees the same pictures.
  std::vector<TestPlanes> opened;
  ASSERT_TRUE(TestOpenFile(path, &opened));
  ASSERT_EQ(opened.size(), c.frames);
  for (uint32_t f = 0; f < c.frames; f++)
    for (int p = 0; p < VMK_PLANES; p++) ASSERT_EQ(opened[f].plane[p], d.planes[f].plane[p]) << f << " " << p;
}

const Case kCases[] = {
    {"small", 48, 32, 6, 1, 0, Enc(0, 0, 3, 3000, 6000)},
    {"odd", 37, 21, 5, -2, 1, Enc(0, 3, 2, 1500, 3000)},
    {"one_pixel", 1, 1, 3, 0, 0, Enc(0, 0, 2, 100, 200)},
    {"narrow", 3, 40, 4, 0, 1, Enc(0, 2, 4, 400, 800)},
    {"starved", 64, 48, 5, 2, 1, Enc(0, 0, 4, 100, 150)},
    {"rich", 64, 48, 5, 3, -2, Enc(0, 0, 4, 60000, 90000)},
    {"grey", 40, 24, 4, 1, 1, Enc(100, 0, 2, 2000, 4000)},
    {"alpha", 40, 24, 4, 1, 1, Enc(1000, 0, 2, 4000, 8000)},
    {"grey_alpha_half", 50, 34, 4, 1, 1, Enc(1104, 2, 3, 2000, 4000)},
    {"all_key", 32, 24, 3, 1, 1, Enc(0, 1, 2, 3000, 6000)},
    {"smooth", 64, 48, 6, 2, 1, Enc(0, 0, 3, 1500, 3000), 0},
    {"smooth_rich", 64, 48, 6, 1, 2, Enc(0, 0, 3, 20000, 40000), 0},
    {"grainy", 64, 48, 6, 1, 1, Enc(0, 0, 3, 2500, 5000), 8},
};

INSTANTIATE_TEST_SUITE_P(Clips, RoundTrip, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

}  // namespace
