// Pixel values of every format against the colour formulas worked out here
// on chosen pixels (luma scaled from 16..235, chroma terms truncated toward
// zero, clamped sums; the gray ramp), for every backend, in colour,
// grayscale and with the chroma exchange.
#include <gtest/gtest.h>

#include "convert_test_util.h"
#include "vorn/convert_impl.h"

namespace {

int32_t Clamp(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
int32_t Luma(int32_t y) {
  int32_t t = y < 16 ? 0 : y > 235 ? 219 : y - 16;
  return t * 38154 / 32768;
}
int32_t Term(int32_t k, int32_t c) { return k * (c - 128) / 32768; }
int32_t Gray(int32_t y) { return y <= 16 ? 0 : y >= 235 ? 255 : (y - 16) * 255 / 219; }

struct Pixel {
  int32_t y, v, u, a;  // v: red difference, u: blue difference
};

// Bytes of one output pixel at column x.
std::vector<uint8_t> Expect(uint32_t format, uint32_t flags, Pixel p, bool hasAlpha, int32_t x) {
  bool gray = flags & VORN_COPY_GRAY, exchange = flags & VORN_COPY_EXCHANGE;
  // Exchanged files keep the blue difference in the first plane.
  if (exchange) std::swap(p.u, p.v);
  int32_t l = Luma(p.y);
  int32_t r = Clamp(l + Term(52299, p.v)), g = Clamp(l + Term(-26639, p.v) + Term(-12837, p.u)),
          b = Clamp(l + Term(66101, p.u));
  if (gray) r = g = b = Gray(p.y);
  int32_t a = hasAlpha ? p.a : 0;
  static const int32_t kFields[6][4] = {{4, 4, 4, 8},  {5, 5, 5, 10}, {5, 5, 5, 10},
                                        {5, 6, 5, 11}, {5, 5, 6, 11}, {4, 6, 6, 12}};
  switch (format) {
    case 1: return {(uint8_t)b, (uint8_t)g, (uint8_t)r};
    case 2: return {(uint8_t)r, (uint8_t)g, (uint8_t)b};
    case 3: case 5: return {(uint8_t)b, (uint8_t)g, (uint8_t)r, (uint8_t)(format == 5 ? a : 0)};
    case 4: case 6: return {(uint8_t)r, (uint8_t)g, (uint8_t)b, (uint8_t)(format == 6 ? a : 0)};
    case 13: case 14: {
      uint8_t c = (uint8_t)(gray ? 128 : (x & 1) ? p.v : p.u);
      return format == 13 ? std::vector<uint8_t>{(uint8_t)p.y, c} : std::vector<uint8_t>{c, (uint8_t)p.y};
    }
    default: {
      const int32_t* f = kFields[format - 7];
      uint32_t w = (r >> (8 - f[0])) << f[3] | (g >> (8 - f[1])) << f[2] | b >> (8 - f[2]);
      if (format == 7) w |= (uint32_t)(a >> 4) << 12;
      if (format == 8) w |= (uint32_t)(a >> 7) << 15;
      return {(uint8_t)w, (uint8_t)(w >> 8)};
    }
  }
}

std::vector<const VornConvBackend*> AllBackends() {
  std::vector<const VornConvBackend*> v{VornConvBackendRef()};
  if (const VornConvBackend* b = VornConvBackendSse2()) v.push_back(b);
  if (const VornConvBackend* b = VornConvBackendAvx2()) v.push_back(b);
  return v;
}

TEST(ConvertColour, FormulasOnChosenPixels) {
  static const Pixel kPixels[] = {
      {16, 128, 128, 0},    {235, 128, 128, 255}, {235, 255, 128, 128}, {0, 0, 0, 17},
      {255, 255, 255, 240}, {81, 90, 240, 127},   {200, 20, 30, 8},     {128, 200, 60, 200},
      {17, 129, 127, 16},   {234, 127, 129, 1},
  };
  static const uint32_t kVariants[] = {0, VORN_COPY_GRAY, VORN_COPY_EXCHANGE};
  const int32_t W = 48;  // whole SIMD groups and a tail
  TestPicture pic(W, 2);
  for (const VornConvBackend* be : AllBackends()) {
    for (const Pixel& p : kPixels) {
      pic.Set((uint8_t)p.y, (uint8_t)p.v, (uint8_t)p.u, (uint8_t)p.a);
      for (uint32_t format = 1; format <= 14; format++) {
        for (uint32_t variant : kVariants) {
          for (uint32_t mode : {0u, 3u}) {
            for (bool hasAlpha : {false, true}) {
              int32_t ws = WidthScale(mode), bpp = VornFormatBytes(format);
              std::vector<uint8_t> out((size_t)W * ws * bpp * 2, 0xCC);
              ASSERT_EQ(VornConvertFrameWith(be, out.data(), W * ws * bpp, 2, 0, 0,
                                             pic.planes.data(), hasAlpha ? pic.alpha.data() : nullptr,
                                             nullptr, W, 2, pic.pitch, pic.rows,
                                             format | variant | ModeFlags(mode)),
                        1);
              for (int32_t x = 0; x < W * ws * 2; x++) {
                std::vector<uint8_t> want = Expect(format, variant, p, hasAlpha, x % (W * ws));
                ASSERT_EQ(0, memcmp(out.data() + (size_t)x * bpp, want.data(), bpp))
                    << be->name << " format " << format << " flags 0x" << std::hex << variant
                    << std::dec << " mode " << mode << " alpha " << hasAlpha << " pixel (" << p.y
                    << "," << p.v << "," << p.u << ") column " << x;
              }
            }
          }
        }
      }
    }
  }
}

TEST(ConvertColour, NamedEdges) {
  TestPicture pic(2, 2);
  uint32_t px[4];
  auto convert = [&](uint32_t flags) {
    VornConvertFrame((uint8_t*)px, 8, 2, 0, 0, pic.planes.data(), nullptr, nullptr, 2, 2,
                     pic.pitch, pic.rows, flags);
    return px[0];
  };
  pic.Set(16, 128, 128, 0);
  EXPECT_EQ(convert(VORN_FMT_BGR32), 0x000000u);
  pic.Set(235, 128, 128, 0);
  EXPECT_EQ(convert(VORN_FMT_BGR32), 0xFEFEFEu);
  EXPECT_EQ(convert(VORN_FMT_BGR32 | VORN_COPY_GRAY), 0xFFFFFFu);
  pic.Set(235, 255, 128, 0);
  EXPECT_EQ(convert(VORN_FMT_BGR32) >> 16, 0xFFu);  // red clamps
  // Format 3 is the dword 0x00RRGGBB, format 4 0x00BBGGRR.
  pic.Set(81, 90, 240, 0);
  uint32_t bgr = convert(VORN_FMT_BGR32), rgb = convert(VORN_FMT_RGB32);
  EXPECT_EQ(rgb, (bgr & 0xFF) << 16 | (bgr & 0xFF00) | bgr >> 16);
  // Exchanged planes: the same colour as the planes the other way round.
  uint32_t exchanged = convert(VORN_FMT_BGR32 | VORN_COPY_EXCHANGE);
  pic.Set(81, 240, 90, 0);
  EXPECT_EQ(exchanged, convert(VORN_FMT_BGR32));
  // Grayscale packed YUV: every chroma byte 128.
  EXPECT_EQ(convert(VORN_FMT_YUY2 | VORN_COPY_GRAY), 0x80518051u);
}

}  // namespace
