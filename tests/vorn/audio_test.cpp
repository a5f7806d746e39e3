// Sound block decoding: geometry, packed floats, coefficient groups, the
// cross-fade, rounding and clamping, the packet walker and hostile data.
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <memory>
#include <random>
#include <vector>

#include "vorn/audio.h"

namespace {

// Least-significant-bit-first writer of 32-bit little-endian words.
struct BitWriter {
  std::vector<uint8_t> bytes;
  uint64_t bits = 0;
  void Put(uint32_t v, uint32_t n) {
    for (uint32_t i = 0; i < n; i++, bits++) {
      if (bits / 32 * 4 >= bytes.size()) bytes.resize(bytes.size() + 4, 0);
      if ((v >> i) & 1) bytes[bits / 8] |= (uint8_t)(1 << (bits % 8));
    }
  }
  void Align() { bits = (bits + 31) / 32 * 32; }
  // A group: length code -1 for 8 values, else 0-15; width; the values.
  void Group(int code, uint32_t width, const std::vector<int>& values) {
    Put(code >= 0, 1);
    if (code >= 0) Put((uint32_t)code, 4);
    Put(width, 4);
    if (!width) return;
    for (int v : values) {
      Put((uint32_t)abs(v), width);
      if (v) Put(v < 0, 1);
    }
  }
  // Block head: packed DC and Nyquist, then one scale per band.
  void Head(uint32_t dc, uint32_t nyquist, const std::vector<uint8_t>& scales) {
    Put(dc, 29);
    Put(nyquist, 29);
    for (uint8_t q : scales) Put(q, 8);
  }
  // Zero groups of 512 values up to the end of the block.
  void ZerosToEnd(uint32_t from, uint32_t n) {
    for (uint32_t i = from; i < n; i += 512) Group(15, 0, {});
  }
};

uint32_t Packed(uint32_t mantissa, uint32_t exponent, bool negative = false) {
  return exponent | mantissa << 5 | (uint32_t)negative << 28;
}

// A packed float holding an integer value below 2^23 exactly.
uint32_t PackedInt(int v) { return Packed((uint32_t)abs(v), 23, v < 0); }

// A block whose spectrum is DC and Nyquist only, every band scale 0.
std::vector<uint8_t> FlatBlock(const VornAudioGeometry& g, int dc, int nyquist) {
  BitWriter w;
  w.Head(PackedInt(dc), PackedInt(nyquist), std::vector<uint8_t>(g.bands, 0));
  w.ZerosToEnd(2, g.n);
  w.Align();
  return w.bytes;
}

struct Decoder {
  std::unique_ptr<VornAudio, void (*)(VornAudio*)> a;
  Decoder(uint32_t rate, uint32_t channels, uint32_t inState = 1)
      : a(VornAudioOpen(rate, channels, inState), VornAudioClose) {}
  // Decodes from an exact-size heap copy, so reads past it are caught.
  std::vector<int16_t> Block(const std::vector<uint8_t>& data, size_t* used = nullptr,
                             uint32_t* overrun = nullptr) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[data.size()]);
    if (!data.empty()) memcpy(copy.get(), data.data(), data.size());
    uint32_t pcm = 0, over = 0;
    const uint8_t* next = nullptr;
    const int16_t* s =
        VornAudioDecodeBlock(a.get(), copy.get(), copy.get() + data.size(), &pcm, &next, &over);
    EXPECT_EQ(pcm, (a->geo.n - a->geo.overlap) * 2);
    EXPECT_GE(next, copy.get());
    EXPECT_LE(next, copy.get() + data.size());
    if (used) *used = (size_t)(next - copy.get());
    if (overrun) *overrun = over;
    return std::vector<int16_t>(s, s + a->geo.n);
  }
};

