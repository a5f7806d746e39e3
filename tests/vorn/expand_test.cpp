// Hand-made frames for the edge cases of the frame decoder and its hostile
// input handling. All trees are code 0 with the identity, so a symbol is
// four plain bits.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "test_util.h"
#include "vorn/expand.h"
#include "vorn/tables.h"
#include "vorn/tree.h"
#include "vrn_walk.h"

namespace {

enum { kRevI = 0, kRevH = 0x00008000, kLumaOnly = 0x00020000, kAlpha = 0x00100000 };

struct Writer {
  std::vector<uint8_t> bytes;
  size_t bits = 0;
  void Put(uint32_t v, int n) {
    for (int i = 0; i < n; i++, bits++) {
      if (bits / 8 >= bytes.size()) bytes.push_back(0);
      if (v >> i & 1) bytes[bits / 8] |= (uint8_t)(1 << (bits % 8));
    }
  }
  void Align() {
    while (bits % 32) Put(0, 1);
  }
};

// One plane being written: W is its decoded width.
struct PlaneWriter {
  Writer w;
  uint32_t width;
  explicit PlaneWriter(uint32_t width) : width(width) {
    for (int i = 0; i < 23; i++) w.Put(0, 4);  // trees: code 0, identity
  }
  // Chunk count of bundle i (0-8).
  void Count(int i, uint32_t c) {
    static const uint32_t perBlock[9] = {1, 1, 64, 8, 1, 1, 1, 1, 48};
    uint32_t v = 511 + perBlock[i] * ((i == 1 ? width / 2 : width) / 8), n = 0;
    while (v >> n) n++;
    w.Put(c, (int)n);
  }
  void Types(int i, std::vector<uint32_t> v) {
    Count(i, (uint32_t)v.size());
    w.Put(0, 1);
    for (uint32_t t : v) w.Put(t, 4);
  }
  void Colours(std::vector<uint32_t> v) {
    Count(2, (uint32_t)v.size());
    w.Put(0, 1);
    for (uint32_t c : v) w.Put(c >> 4, 4), w.Put(c & 15, 4);
  }
  void Offsets(int i, std::vector<int> v) {
    Count(i, (uint32_t)v.size());
    w.Put(0, 1);
    for (int d : v) {
      w.Put((uint32_t)abs(d), 4);
      if (d) w.Put(d < 0, 1);
    }
  }
  void Runs(std::vector<uint32_t> v) {
    Count(8, (uint32_t)v.size());
    w.Put(0, 1);
    for (uint32_t r : v) w.Put(r, 4);
  }
  // Ends bundles from..to (chunk count 0).
  void End(int from, int to) {
    for (int i = from; i <= to; i++) Count(i, 0);
  }
};

// A plane of single fill blocks of one colour.
PlaneWriter FillPlane(uint32_t width, uint32_t height, uint32_t colour) {
  PlaneWriter p(width);
  uint32_t blocks = (width / 8) * (height / 8);
  p.Count(0, blocks);
  p.w.Put(1, 1);
  p.w.Put(6, 4);
  p.End(1, 1);
  p.Count(2, blocks);
  p.w.Put(1, 1);
  p.w.Put(colour >> 4, 4);
  p.w.Put(colour & 15, 4);
  p.End(3, 8);
  return p;
}

void Append(std::vector<uint8_t>* out, Writer w) {
  w.Align();
  out->insert(out->end(), w.bytes.begin(), w.bytes.end());
}

std::vector<uint8_t> Frame(uint32_t flags, const PlaneWriter& luma, const PlaneWriter* cb, const PlaneWriter* cr) {
  std::vector<uint8_t> out;
  Writer l = luma.w;
  l.Align();
  if (!(flags & kRevH)) {
    uint32_t size = (uint32_t)l.bytes.size() + 4;
    for (int i = 0; i < 4; i++) out.push_back((uint8_t)(size >> (8 * i)));
  }
  Append(&out, l);
  if (cb) Append(&out, cb->w);
  if (cr) Append(&out, cr->w);
  return out;
}

// Picture buffers for a w x h picture, decoded into by Decode().
struct Pictures {
  uint32_t w, h, cw, ch, pitch, rows;
  std::vector<uint8_t> pic, ref, map;
  std::vector<uint8_t> bundleMem[9];
  uint8_t* bundles[9];
  Pictures(uint32_t w, uint32_t h, uint8_t fill = 0xEE) : w(w), h(h) {
    cw = ((w + 1) / 2 + 7) & ~7u;
    ch = ((h + 1) / 2 + 7) & ~7u;
    pitch = 2 * cw;
    rows = 2 * ch;
    pic.assign((size_t)pitch * rows + 2 * (size_t)cw * ch, fill);
    ref.assign(pic.size(), 0);
    map.assign((pitch / 16) * (rows / 16) + 1, 0);
    uint32_t sizes[9];
    ExpandBundleSizes(sizes, pitch);
    for (int i = 0; i < 9; i++) {
      bundleMem[i].resize(sizes[i]);
      bundles[i] = bundleMem[i].data();
    }
  }
  // Decodes from an exact-size heap copy, so a read past the end is caught.
  size_t Decode(const std::vector<uint8_t>& data, uint32_t flags, size_t size = ~(size_t)0) {
    if (size > data.size()) size = data.size();
    std::vector<uint8_t> exact(data.begin(), data.begin() + (long)size);
    const uint8_t* d = exact.empty() ? nullptr : exact.data();
    const uint8_t* end = ExpandVorn(pic.data(), ref.data(), nullptr, nullptr, map.data(), w, h, pitch, rows, d, 0,
                                    bundles, flags, 0, (uint32_t)size);
    EXPECT_TRUE(end >= d && end <= d + size);
    return (size_t)(end - d);
  }
  uint8_t Y(uint32_t x, uint32_t y) const { return pic[(size_t)y * pitch + x]; }
  uint8_t C(int plane, uint32_t x, uint32_t y) const {
    return pic[(size_t)pitch * rows + (size_t)plane * cw * ch + (size_t)y * cw + x];
  }
  bool BlockIs(uint32_t bx, uint32_t by, uint8_t v) const {
    for (uint32_t y = by; y < by + 8; y++)
      for (uint32_t x = bx; x < bx + 8; x++)
        if (Y(x, y) != v) return false;
    return true;
  }
};

TEST(VornTree, PermutationForms) {
  struct Case {
    const char* name;
    uint32_t tree;
    std::vector<std::pair<uint32_t, int>> description;  // (value, bits) after the tree number
    uint8_t perm[16];
  } cases[] = {
      {"listed", 5, {{1, 1}, {2, 3}, {7, 4}, {3, 4}, {9, 4}}, {7, 3, 9, 0, 1, 2, 4, 5, 6, 8, 10, 11, 12, 13, 14, 15}},
      // Groups of 1 then 2: pair (0,1) swapped by a 1; then (1,0)+(2,3)
      // merged by 1,0,1 into 2,1,3,0; the other merges keep their order.
      {"merged",
       1,
       {{0, 1}, {1, 2}, {1, 1}, {0, 7}, {0b101, 3}, {0, 6}},
       {2, 1, 3, 0, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
      // Repeated entries can't make the permutation longer than 16.
      {"listed with repeats",
       2,
       {{1, 1}, {7, 3}, {4, 4}, {4, 4}, {4, 4}, {4, 4}, {4, 4}, {4, 4}, {4, 4}, {4, 4}},
       {4, 4, 4, 4, 4, 4, 4, 4, 0, 1, 2, 3, 5, 6, 7, 8}},
      {"identity", 0, {}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
  };
  for (const Case& c : cases) {
    Writer w;
    w.Put(c.tree, 4);
    for (auto& d : c.description) w.Put(d.first, d.second);
    size_t descBits = w.bits;
    for (int s = 0; s < 16; s++) w.Put(kVornCodes[c.tree][s].bits, kVornCodes[c.tree][s].length);
    w.Align();
    VornBits b;
    VornBitsInit(&b, w.bytes.data(), w.bytes.size());
    VornTree tree;
    VornTreeRead(&b, &tree);
    EXPECT_EQ(VornBitsUsed(&b), descBits) << c.name;
    for (int s = 0; s < 16; s++) EXPECT_EQ(VornTreeGet(&b, &tree), c.perm[s]) << c.name << " symbol " << s;
  }
}

TEST(VornExpand, ZeroChunkCountEndsBundle) {
  // Two block rows; every bundle but types and colours ends in row 0, so row
  // 1 reads counts for those two only.
  PlaneWriter luma(16);
  luma.Types(0, {6, 6});
  luma.End(1, 1);
  luma.Colours({10, 20});
  luma.End(3, 8);
  luma.Types(0, {6, 6});
  luma.Colours({30, 40});
  PlaneWriter cb = FillPlane(8, 8, 50), cr = FillPlane(8, 8, 60);
  Pictures p(16, 16);
  p.Decode(Frame(kRevI, luma, &cb, &cr), kRevI);
  EXPECT_TRUE(p.BlockIs(0, 0, 10));
  EXPECT_TRUE(p.BlockIs(8, 0, 20));
  EXPECT_TRUE(p.BlockIs(0, 8, 30));
  EXPECT_TRUE(p.BlockIs(8, 8, 40));
  EXPECT_EQ(p.C(0, 7, 7), 50);
  EXPECT_EQ(p.C(1, 0, 0), 60);
  EXPECT_EQ(p.map[0], 1);
}

TEST(VornExpand, ScaledBlockOnOddRowWritesNothing) {
  // 32 x 16: row 0 = scaled fill at 0 (16 x 16), fills at 16 and 24; row 1 =
  // fills at 0 and 8, then a scaled block at 16 that writes nothing.
  PlaneWriter luma(32);
  luma.Types(0, {1, 6, 6, 6, 6, 1});
  luma.Types(1, {6});
  luma.Colours({77, 20, 30, 40, 50});
  luma.End(3, 8);
  luma.End(1, 1);  // sub-types used up at row 1
  PlaneWriter cb = FillPlane(16, 8, 1), cr = FillPlane(16, 8, 2);
  Pictures p(32, 16);
  p.Decode(Frame(kRevI, luma, &cb, &cr), kRevI);
  EXPECT_TRUE(p.BlockIs(16, 0, 20));
  EXPECT_TRUE(p.BlockIs(24, 0, 30));
  EXPECT_TRUE(p.BlockIs(0, 8, 40));  // row 1 overwrote the scaled block's lower half
  EXPECT_TRUE(p.BlockIs(8, 8, 50));
  EXPECT_TRUE(p.BlockIs(16, 8, 0xEE));
  EXPECT_TRUE(p.BlockIs(24, 8, 0xEE));
  EXPECT_EQ(p.Y(15, 7), 77);
  EXPECT_EQ(p.map[0], 1);
  EXPECT_EQ(p.map[1], 1);
  EXPECT_EQ(p.C(1, 15, 7), 2);  // the frame went on
}

TEST(VornExpand, RunScans) {
  // Each run takes one colour, 10 * (run number + 1); a scan that ends at 63
  // takes one more colour, 250.
  struct Case {
    const char* name;
    std::vector<uint32_t> runs;  // coded values (length - 1)
    bool stops;
  } cases[] = {
      {"ends at 63: one more colour", {15, 15, 15, 14}, false},
      {"ends at 64", {15, 15, 15, 15}, false},
      {"run past the block", {15, 15, 15, 13, 3}, true},
  };
  const uint32_t scan = 6;
  for (const Case& c : cases) {
    PlaneWriter luma(8);
    luma.Types(0, {3});
    luma.End(1, 1);
    std::vector<uint32_t> colours;
    for (size_t i = 0; i < c.runs.size(); i++) colours.push_back(10 * (uint32_t)(i + 1));
    colours.push_back(250);
    luma.Colours(colours);
    luma.End(3, 7);
    luma.Runs(c.runs);
    luma.w.Put(scan, 4);
    for (size_t i = 0; i < c.runs.size(); i++) luma.w.Put(1, 1);  // one colour per run
    PlaneWriter cb = FillPlane(8, 8, 1), cr = FillPlane(8, 8, 2);
    Pictures p(8, 8);
    p.Decode(Frame(kRevI, luma, &cb, &cr), kRevI);
    if (c.stops) {
      EXPECT_EQ(p.C(0, 0, 0), 0xEE) << c.name;
      continue;
    }
    std::vector<uint8_t> want;
    for (size_t i = 0; i < c.runs.size(); i++) want.insert(want.end(), c.runs[i] + 1, (uint8_t)(10 * (i + 1)));
    if (want.size() == 63) want.push_back(250);
    for (int j = 0; j < 64; j++) {
      uint8_t pos = kVornScans[scan][j];
      EXPECT_EQ(p.Y(pos & 7, pos >> 3), want[j]) << c.name << " j " << j;
    }
    EXPECT_EQ(p.C(1, 0, 0), 2) << c.name;
  }
}

TEST(VornExpand, SignMagnitudeColoursAndLuminanceOnly) {
  struct Case {
    uint32_t flags;
    uint8_t y, cb;
  } cases[] = {{kRevH, 123, 133}, {kRevI, 0x85, 0x05}, {kRevH | kLumaOnly, 123, 0xEE}, {kRevI | kLumaOnly, 0x85, 0xEE}};
  for (const Case& c : cases) {
    PlaneWriter luma = FillPlane(8, 8, 0x85), cb = FillPlane(8, 8, 0x05), cr = FillPlane(8, 8, 0x05);
    std::vector<uint8_t> frame = c.flags & kLumaOnly ? Frame(c.flags, luma, nullptr, nullptr) : Frame(c.flags, luma, &cb, &cr);
    Pictures p(8, 8);
    size_t end = p.Decode(frame, c.flags);
    EXPECT_EQ(p.Y(3, 3), c.y) << c.flags;
    EXPECT_EQ(p.C(0, 3, 3), c.cb) << c.flags;
    EXPECT_EQ(p.C(1, 7, 7), c.cb) << c.flags;
    EXPECT_EQ(end, frame.size()) << c.flags;
  }
}

TEST(VornExpand, MotionReferencesAreClampedIntoThePlane) {
  // 16 x 16 luminance, reference samples = x + 16 y; offsets up to 15 beyond
  // every edge copy the nearest block inside the plane.
  struct Case {
    int dx, dy;
    uint32_t bx, by;  // block
    uint32_t rx, ry;  // expected reference block
  } cases[] = {{-15, -15, 0, 0, 0, 0}, {15, 15, 8, 8, 8, 8}, {-3, 15, 8, 0, 5, 8}, {15, -15, 0, 8, 8, 0}, {-5, 2, 8, 0, 3, 2}};
  for (const Case& c : cases) {
    PlaneWriter luma(16);
    std::vector<uint32_t> types(4, 0);
    types[c.by / 8 * 2 + c.bx / 8] = 2;
    luma.Types(0, types);
    luma.End(1, 3);
    luma.Offsets(4, {c.dx});
    luma.Offsets(5, {c.dy});
    luma.End(6, 8);
    PlaneWriter cb = FillPlane(8, 8, 1), cr = FillPlane(8, 8, 2);
    Pictures p(16, 16);
    for (uint32_t i = 0; i < 256; i++) p.ref[i] = (uint8_t)i;
    p.Decode(Frame(kRevI, luma, &cb, &cr), kRevI);
    for (uint32_t y = 0; y < 8; y++)
      for (uint32_t x = 0; x < 8; x++)
        ASSERT_EQ(p.Y(c.bx + x, c.by + y), (c.ry + y) * 16 + c.rx + x) << c.dx << "," << c.dy;
  }
}

TEST(VornExpand, HugeChunkCountStopsTheFrame) {
  PlaneWriter luma(8);
  luma.Count(0, 1023);  // more than the 8-pixel buffer holds
  luma.w.Put(1, 1);
  luma.w.Put(6, 4);
  PlaneWriter cb = FillPlane(8, 8, 1), cr = FillPlane(8, 8, 2);
  Pictures p(8, 8);
  p.Decode(Frame(kRevI, luma, &cb, &cr), kRevI);
  EXPECT_TRUE(p.BlockIs(0, 0, 0xEE));
  EXPECT_EQ(p.C(0, 0, 0), 0xEE);
}

TEST(VornExpand, BadSizeWordsAndTruncatedPlanesStop) {
  PlaneWriter luma = FillPlane(8, 8, 9), cb = FillPlane(8, 8, 1), cr = FillPlane(8, 8, 2);
  std::vector<uint8_t> good = Frame(kRevI, luma, &cb, &cr);
  for (uint32_t bad : {0u, 3u, (uint32_t)good.size() + 1, 0xFFFFFFFFu}) {
    std::vector<uint8_t> f = good;
    memcpy(f.data(), &bad, 4);
    Pictures p(8, 8);
    p.Decode(f, kRevI);
    EXPECT_EQ(p.Y(0, 0), 0xEE) << bad;
  }
  // Every truncation stays inside the data; a cut into the last plane's
  // bits stops it.
  Writer last = cr.w;
  last.Align();
  for (size_t size = 0; size <= good.size(); size++) {
    Pictures p(8, 8);
    p.Decode(good, kRevI, size);
    if (size <= good.size() - last.bytes.size()) {
      EXPECT_EQ(p.C(1, 0, 0), 0xEE) << size;
    }
    if (size == good.size()) {
      EXPECT_EQ(p.C(1, 0, 0), 2);
    }
  }
}

TEST(VornExpand, TruncatedVectorFramesStayInBounds) {
  std::string dir = TestVectorsDir();
  if (dir.empty()) GTEST_SKIP() << "no conformance vectors";
  for (const char* name : {"large-i-320x240", "coef-g-29", "residue-h-34", "scaled-f-16"}) {
    std::vector<unsigned char> file = TestReadFile(dir + "/vorn/" + name + ".vrn");
    TestVrn vrn;
    if (!TestVrnWalk(file, &vrn) || vrn.frames.empty()) continue;
    const TestVrnFrame& fr = vrn.frames.back();
    std::vector<uint8_t> data(fr.video, fr.video + fr.size);
    Pictures p(vrn.width, vrn.height);
    std::vector<uint8_t> alpha(p.pitch * p.rows), refAlpha(alpha.size());
    for (uint32_t size = 0; size < fr.size; size += 1 + size / 7) {
      std::vector<uint8_t> exact(data.begin(), data.begin() + size);
      ExpandVorn(p.pic.data(), p.ref.data(), alpha.data(), refAlpha.data(), p.map.data(), vrn.width, vrn.height,
                 p.pitch, p.rows, exact.data(), 0, p.bundles, vrn.handleFlags, vrn.videoFlags, size);
    }
  }
}

}  // namespace
