// Frame sizes against their maximum: no frame, the first included, goes
// over it by more than the last step its allocations took.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clips.h"
#include "test_util.h"
#include "vornmake/vornmake.h"

namespace {

struct Steps {
  VornMakeHandle* h;
  std::vector<uint32_t> step;
};

void Hook(void* user, uint32_t frame, const VmkPlane*, uint32_t) {
  Steps* s = (Steps*)user;
  if (s->step.size() <= frame) s->step.resize(frame + 1);
  s->step[frame] = s->h->lastStep;
}

uint32_t Le32(const std::vector<uint8_t>& f, size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | (uint32_t)f[at + 3] << 24;
}

struct Case {
  uint32_t width, height, noise, target, maximum;
};

const Case kCases[] = {
    {160, 120, 31, 600, 1200},   {160, 120, 31, 2000, 4000}, {160, 120, 31, 6000, 6000},
    {240, 136, 0, 1500, 3000},   {240, 136, 90, 3000, 4500}, {320, 240, 31, 12000, 24000},
};

}  // namespace

TEST(Maximum, EveryFrameStaysWithinItsMaximumAndTheLastStep) {
  const std::string path = TestTempDir() + "/max.vrn";
  uint32_t seed = 1;
  for (const Case& c : kCases) {
    const auto clip = TestClip(c.width, c.height, 6, 3, 1, seed++, c.noise);
    VornMakeHandle* h = VornMake(path.c_str(), (int32_t)c.width * 4, (int32_t)c.width, c.height, 6, 0, 0, 25, 1, 0,
                                 nullptr, 4, nullptr);
    ASSERT_NE(h, nullptr);
    Steps steps{h, {}};
    h->frameHook = Hook;
    h->frameHookUser = &steps;
    for (const TestPicture& p : clip) VornMakePutVideo(h, c.target, c.maximum, 0, 0, 0, p.bgra.data());
    VornMakeClose(h, 0);
    const std::vector<uint8_t> f = TestReadFile(path);
    ASSERT_GT(f.size(), 44 + 7 * 4u);
    ASSERT_EQ(steps.step.size(), 6u);
    for (uint32_t i = 0; i < 6; i++) {
      const uint32_t size = (Le32(f, 44 + 4 * (i + 1)) & ~1u) - (Le32(f, 44 + 4 * i) & ~1u);
      EXPECT_LE(size, c.maximum + steps.step[i])
          << c.width << "x" << c.height << " target " << c.target << " frame " << i;
    }
  }
}