TEST(VornAudio, Geometry) {
  struct Case {
    uint32_t rate, channels, n, overlap, bands, lastBandStart;
  };
  static const Case kCases[] = {
      {11025, 1, 512, 32, 20, 5300},  {22050, 1, 1024, 64, 23, 9500},
      {22050, 2, 2048, 128, 25, 15500}, {32000, 2, 2048, 128, 25, 15500},
      {44100, 2, 4096, 256, 25, 15500}, {8000, 1, 512, 32, 18, 3700},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.rate * 10 + c.channels);
    VornAudioGeometry g;
    ASSERT_TRUE(VornAudioGetGeometry(&g, c.rate, c.channels));
    EXPECT_EQ(g.n, c.n);
    EXPECT_EQ(g.overlap, c.overlap);
    EXPECT_EQ(g.bands, c.bands);
    EXPECT_EQ(VornAudioBandHz[g.bands - 1], c.lastBandStart);
    EXPECT_EQ(g.edges[0], 0u);
    EXPECT_EQ(g.edges[g.bands], c.n / 2);
    EXPECT_FLOAT_EQ(g.gain, 2 / sqrtf((float)c.n));
  }
  VornAudioGeometry g;
  ASSERT_TRUE(VornAudioGetGeometry(&g, 44100, 2));
  static const uint32_t kEdges[26] = {0,   4,   9,   13,  18,  23,  29,  35,  42,
                                      50,  58,  68,  79,  92,  107, 125, 146, 171,
                                      204, 246, 297, 357, 441, 557, 719, 2048};
  for (int i = 0; i < 26; i++) EXPECT_EQ(g.edges[i], kEdges[i]) << i;

  EXPECT_FALSE(VornAudioGetGeometry(&g, 0, 1));
  EXPECT_FALSE(VornAudioGetGeometry(&g, 22050, 0));
  EXPECT_FALSE(VornAudioGetGeometry(&g, 22050, 3));
  EXPECT_EQ(VornAudioOpen(22050, 3, 1), nullptr);
}

TEST(VornAudio, PackedFloatsAndScales) {
  struct Case {
    uint32_t bits;
    float value;
  };
  static const Case kCases[] = {
      {0x08000001, 1.0f},
      {0x18000001, -1.0f},
      {Packed(1000, 23), 1000.0f},
      {Packed(3, 0), 3.0f / 8388608.0f},
      {Packed(0, 17, true), -0.0f},
      {Packed(0x7FFFFF, 31), 8388607.0f * 256.0f},
      {Packed(1, 24, true), -2.0f},
      {0xE0000000 | Packed(5, 23), 5.0f},  // bits above 28 are not part of it
  };
  for (const Case& c : kCases) EXPECT_EQ(VornAudioUnpackFloat(c.bits), c.value) << c.bits;

  EXPECT_EQ(VornAudioBandScale(0), 1.0f);
  EXPECT_NEAR(VornAudioBandScale(15), pow(10.0, 0.996), 1e-5);
  EXPECT_NEAR(VornAudioBandScale(255) / pow(10.0, 0.0664 * 255), 1.0, 1e-5);
}

// With only DC and Nyquist set, every sample is exact: at 44100 stereo the
// gain is 1/32, so sample n = (dc + nyquist (-1)^n) / 64 before rounding.
TEST(VornAudio, RoundsHalvesToEvenAndClamps) {
  struct Case {
    int dc, nyquist;
    int16_t even, odd;
  };
  static const Case kCases[] = {
      {64 * 5, 0, 5, 5},
      {64 * 5 / 2, 0, 2, 2},  // 2.5
      {64 * 7 / 2, 0, 4, 4},  // 3.5
      {-64 * 5 / 2, 0, -2, -2},
      {-64 * 7 / 2, 0, -4, -4},
      {0, 64 * 100, 100, -100},
      {64 * 40000, 0, 32767, 32767},
      {-64 * 40000, 0, -32768, -32768},
      {64 * 32767 + 32, 0, 32767, 32767},  // 32767.5 rounds to 32768
      {-64 * 32768 - 32, 0, -32768, -32768},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.dc);
    Decoder d(44100, 2);
    std::vector<int16_t> out = d.Block(FlatBlock(d.a->geo, c.dc, c.nyquist));
    for (size_t i = 0; i < out.size(); i++) ASSERT_EQ(out[i], i & 1 ? c.odd : c.even) << i;
  }
}

TEST(VornAudio, CrossFadesFromTheSecondBlock) {
  for (uint32_t inState : {1u, 0u}) {
    Decoder d(44100, 2, inState);
    const uint32_t n = d.a->geo.n, l = d.a->geo.overlap;
    std::vector<int16_t> first = d.Block(FlatBlock(d.a->geo, 64 * 1000, 0));
    for (uint32_t i = 0; i < n; i++) ASSERT_EQ(first[i], 1000) << i;
    std::vector<int16_t> second = d.Block(FlatBlock(d.a->geo, -64 * 300, 0));
    EXPECT_EQ(second[0], 1000);
    EXPECT_EQ(second[1], 996 - 1);  // quotients truncate towards zero: -300 / 256 is -1
    EXPECT_EQ(second[128], 500 - 150);
    EXPECT_EQ(second[255], 3 - 298);
    for (uint32_t i = 0; i < l; i++)
      ASSERT_EQ(second[i], (int)(1000 * (l - i) / l) + (int)(-300 * (int)i / (int)l)) << i;
    for (uint32_t i = l; i < n; i++) ASSERT_EQ(second[i], -300) << i;
  }
}

