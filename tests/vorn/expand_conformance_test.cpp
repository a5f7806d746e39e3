// Every conformance vector decodes to its expected pictures byte for byte.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_util.h"
#include "vorn/expand.h"
#include "vrn_walk.h"

namespace {

std::vector<std::string> VornVectors() {
  std::vector<std::string> names;
  std::string dir = TestVectorsDir();
  if (dir.empty()) return names;
  dir += "/vorn";
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n.size() > 4 && n.compare(n.size() - 4, 4, ".vrn") == 0) names.push_back(dir + "/" + n.substr(0, n.size() - 4));
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Crops a plane of the given pitch to w x h and compares; reports the first
// differing 8 x 8 block.
::testing::AssertionResult SamePlane(const uint8_t* got, uint32_t pitch, const uint8_t* want, uint32_t w,
                                     uint32_t h) {
  for (uint32_t y = 0; y < h; y++)
    for (uint32_t x = 0; x < w; x++)
      if (got[(size_t)y * pitch + x] != want[(size_t)y * w + x])
        return ::testing::AssertionFailure() << "block (" << x / 8 << ", " << y / 8 << ") sample (" << x << ", " << y
                                             << "): got " << (int)got[(size_t)y * pitch + x] << " want "
                                             << (int)want[(size_t)y * w + x];
  return ::testing::AssertionSuccess();
}

TEST(VornExpandConformance, EveryVectorMatches) {
  std::vector<std::string> names = VornVectors();
  if (names.empty()) GTEST_SKIP() << "no conformance vectors";
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    std::vector<unsigned char> file = TestReadFile(name + ".vrn");
    TestVrn vrn;
    ASSERT_TRUE(TestVrnWalk(file, &vrn));
    TestY4m expect, expectAlpha;
    ASSERT_TRUE(TestY4mRead(TestReadFile(name + ".y4m"), &expect));
    bool alpha = (vrn.videoFlags & 0x00100000) != 0;
    if (alpha) {
      ASSERT_TRUE(TestY4mRead(TestReadFile(name + ".alpha.y4m"), &expectAlpha));
    }
    ASSERT_EQ(expect.frames.size(), vrn.frames.size());

    uint32_t w = vrn.width, h = vrn.height;
    uint32_t cw = ((w + 1) / 2 + 7) & ~7u, ch = ((h + 1) / 2 + 7) & ~7u;
    uint32_t pitch = 2 * cw, rows = 2 * ch;
    size_t lumaBytes = (size_t)pitch * rows;
    std::vector<uint8_t> pics[2], alphas[2];
    for (int i = 0; i < 2; i++) {
      pics[i].assign(lumaBytes + 2 * (size_t)cw * ch, 0);
      alphas[i].assign(lumaBytes, 0);
    }
    uint32_t sizes[9];
    ExpandBundleSizes(sizes, pitch);
    std::vector<uint8_t> bundleMem[9];
    uint8_t* bundles[9];
    for (int i = 0; i < 9; i++) {
      bundleMem[i].resize(sizes[i]);
      bundles[i] = bundleMem[i].data();
    }
    std::vector<uint8_t> map((pitch / 16) * (rows / 16) + 1);
    uint32_t cropW = (w + 1) / 2, cropH = (h + 1) / 2;
    int cur = 0;
    for (size_t fi = 0; fi < vrn.frames.size(); fi++) {
      SCOPED_TRACE("frame " + std::to_string(fi + 1));
      const TestVrnFrame& fr = vrn.frames[fi];
      int next = cur ^ 1;
      std::fill(map.begin(), map.end(), 0);
      ExpandVorn(pics[next].data(), pics[cur].data(), alphas[next].data(), alphas[cur].data(), map.data(), w, h,
                 pitch, rows, fr.video, fr.key, bundles, vrn.handleFlags, vrn.videoFlags, fr.size);
      cur = next;
      const uint8_t* pic = pics[cur].data();
      const uint8_t* want = expect.frames[fi].data();
      EXPECT_TRUE(SamePlane(pic, pitch, want, w, h)) << "luminance";
      const uint8_t* first = pic + lumaBytes;
      const uint8_t* second = first + (size_t)cw * ch;
      const uint8_t* cb = vrn.revision <= 'g' ? first : second;
      const uint8_t* cr = vrn.revision <= 'g' ? second : first;
      const uint8_t* wantCb = want + (size_t)w * h;
      const uint8_t* wantCr = wantCb + (size_t)cropW * cropH;
      if (vrn.videoFlags & 0x00020000) {
        std::vector<uint8_t> grey((size_t)cropW * cropH, 128);
        EXPECT_TRUE(SamePlane(grey.data(), cropW, wantCb, cropW, cropH)) << "chroma of a luminance-only file";
        EXPECT_TRUE(SamePlane(grey.data(), cropW, wantCr, cropW, cropH)) << "chroma of a luminance-only file";
      } else {
        EXPECT_TRUE(SamePlane(cb, cw, wantCb, cropW, cropH)) << "Cb";
        EXPECT_TRUE(SamePlane(cr, cw, wantCr, cropW, cropH)) << "Cr";
      }
      if (alpha) {
        EXPECT_TRUE(SamePlane(alphas[cur].data(), pitch, expectAlpha.frames[fi].data(), w, h)) << "alpha";
      }
      if (::testing::Test::HasFailure()) return;  // the first wrong frame tells enough
    }
  }
}

}  // namespace
