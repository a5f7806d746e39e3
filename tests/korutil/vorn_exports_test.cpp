// The Vorn decoding exports of the library, called through it.
#include <gtest/gtest.h>
#include <stdint.h>

#include <vector>

#include "korutil/korutil.h"
#include "vorn/convert.h"
#include "vorn/expand.h"

namespace {

TEST(KorutilVornExports, ConvertAndBundleSizes) {
  // A 16 x 16 picture: luma 235 (white), neutral chroma; alpha 0x80.
  const int32_t pitch = 16, rows = 16;
  std::vector<uint8_t> planes(pitch * rows + 2 * 8 * 8, 128);
  std::fill(planes.begin(), planes.begin() + pitch * rows, 235);
  std::vector<uint8_t> alpha(pitch * rows, 0x80);
  std::vector<uint32_t> out(16 * 16, 0x12345678);
  YUV_init(3);
  EXPECT_EQ(YUV_blit_32bpp(out.data(), 0, 0, 64, planes.data(), 0, 0, 16, 16, pitch, rows, 3), 1);
  EXPECT_EQ(out[0], 0x00FEFEFEu);
  EXPECT_EQ(out[255], 0x00FEFEFEu);
  EXPECT_EQ(YUV_blit_32abpp(out.data(), 0, 0, 64, planes.data(), 0, 0, 16, 16, pitch, rows,
                            alpha.data(), 5),
            1);
  EXPECT_EQ(out[17], 0x80FEFEFEu);
  uint32_t sizes[9] = {};
  EXPECT_EQ(ExpandBundleSizes(sizes, 64), sizes[8]);
  EXPECT_GT(sizes[0], 0u);
}

}  // namespace