// Direct double-precision evaluation of a block's samples from its
// dequantised spectrum.
std::vector<int> Expected(const VornAudioGeometry& g, const std::vector<double>& a) {
  const uint32_t n = g.n;
  std::vector<int> out(n);
  for (uint32_t i = 0; i < n; i++) {
    double y = (a[0] + (i & 1 ? -a[1] : a[1])) / 2;
    for (uint32_t k = 1; k < n / 2; k++) {
      double ang = 2 * M_PI * (double)(k * i % n) / n;
      y += a[2 * k] * cos(ang) + a[2 * k + 1] * sin(ang);
    }
    out[i] = (int)std::min(32767.0, std::max(-32768.0, nearbyint(y * g.gain)));
  }
  return out;
}

// Every group form in one block at 11025 mono (20 bands, bin edges 0, 4, 9,
// 13, ...): 8-value groups with zeros (no sign bit) and negatives, a width-0
// group of 8 (5 bits) and one of 16 (9 bits), a coded length, a group cut
// short by the end of the block, band scales other than 1, and a second
// block right after the first.
TEST(VornAudio, CoefficientGroups) {
  Decoder d(11025, 1);
  const VornAudioGeometry& g = d.a->geo;
  const uint32_t n = g.n;
  ASSERT_EQ(n, 512u);
  std::vector<uint8_t> scales(g.bands, 0);
  scales[0] = 10;
  scales[1] = 3;
  scales[19] = 20;

  BitWriter w;
  std::vector<int> c(n, 0);
  w.Head(PackedInt(300), Packed(0x400000, 1, true), scales);
  auto group = [&](int code, uint32_t width, uint32_t at, std::vector<int> values) {
    w.Group(code, width, values);
    for (size_t i = 0; i < values.size(); i++) c[at + i] = values[i];
  };
  group(-1, 5, 2, {3, 0, -17, 31, 0, 0, -1, 1});         // indices 2..9
  group(-1, 0, 10, {});                                   // 10..17
  group(0, 0, 18, {});                                    // 18..33 (16 values)
  std::vector<int> ramp(24);
  for (int i = 0; i < 24; i++) ramp[i] = (i % 3 ? 1 : -1) * (i * 37 % 100);
  group(1, 7, 34, ramp);                                  // 34..57 (24 values)
  std::vector<int> tail(512 - 498);
  for (size_t i = 0; i < tail.size(); i++) tail[i] = (int)i - 8;
  for (uint32_t i = 58; i < 498; i += 8) group(-1, 0, i, {});
  group(15, 5, 498, tail);                                // 512 long, cut at 512
  w.Align();
  const size_t firstBytes = w.bytes.size();
  std::vector<uint8_t> second = FlatBlock(g, 64 * 7, 0);
  w.bytes.insert(w.bytes.end(), second.begin(), second.end());

  std::vector<double> a(n, 0.0);
  a[0] = 300;
  a[1] = -1;
  for (uint32_t b = 0; b < g.bands; b++)
    for (uint32_t k = std::max(1u, g.edges[b]); k < g.edges[b + 1]; k++) {
      a[2 * k] = c[2 * k] * pow(10.0, 0.0664 * scales[b]);
      a[2 * k + 1] = c[2 * k + 1] * pow(10.0, 0.0664 * scales[b]);
    }
  std::vector<int> want = Expected(g, a);

  size_t used = 0;
  uint32_t overrun = 1;
  std::vector<int16_t> got = d.Block(w.bytes, &used, &overrun);
  EXPECT_EQ(used, firstBytes);
  EXPECT_EQ(overrun, 0u);
  for (uint32_t i = 0; i < n; i++) ASSERT_NEAR(got[i], want[i], 1) << i;

  std::vector<uint8_t> rest(w.bytes.begin() + (long)used, w.bytes.end());
  std::vector<int16_t> next = d.Block(rest, &used, &overrun);
  EXPECT_EQ(used, rest.size());
  EXPECT_EQ(overrun, 0u);
  for (uint32_t i = g.overlap; i < n; i++) ASSERT_EQ(next[i], 20) << i;  // 224 * 2 / sqrt(512)
}

std::vector<uint8_t> Packet(uint32_t owed, const std::vector<std::vector<uint8_t>>& blocks) {
  std::vector<uint8_t> p = {(uint8_t)owed, (uint8_t)(owed >> 8), (uint8_t)(owed >> 16),
                            (uint8_t)(owed >> 24)};
  for (const auto& b : blocks) p.insert(p.end(), b.begin(), b.end());
  return p;
}

