// The plane writer on decided blocks of every type, read back by the
// decoder: its reconstruction must be what the decoder builds.
#include <gtest/gtest.h>
#include <string.h>

#include <random>
#include <vector>

#include "vorn/expand.h"
#include "vornmake/vornmake.h"
#include "vornmake/writer.h"

namespace {

struct Plane {
  uint32_t w, h;
  std::vector<uint8_t> src, ref, recon;
  std::vector<VmkBlock> blocks;
};

// Decodes a luminance-only frame made of the one plane; returns the decoded
// plane cut to w x h.
std::vector<uint8_t> Decode(const Plane& pl, const std::vector<uint8_t>& bits) {
  const uint32_t cw = ((pl.w + 1) / 2 + 7) & ~7u, ch = ((pl.h + 1) / 2 + 7) & ~7u;
  const uint32_t P = 2 * cw, R = 2 * ch;
  std::vector<uint8_t> ref((size_t)P * R + 2 * cw * ch), out(ref.size()), alpha((size_t)P * R);
  for (uint32_t y = 0; y < pl.h; y++) memcpy(&ref[(size_t)y * P], &pl.ref[(size_t)y * pl.w], pl.w);
  std::vector<uint8_t> data(4 + bits.size());
  uint32_t size = (uint32_t)data.size();
  memcpy(data.data(), &size, 4);
  memcpy(data.data() + 4, bits.data(), bits.size());
  uint32_t sizes[9];
  ExpandBundleSizes(sizes, P);
  std::vector<std::vector<uint8_t>> mem(9);
  uint8_t* bundles[9];
  for (int i = 0; i < 9; i++) {
    mem[i].resize(sizes[i]);
    bundles[i] = mem[i].data();
  }
  std::vector<uint8_t> map((P / 16) * (R / 16) + 1);
  ExpandVorn(out.data(), ref.data(), alpha.data(), alpha.data(), map.data(), pl.w, pl.h, P, R, data.data(), 0,
             bundles, 0x20000, 0x20000, (uint32_t)data.size());
  std::vector<uint8_t> plane((size_t)pl.w * pl.h);
  for (uint32_t y = 0; y < pl.h; y++) memcpy(&plane[(size_t)y * pl.w], &out[(size_t)y * P], pl.w);
  return plane;
}

std::vector<uint8_t> Write(Plane& pl, bool* ok) {
  std::vector<uint8_t> scratch(VmkWriterScratchSize(pl.w, pl.h) + 64);
  VmkWriterScratch ws;
  VmkWriterScratchInit(&ws, scratch.data(), pl.w, pl.h);
  std::vector<uint8_t> out(VmkPlaneBitstreamBound(pl.w, pl.h));
  pl.recon.assign((size_t)pl.w * pl.h, 0);
  VmkWriteArgs a = {pl.recon.data(), pl.ref.data(), pl.src.data(), pl.w, pl.h, pl.blocks.data(),
                    out.data(), (uint32_t)out.size(), &ws};
  VmkPlaneStats stats;
  uint32_t n = VmkWritePlane(&a, &stats);
  *ok = n > 0 && n % 4 == 0;
  out.resize(n);
  return out;
}

void Decide(VmkBlock* b, uint32_t type, uint32_t param) {
  b->finalType = (uint8_t)type;
  b->finalParam = (uint16_t)param;
}

TEST(Writer, EveryBlockTypeDecodesAsReconstructed) {
  std::mt19937 rng(11);
  static const uint8_t kTypes[] = {0, 2, 3, 4, 5, 6, 7, 8, 9};
  static const uint8_t kSub[] = {3, 5, 6, 8, 9};
  for (int trial = 0; trial < 60; trial++) {
    Plane pl;
    pl.w = 8 * (1 + rng() % 9);
    pl.h = 8 * (1 + rng() % 7);
    pl.src.resize((size_t)pl.w * pl.h);
    pl.ref.resize(pl.src.size());
    const int spread = trial % 3 == 0 ? 256 : 1 + (int)(rng() % 40);
    const int base = (int)(rng() % 256);
    for (size_t i = 0; i < pl.src.size(); i++) {
      pl.ref[i] = (uint8_t)(base + (int)(rng() % spread));
      pl.src[i] = (uint8_t)(trial % 5 == 0 ? pl.ref[i] - 128 : base + (int)(rng() % spread));
    }
    const uint32_t bpr = pl.w / 8, rows = pl.h / 8;
    pl.blocks.assign(bpr * rows, VmkBlock{});
    for (uint32_t by = 0; by < rows; by++)
      for (uint32_t bx = 0; bx < bpr; bx++) {
        VmkBlock* b = &pl.blocks[by * bpr + bx];
        if (b->covered) continue;
        const uint32_t type = kTypes[rng() % sizeof kTypes];
        b->mvx = (int8_t)(-(int)std::min<uint32_t>(15, bx * 8) +
                          (int)(rng() % (std::min<uint32_t>(15, bx * 8) + std::min<uint32_t>(15, pl.w - 8 - bx * 8) + 1)));
        b->mvy = (int8_t)(-(int)std::min<uint32_t>(15, by * 8) +
                          (int)(rng() % (std::min<uint32_t>(15, by * 8) + std::min<uint32_t>(15, pl.h - 8 - by * 8) + 1)));
        const uint32_t lo = rng() % 200;
        switch (type) {
          case 3: Decide(b, type, (rng() % 16) * 256 + (rng() % 3 ? rng() % 40 : rng() % 256)); break;
          case 4: Decide(b, type, rng() % 128); break;
          case 5:
          case 7: Decide(b, type, trial % 5 == 0 ? 0 : rng() % 16); break;
          case 6: Decide(b, type, rng() % 256); break;
          case 8: Decide(b, type, lo + 256 * (lo + 1 + rng() % (255 - lo))); break;
          default: Decide(b, type, 0); break;
        }
        // A scaled region now and then where a whole one fits.
        if (bx % 2 == 0 && by % 2 == 0 && bx + 1 < bpr && by + 1 < rows && rng() % 3 == 0) {
          const uint32_t sub = kSub[rng() % sizeof kSub];
          uint32_t param = sub == 3 ? (rng() % 16) * 256 + rng() % 30
                           : sub == 5 ? rng() % 16
                           : sub == 6 ? rng() % 256
                           : sub == 8 ? lo + 256 * (lo + 1 + rng() % (255 - lo))
                                      : 0;
          Decide(b, 1, param);
          b->subType = (uint8_t)sub;
          b[1].covered = 1;
          b[bpr].covered = 2;
          b[bpr + 1].covered = 3;
        }
      }
    // Residue blocks need a difference to code.
    for (uint32_t i = 0; i < pl.blocks.size(); i++) {
      VmkBlock* b = &pl.blocks[i];
      if (b->covered || b->finalType != 4) continue;
      const uint32_t x0 = (i % bpr) * 8, y0 = (i / bpr) * 8;
      pl.src[(size_t)y0 * pl.w + x0] = (uint8_t)(pl.ref[(size_t)(y0 + b->mvy) * pl.w + x0 + b->mvx] + 1);
    }
    bool ok;
    std::vector<uint8_t> bits = Write(pl, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(Decode(pl, bits), pl.recon) << "trial " << trial;
  }
}

// A difference of -128 everywhere quantises to an inter DC of -1024 at the
// finest quantiser, which a chunk's first value cannot carry: it is written
// as -1023 and reconstructed as such.
TEST(Writer, InterDcStaysWithinItsField) {
  Plane pl;
  pl.w = 16;
  pl.h = 8;
  pl.ref.resize(128);
  pl.src.resize(128);
  for (int i = 0; i < 128; i++) {
    pl.ref[i] = (uint8_t)(200 + i % 7);
    pl.src[i] = (uint8_t)(pl.ref[i] - 128);
  }
  pl.blocks.assign(2, VmkBlock{});
  Decide(&pl.blocks[0], 7, 0);
  Decide(&pl.blocks[1], 7, 0);
  bool ok;
  std::vector<uint8_t> bits = Write(pl, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(Decode(pl, bits), pl.recon);
  int worst = 0;
  for (int i = 0; i < 128; i++) worst = std::max(worst, abs(pl.recon[i] - pl.src[i]));
  EXPECT_LE(worst, 1);
}

}  // namespace
