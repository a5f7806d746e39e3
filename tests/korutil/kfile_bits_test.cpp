#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "korutil/korutil.h"
#include "test_util.h"

typedef std::vector<unsigned char> Bytes;

static std::string Tmp() { return TestTempDir() + "/bits.bin"; }

TEST(KFileBits, Examples) {
  std::string name = Tmp();
  KORFile* f = KORFileCreate(16, name.c_str());
  KORFilePutBits(f, 1, 3);
  KORFilePutBits(f, 0x1F, 5);
  EXPECT_EQ(KORFileBitPos(f), 0u);
  KORFilePutBits(f, 0x15, 5);  // 5 bits, then a byte straddling them
  EXPECT_EQ(KORFileBitPos(f), 5u);
  KORFilePut8(f, 0xAB);
  KORFileByteAlign(f);
  EXPECT_EQ(KORFileGetPos(f), 3u);
  KORFileClose(f);
  Bytes want{0xF9, (unsigned char)(0x15 | 0xAB << 5), 0xAB >> 3};
  EXPECT_EQ(TestReadFile(name), want);

  f = KORFileOpen(16, name.c_str(), KORFILE_READ);
  EXPECT_EQ(KORFileGetBits(f, 3), 1u);
  EXPECT_EQ(KORFileGetBits(f, 5), 0x1Fu);
  EXPECT_EQ(KORFileGetBits(f, 5), 0x15u);
  EXPECT_EQ(KORFileGetPos(f), 1u);  // the partly used byte
  EXPECT_EQ(KORFileGet8(f), 0xABu);
  KORFileClose(f);
}

TEST(KFileBits, ReadWidths) {
  std::string name = Tmp();
  Bytes data{0x5A, 0xC3, 0x81, 0x7E, 0x11};
  TestWriteFile(name, data.data(), data.size());
  struct Case {
    int first, n;
    uint32_t want;
    uint32_t pos_after;
  } cases[] = {
      {4, 12, 0xC35, 2},        // high nibble of the first byte, all of the second
      {0, 0, 0, 0},             // nothing read
      {0, 33, 0, 0},            // as n = 1: bit 0 of 0x5A
      {1, 33, 1, 0},            // the next bit
      {0, 24, 0x81C35A, 3},
      {3, 29, 0x7E81C35A >> 3, 4},
      {5, 29, 0x7E81C35A >> 5 | 1u << 27, 4},
      {0, 32, 0x7E81C35A, 4},
      {2, 17, (0x81C35A >> 2) & 0x1FFFF, 2},
  };
  for (const Case& c : cases) {
    KORFile* f = KORFileOpen(2, name.c_str(), KORFILE_READ);
    if (c.first) KORFileGetBits(f, c.first);
    EXPECT_EQ(KORFileGetBits(f, c.n), c.want) << c.first << "+" << c.n;
    EXPECT_EQ(KORFileGetPos(f), c.pos_after) << c.first << "+" << c.n;
    KORFileClose(f);
  }
}

// Random mixes of bit values, bit-aware bytes and alignments, written and
// read back, against a plain list of bits.
TEST(KFileBits, RandomRoundTripMatchesModel) {
  struct Op {
    int kind;  // 0 bits, 1 Put8, 2 Put16, 3 Put32, 4 block, 5 align
    uint32_t value;
    int n;
    Bytes block;
  };
  std::mt19937 rng(99);
  for (int32_t bs : {0, 1, 5, 64}) {
    std::vector<Op> ops;
    std::vector<int> bits;
    auto push = [&](uint32_t v, int n) {
      for (int i = 0; i < n; i++) bits.push_back(v >> i & 1);
    };
    for (int i = 0; i < 1500; i++) {
      Op op{(int)(rng() % 12), (uint32_t)rng(), 0, {}};
      if (op.kind > 5) op.kind = 0;
      if (op.kind == 0) {
        op.n = 1 + rng() % 32;
        push(op.value, op.n);
      } else if (op.kind <= 3) {
        op.n = op.kind == 3 ? 32 : op.kind * 8;
        push(op.value, op.n);
      } else if (op.kind == 4) {
        op.block.resize(rng() % 100);
        for (auto& b : op.block) b = (unsigned char)rng(), push(b, 8);
      } else {
        while (bits.size() % 8) bits.push_back(0);
      }
      ops.push_back(op);
    }
    while (bits.size() % 8) bits.push_back(0);
    Bytes want(bits.size() / 8);
    for (size_t i = 0; i < bits.size(); i++) want[i / 8] |= (unsigned char)(bits[i] << (i % 8));

    std::string name = Tmp();
    KORFile* f = KORFileCreate(bs, name.c_str());
    for (const Op& op : ops) {
      switch (op.kind) {
        case 0: KORFilePutBits(f, op.value, op.n); break;
        case 1: KORFilePut8(f, op.value); break;
        case 2: KORFilePut16(f, op.value); break;
        case 3: KORFilePut32(f, op.value); break;
        case 4: KORFilePut(f, op.block.data(), (int32_t)op.block.size()); break;
        case 5: KORFileByteAlign(f); break;
      }
    }
    KORFileClose(f);  // ends the last partial byte
    ASSERT_EQ(TestReadFile(name), want) << bs;

    f = KORFileOpen(bs, name.c_str(), KORFILE_READ);
    for (size_t i = 0; i < ops.size(); i++) {
      const Op& op = ops[i];
      uint32_t mask = op.n >= 32 ? 0xFFFFFFFFu : (1u << op.n) - 1;
      switch (op.kind) {
        case 0: ASSERT_EQ(KORFileGetBits(f, op.n), op.value & mask) << bs << " op " << i; break;
        case 1: ASSERT_EQ(KORFileGet8(f), op.value & 0xFF) << bs << " op " << i; break;
        case 2: ASSERT_EQ(KORFileGet16(f), op.value & 0xFFFF) << bs << " op " << i; break;
        case 3: ASSERT_EQ(KORFileGet32(f), op.value) << bs << " op " << i; break;
        case 4: {
          Bytes got(op.block.size());
          ASSERT_EQ(KORFileGet(f, got.data(), (int32_t)got.size()), (int32_t)got.size());
          ASSERT_EQ(got, op.block) << bs << " op " << i;
          break;
        }
        case 5: KORFileByteAlign(f); break;
      }
    }
    KORFileByteAlign(f);
    EXPECT_TRUE(KORFileAtEnd(f));
    KORFileClose(f);
  }
}