// First sample of the next block: the saved tail of the last block decoded.
int16_t TailStart(Decoder& d) {
  return d.Block(FlatBlock(d.a->geo, 0, 0))[0];
}

// 22050 mono: 1920 new bytes per block. Constant blocks of 10, 20, 30 (the
// gain is 1/16, so dc 32 v gives v).
TEST(VornAudio, PacketWalk) {
  VornAudioGeometry g;
  ASSERT_TRUE(VornAudioGetGeometry(&g, 22050, 1));
  const std::vector<uint8_t> b10 = FlatBlock(g, 32 * 10, 0);
  const std::vector<uint8_t> b20 = FlatBlock(g, 32 * 20, 0);
  const std::vector<uint8_t> b30 = FlatBlock(g, 32 * 30, 0);
  const std::vector<uint8_t> packet = Packet(1920 + 101, {b10, b20, b30});
  std::vector<int16_t> block1, block2;
  {
    Decoder d(22050, 1);
    block1 = d.Block(b10);
    block2 = d.Block(b20);
  }
  ASSERT_EQ(block1[500], 10);
  ASSERT_EQ(block2[500], 20);

  struct Case {
    uint32_t capacity, written;
    int16_t tail;  // the block the next one fades from
  };
  static const Case kCases[] = {{4000, 2021, 20}, {2021, 2021, 20}, {1000, 1000, 10}, {0, 0, 0}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.capacity);
    Decoder d(22050, 1);
    std::vector<uint8_t> out(c.capacity + 16, 0xAA);
    EXPECT_EQ(VornAudioDecodePacket(d.a.get(), packet.data(), (uint32_t)packet.size(), out.data(),
                                    c.capacity),
              c.written);
    EXPECT_EQ(memcmp(out.data(), block1.data(), std::min(c.written, 1920u)), 0);
    if (c.written > 1920) {
      EXPECT_EQ(memcmp(out.data() + 1920, block2.data(), 101), 0);
    }
    EXPECT_EQ(out[c.written], 0xAA);
    EXPECT_EQ(TailStart(d), c.tail);
  }

  // The ring form wraps at the ring's end.
  Decoder lin(22050, 1), ring(22050, 1);
  std::vector<uint8_t> want(2021), got(3000, 0xAA);
  ASSERT_EQ(VornAudioDecodePacket(lin.a.get(), packet.data(), (uint32_t)packet.size(), want.data(),
                                  2021),
            2021u);
  ASSERT_EQ(VornAudioDecodePacketRing(ring.a.get(), packet.data(), (uint32_t)packet.size(),
                                      got.data(), 3000, 2500, 2900),
            2021u);
  EXPECT_EQ(memcmp(got.data() + 2500, want.data(), 500), 0);
  EXPECT_EQ(memcmp(got.data(), want.data() + 500, 1521), 0);
  EXPECT_EQ(got[1521], 0xAA);

  // Empty and malformed packets decode nothing.
  for (uint32_t size : {0u, 3u}) {
    Decoder d(22050, 1);
    EXPECT_EQ(VornAudioDecodePacket(d.a.get(), packet.data(), size, got.data(), 3000), 0u);
    EXPECT_EQ(d.a->first, 1u);
  }
  Decoder d(22050, 1);
  const std::vector<uint8_t> none = Packet(0, {b10});
  EXPECT_EQ(VornAudioDecodePacket(d.a.get(), none.data(), (uint32_t)none.size(), got.data(), 3000),
            0u);
  EXPECT_EQ(d.a->first, 1u);
}

// A block with the largest values everywhere: widths 15, 512-value groups,
// scales 255, exponents 31.
std::vector<uint8_t> LoudBlock(const VornAudioGeometry& g, uint64_t* bits) {
  BitWriter w;
  w.Head(Packed(0x7FFFFF, 31), Packed(0x7FFFFF, 31, true), std::vector<uint8_t>(g.bands, 255));
  std::mt19937 rng(1);
  for (uint32_t i = 2; i < g.n; i += 512) {
    std::vector<int> v(std::min(512u, g.n - i));
    for (int& x : v) x = rng() & 1 ? 32767 : -32767;
    w.Group(15, 15, v);
  }
  *bits = w.bits;
  w.Align();
  return w.bytes;
}

