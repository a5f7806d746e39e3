// Frame copy geometry: changed-block conversion, scaling modes, bottom-up
// buffers, the doubled-line writers, the planar copy, the exported 32-bit
// entry points and argument checks.
#include <gtest/gtest.h>

#include "convert_test_util.h"
#include "vorn/convert_impl.h"

namespace {

// A destination of `lines` lines of |pitch| bytes; a negative pitch stores
// them bottom-up.
struct Dest {
  int32_t pitch, lines;
  std::vector<uint8_t> buf;
  Dest(int32_t p, int32_t n, uint8_t fill = 0xEE)
      : pitch(p), lines(n), buf((size_t)(p < 0 ? -p : p) * n, fill) {}
  size_t AbsPitch() const { return pitch < 0 ? -pitch : pitch; }
  uint8_t* Line(int32_t y) { return buf.data() + AbsPitch() * (pitch < 0 ? lines - 1 - y : y); }
};

int32_t Frame(Dest& d, TestPicture& pic, uint32_t flags, const uint8_t* map = nullptr,
              const uint8_t* alpha = nullptr, int32_t x = 0, int32_t y = 0) {
  return VornConvertFrame(d.buf.data(), d.pitch, d.lines, x, y, pic.planes.data(), alpha, map,
                          pic.width, pic.height, pic.pitch, pic.rows, flags);
}

TEST(ConvertFrame, ChangedBlocksTouchOnlyMarkedAreas) {
  struct Case {
    uint32_t format, mode;
    int32_t sign;
  } cases[] = {{3, 0, 1}, {1, 4, -1}, {13, 2, 1}, {10, 6, -1}, {14, 3, 1}, {5, 1, 1}};
  std::mt19937 rng(7);
  TestPicture pic(100, 70);  // 6 x 4 whole blocks, a 4-column strip and a 6-row strip
  pic.Fill(rng, false);
  int32_t bw = pic.pitch / 16;
  std::vector<uint8_t> map((size_t)bw * (pic.rows / 16) + 1, 0);
  auto mark = [&](int32_t bx, int32_t by) { map[(size_t)by * bw + bx] = 1; };
  mark(0, 0), mark(2, 0), mark(3, 0), mark(5, 3), mark(1, 2), mark(6, 1);
  for (const Case& c : cases) {
    int32_t ws = WidthScale(c.mode), hs = HeightScale(c.mode), bpp = VornFormatBytes(c.format);
    int32_t rowBytes = 100 * ws * bpp, lines = 70 * hs;
    // Two spare lines and 8 spare bytes a line stay untouched.
    Dest whole((rowBytes + 8) * c.sign, lines + 2), part((rowBytes + 8) * c.sign, lines + 2);
    uint32_t flags = c.format | ModeFlags(c.mode);
    ASSERT_EQ(Frame(whole, pic, flags, map.data(), pic.alpha.data()), 1);
    ASSERT_EQ(Frame(part, pic, flags, map.data(), nullptr), 1);
    Dest wholeNoAlpha((rowBytes + 8) * c.sign, lines + 2);
    ASSERT_EQ(Frame(wholeNoAlpha, pic, flags | VORN_COPY_WHOLE, map.data()), 1);
    for (int32_t y = 0; y < lines + 2; y++) {
      int32_t r = y / hs;
      for (int32_t x = 0; x < rowBytes + 8; x++) {
        int32_t col = x / bpp / ws;
        bool inside = y < lines && x < rowBytes;
        bool converted = inside && (col >= 96 || r >= 64 || map[(size_t)(r / 16) * bw + col / 16]);
        uint8_t got = part.Line(y)[x];
        uint8_t want = converted ? wholeNoAlpha.Line(y)[x] : 0xEE;
        ASSERT_EQ(got, want) << "format " << c.format << " mode " << c.mode << " line " << y
                             << " byte " << x;
      }
    }
    // A map with every area marked converts everything, like the whole flag.
    std::vector<uint8_t> all(map.size(), 1);
    all.back() = 0;
    Dest full((rowBytes + 8) * c.sign, lines + 2);
    ASSERT_EQ(Frame(full, pic, flags, all.data()), 1);
    EXPECT_TRUE(full.buf == wholeNoAlpha.buf);
  }
}

// Each scaling mode against the 1x conversion of the same picture.
TEST(ConvertFrame, ScalingModes) {
  std::mt19937 rng(11);
  TestPicture pic(37, 21);
  pic.Fill(rng, false);
  for (uint32_t format : {1u, 3u, 9u}) {
    int32_t bpp = VornFormatBytes(format);
    Dest base(37 * bpp, 21);
    ASSERT_EQ(Frame(base, pic, format), 1);
    for (uint32_t mode = 1; mode <= 6; mode++) {
      int32_t ws = WidthScale(mode), hs = HeightScale(mode);
      Dest d(37 * bpp * ws, 21 * hs);
      ASSERT_EQ(Frame(d, pic, format | ModeFlags(mode)), 1);
      // Lines left alone: the odd ones of the interlaced modes; in mode 6
      // those of odd source rows.
      bool skipOdd = mode == 2 || mode == 5 || mode == 6;
      for (int32_t y = 0; y < 21 * hs; y++) {
        for (int32_t x = 0; x < 37 * ws; x++) {
          const uint8_t* got = d.Line(y) + x * bpp;
          if (skipOdd && (y & 1)) {
            for (int32_t k = 0; k < bpp; k++) ASSERT_EQ(got[k], 0xEE);
            continue;
          }
          ASSERT_EQ(0, memcmp(got, base.Line(y / hs) + x / ws * bpp, bpp))
              << "format " << format << " mode " << mode << " at " << x << "," << y;
        }
      }
    }
  }
}

// Packed YUV: an output pixel takes U at even columns and V at odd ones, from
// its own chroma sample, whatever the source and output offsets.
TEST(ConvertFrame, PackedYuvSlots) {
  std::mt19937 rng(5);
  TestPicture pic(40, 4);
  pic.Fill(rng, false);
  struct Case {
    uint32_t flags;
    int32_t sx, x;
  } cases[] = {{VORN_FMT_YUY2, 0, 0}, {VORN_FMT_YUY2, 1, 0}, {VORN_FMT_UYVY, 2, 1},
               {VORN_FMT_YUY2 | ModeFlags(3), 3, 1}, {VORN_FMT_UYVY | VORN_COPY_EXCHANGE, 1, 3}};
  for (const Case& c : cases) {
    int32_t ws = (c.flags & VORN_COPY_MODE) ? 2 : 1, w = 33;
    std::vector<uint8_t> out((size_t)(c.x + w * ws) * 2 * 2);
    ASSERT_EQ(VornConvertRect(out.data(), c.x, 0, (c.x + w * ws) * 2, 2, pic.planes.data(),
                              nullptr, c.sx, 1, w, 2, pic.pitch, pic.rows, c.flags),
              1);
    bool uyvy = (c.flags & 15) == VORN_FMT_UYVY, ex = c.flags & VORN_COPY_EXCHANGE;
    for (int32_t line = 0; line < 2; line++) {
      for (int32_t i = 0; i < w * ws; i++) {
        int32_t X = c.x + i, col = c.sx + i / ws, row = 1 + line;
        const uint8_t* p = out.data() + (size_t)line * (c.x + w * ws) * 2 + X * 2;
        uint8_t u = ex ? *pic.First(col / 2, row / 2) : *pic.Second(col / 2, row / 2);
        uint8_t v = ex ? *pic.Second(col / 2, row / 2) : *pic.First(col / 2, row / 2);
        EXPECT_EQ(p[uyvy ? 1 : 0], *pic.Y(col, row));
        EXPECT_EQ(p[uyvy ? 0 : 1], (X & 1) ? v : u) << "flags " << c.flags << " X " << X;
      }
    }
  }
}

TEST(ConvertFrame, BottomUpIsTheFlippedPicture) {
  std::mt19937 rng(3);
  TestPicture pic(45, 19);
  pic.Fill(rng, false);
  for (uint32_t flags : {3u, 2u | ModeFlags(4), 13u | ModeFlags(2), 15u}) {
    int32_t row = 45 * 2 * 4 + 3;
    Dest down(row, 40), up(-row, 40);
    if ((flags & 15) == 15) {  // room for the chroma planes
      down.buf.resize((size_t)row * 40 + (row / 2) * 20 * 2, 0xEE);
      up.buf.resize(down.buf.size(), 0xEE);
    }
    ASSERT_EQ(Frame(down, pic, flags, nullptr, nullptr, 2, 1), 1);
    ASSERT_EQ(Frame(up, pic, flags, nullptr, nullptr, 2, 1), 1);
    if ((flags & 15) == 15) {
      // Planar: each plane on its own is bottom-up.
      uint8_t* d = down.buf.data();
      uint8_t* u = up.buf.data();
      for (int32_t y = 0; y < 40; y++)
        ASSERT_EQ(0, memcmp(d + (size_t)y * row, u + (size_t)(39 - y) * row, row));
      for (int32_t p = 0; p < 2; p++) {
        size_t base = (size_t)row * 40 + (size_t)p * (row / 2) * 20;
        for (int32_t y = 0; y < 20; y++)
          ASSERT_EQ(0, memcmp(d + base + (size_t)y * (row / 2), u + base + (size_t)(19 - y) * (row / 2),
                              row / 2));
      }
    } else {
      for (int32_t y = 0; y < 40; y++) ASSERT_EQ(0, memcmp(down.Line(y), up.Line(y), row)) << y;
    }
  }
}

TEST(ConvertFrame, DoubledLineWritersAgree) {
  std::mt19937 rng(9);
  TestPicture pic(1100, 9);  // wider than one line-buffer chunk
  pic.Fill(rng, false);
  for (uint32_t flags : {3u | ModeFlags(4), 13u | ModeFlags(1), 1u | ModeFlags(1) | VORN_COPY_GRAY}) {
    int32_t row = 1100 * 2 * 4;
    std::vector<Dest> out;
    for (int32_t writer : {0, 1, -1}) {
      VornConvSetLineWriter(writer);
      out.emplace_back(row, 18);
      // Odd start column and several calls, so tuning makes its choice.
      for (int32_t i = 0; i < 40; i++)
        ASSERT_EQ(VornConvertRect(out.back().buf.data(), 0, 0, row, 18, pic.planes.data(), nullptr,
                                  1, 0, 1099, 9, pic.pitch, pic.rows, flags),
                  1);
    }
    VornConvSetLineWriter(-1);
    EXPECT_TRUE(out[0].buf == out[1].buf) << flags;
    EXPECT_TRUE(out[0].buf == out[2].buf) << flags;
  }
}

TEST(ConvertFrame, PlanarCopy) {
  std::mt19937 rng(13);
  TestPicture pic(21, 10);  // odd width: the last column is not copied
  pic.Fill(rng, false);
  for (uint32_t extra : {0u, VORN_COPY_GRAY, VORN_COPY_EXCHANGE}) {
    const int32_t pitch = 24, lines = 12;
    std::vector<uint8_t> out((size_t)pitch * lines * 3 / 2, 0xEE);
    ASSERT_EQ(VornConvertFrame(out.data(), pitch, lines, 0, 0, pic.planes.data(), nullptr, nullptr,
                               21, 10, pic.pitch, pic.rows, VORN_FMT_YV12 | extra),
              1);
    for (int32_t y = 0; y < lines; y++)
      for (int32_t x = 0; x < pitch; x++)
        ASSERT_EQ(out[(size_t)y * pitch + x], x < 20 && y < 10 ? *pic.Y(x, y) : 0xEE) << x << "," << y;
    for (int32_t p = 0; p < 2; p++) {
      const uint8_t* plane = out.data() + pitch * lines + p * (pitch / 2) * (lines / 2);
      for (int32_t y = 0; y < lines / 2; y++)
        for (int32_t x = 0; x < pitch / 2; x++) {
          bool first = (p == 0) != (extra == VORN_COPY_EXCHANGE);
          uint8_t src = first ? *pic.First(x, y) : *pic.Second(x, y);
          uint8_t want = x < 10 && y < 5 ? (extra == VORN_COPY_GRAY ? 128 : src) : 0xEE;
          ASSERT_EQ(plane[y * (pitch / 2) + x], want) << p << ": " << x << "," << y;
        }
    }
  }
  // An odd start is rounded up and the size down to even.
  std::vector<uint8_t> out(16 * 8 * 3 / 2, 0xEE);
  ASSERT_EQ(VornConvertRect(out.data(), 0, 0, 16, 8, pic.planes.data(), nullptr, 3, 1, 6, 5,
                            pic.pitch, pic.rows, VORN_FMT_YV12),
            1);
  // Source columns 4-7 and rows 2-5 land at x 1, y 1.
  for (int32_t y = 0; y < 8; y++)
    for (int32_t x = 0; x < 16; x++) {
      bool in = x >= 1 && x < 5 && y >= 1 && y < 5;
      ASSERT_EQ(out[y * 16 + x], in ? *pic.Y(x + 3, y + 1) : 0xEE) << x << "," << y;
    }
}

TEST(ConvertFrame, KorutilEntryPoints) {
  std::mt19937 rng(17);
  TestPicture pic(50, 30);
  pic.Fill(rng, false);
  YUV_init(-1);
  struct Case {
    const uint8_t* alpha;
    uint32_t format;
  } cases[] = {{nullptr, VORN_FMT_BGR32}, {pic.alpha.data(), VORN_FMT_BGRA32}};
  for (const Case& c : cases) {
    for (uint32_t extra : {0u, VORN_COPY_GRAY | ModeFlags(5), VORN_COPY_EXCHANGE | ModeFlags(1)}) {
      const int32_t pitch = 2 * 50 * 4;
      std::vector<uint8_t> want((size_t)pitch * 60, 0xEE), got(want.size(), 0xEE);
      ASSERT_EQ(VornConvertRect(want.data(), 3, 1, pitch, 0, pic.planes.data(), c.alpha, 5, 3, 40,
                                25, pic.pitch, pic.rows, c.format | extra),
                1);
      // Format bits are ignored.
      int32_t ok = c.alpha ? YUV_blit_32abpp(got.data(), 3, 1, pitch, pic.planes.data(), 5, 3, 40,
                                             25, pic.pitch, pic.rows, c.alpha, 12 | extra)
                           : YUV_blit_32bpp(got.data(), 3, 1, pitch, pic.planes.data(), 5, 3, 40,
                                            25, pic.pitch, pic.rows, 12 | extra);
      ASSERT_EQ(ok, 1);
      EXPECT_TRUE(want == got);
    }
  }
  // Without an alpha plane the alpha form is format 3 exactly.
  std::vector<uint8_t> a(50 * 4 * 30), b(50 * 4 * 30);
  YUV_blit_32abpp(a.data(), 0, 0, 200, pic.planes.data(), 0, 0, 50, 30, pic.pitch, pic.rows, nullptr, 0);
  YUV_blit_32bpp(b.data(), 0, 0, 200, pic.planes.data(), 0, 0, 50, 30, pic.pitch, pic.rows, 0);
  EXPECT_TRUE(a == b);
}

TEST(ConvertFrame, ClipsToDestinationHeight) {
  std::mt19937 rng(19);
  TestPicture pic(32, 20);
  pic.Fill(rng, false);
  for (uint32_t flags : {3u | ModeFlags(1), 3u | ModeFlags(2), 3u, 15u}) {
    for (int32_t sign : {1, -1}) {
      // 11 lines given, 3 more guard lines after them in memory.
      const int32_t row = 32 * 4;
      std::vector<uint8_t> buf((size_t)row * 20 * 2, 0xEE);
      uint8_t* dest = buf.data() + (sign < 0 ? (size_t)row * 3 : 0);
      ASSERT_EQ(VornConvertFrame(dest, row * sign, 11, 0, 2, pic.planes.data(), nullptr, nullptr,
                                 32, 20, pic.pitch, pic.rows, flags),
                1);
      size_t used = (flags & 15) == 15 ? (size_t)row * 11 + (row / 2) * 5 * 2 : (size_t)row * 11;
      size_t lo = sign < 0 ? (size_t)row * 3 : 0;
      for (size_t i = 0; i < buf.size(); i++) {
        if (i < lo || i >= lo + used) {
          ASSERT_EQ(buf[i], 0xEE) << flags << " byte " << i;
        }
      }
    }
  }
}

TEST(ConvertFrame, RejectsBadArguments) {
  TestPicture pic(16, 16);
  std::vector<uint8_t> out(16 * 16 * 4);
  uint8_t* d = out.data();
  const uint8_t* p = pic.planes.data();
  EXPECT_EQ(VornConvertFrame(nullptr, 64, 16, 0, 0, p, nullptr, nullptr, 16, 16, 16, 16, 3), 0);
  EXPECT_EQ(VornConvertFrame(d, 64, 16, 0, 0, nullptr, nullptr, nullptr, 16, 16, 16, 16, 3), 0);
  EXPECT_EQ(VornConvertFrame(d, 64, 16, 0, 0, p, nullptr, nullptr, 17, 16, 16, 16, 3), 0);
  EXPECT_EQ(VornConvertFrame(d, 64, 16, 0, 0, p, nullptr, nullptr, 15, 16, 15, 16, 3), 0);
  EXPECT_EQ(VornConvertFrame(d, 64, 16, 0, 16, p, nullptr, nullptr, 16, 16, 16, 16, 3), 0);
  EXPECT_EQ(VornConvertFrame(d, 0, 16, 0, 0, p, nullptr, nullptr, 16, 16, 16, 16, 3), 0);
  EXPECT_EQ(VornConvertFrame(d, 64, 0, 0, 0, p, nullptr, nullptr, 16, 16, 16, 16, 3), 0);
  EXPECT_EQ(VornConvertRect(d, 0, 0, 64, 0, p, nullptr, 1, 0, 16, 16, 16, 16, 3), 0);
  EXPECT_EQ(VornConvertRect(d, -1, 0, 64, 0, p, nullptr, 0, 0, 16, 16, 16, 16, 3), 0);
  EXPECT_EQ(VornConvertRect(d, 0, 0, 64, 0, p, nullptr, 0, 0, 16, 16, 16, 16, 15), 0);
  // Format 0 copies nothing and succeeds.
  EXPECT_EQ(VornConvertFrame(d, 64, 16, 0, 0, p, nullptr, nullptr, 16, 16, 16, 16, 0), 1);
}

}  // namespace