TEST(VornAudio, TruncatedBlocksStayInBounds) {
  Decoder d(22050, 2);
  uint64_t bits = 0;
  const std::vector<uint8_t> full = LoudBlock(d.a->geo, &bits);
  for (size_t cut = 0; cut <= full.size(); cut += cut < 64 ? 1 : 61) {
    SCOPED_TRACE(cut);
    size_t used = 0;
    uint32_t overrun = 0;
    d.Block(std::vector<uint8_t>(full.begin(), full.begin() + (long)cut), &used, &overrun);
    EXPECT_EQ(overrun, cut * 8 < bits);
    EXPECT_EQ(used, overrun ? cut : full.size());
  }
  // Decoding from nothing at all.
  uint32_t pcm, overrun;
  const uint8_t* next;
  uint8_t none;
  VornAudioDecodeBlock(d.a.get(), &none, &none, &pcm, &next, &overrun);
  EXPECT_EQ(next, &none);
  EXPECT_EQ(overrun, 1u);
}

TEST(VornAudio, HostilePacketsStayInBounds) {
  std::mt19937 rng(5);
  for (int round = 0; round < 300; round++) {
    static const uint32_t kRates[] = {11025, 22050, 44100};
    Decoder d(kRates[round % 3], 1 + round % 2);
    const uint32_t size = rng() % 6000;
    std::unique_ptr<uint8_t[]> packet(new uint8_t[size + 1]);
    const int fill = round % 4;  // random, all ones, all zeros, random with a huge count
    for (uint32_t i = 0; i < size; i++)
      packet[i] = fill == 1 ? 0xFF : fill == 2 ? 0 : (uint8_t)rng();
    if (fill == 3 && size >= 4) memset(packet.get(), 0xFF, 4);
    const uint32_t capacity = rng() % 20000;
    std::unique_ptr<uint8_t[]> out(new uint8_t[capacity + 1]);
    uint32_t written = VornAudioDecodePacket(d.a.get(), packet.get(), size, out.get(), capacity);
    EXPECT_LE(written, capacity);
    if (size >= 4) {
      uint32_t owed = packet[0] | packet[1] << 8 | packet[2] << 16 | (uint32_t)packet[3] << 24;
      EXPECT_LE(written, owed);
    } else {
      EXPECT_EQ(written, 0u);
    }
  }
  // The loudest block clamps instead of overflowing.
  Decoder d(44100, 2);
  uint64_t bits;
  std::vector<int16_t> out = d.Block(LoudBlock(d.a->geo, &bits));
  size_t railed = 0;
  for (int16_t s : out) railed += s == 32767 || s == -32768;
  EXPECT_GT(railed, out.size() / 2);
}

TEST(VornAudio, RoundKernelsMatchReference) {
  std::mt19937 rng(9);
  std::vector<float> y(4096);
  static const float kSpecial[] = {0.5f, 1.5f, 2.5f, -0.5f, -2.5f, 32767.5f, -32768.5f, 1e30f,
                                   -1e30f, INFINITY, -INFINITY, NAN, -0.0f, 65534.0f, 65535.0f};
  for (size_t i = 0; i < y.size(); i++)
    y[i] = i < 15 ? kSpecial[i] * 2 : (float)((int32_t)rng() % 200000) / 3.0f;
  std::vector<int16_t> want(y.size()), got(y.size());
  VornAudioRoundKernel(VORN_ROUND_REFERENCE)(want.data(), y.data(), 0.5f, (uint32_t)y.size());
  static const int16_t kWant[] = {0,      2,     2,      0,     -2,    32767, -32768, 32767,
                                  -32768, 32767, -32768, 0,     0,     32767, 32767};
  for (int i = 0; i < 15; i++) EXPECT_EQ(want[i], kWant[i]) << i;
  for (int k = 1; k < VORN_ROUND_KERNELS; k++) {
    VornAudioRoundProc round = VornAudioRoundKernel(k);
    if (!round) continue;
    round(got.data(), y.data(), 0.5f, (uint32_t)y.size());
    EXPECT_EQ(got, want) << k;
  }
}

TEST(VornAudio, To8Bit) {
  static const int16_t kIn[] = {0, 255, 256, -1, -256, -257, 32767, -32768, 0x1234};
  static const uint8_t kOut[] = {128, 128, 129, 127, 127, 126, 255, 0, 0x92};
  uint8_t out[9];
  VornAudioTo8Bit(out, kIn, 9);
  EXPECT_EQ(memcmp(out, kOut, 9), 0);
  int16_t same[9];
  memcpy(same, kIn, sizeof same);
  VornAudioTo8Bit((uint8_t*)same, same, 9);
  EXPECT_EQ(memcmp(same, kOut, 9), 0);
}

}  // namespace
