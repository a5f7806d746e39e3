// The SIMD converters against the plain ones: random and edge-valued
// pictures, sizes from 1 x 1, odd offsets, both pitch signs, every format,
// scaling mode, grayscale, exchange and alpha, through the rectangle and the
// changed-block paths. Whole destination buffers (with their untouched
// bytes) must be equal.
#include <gtest/gtest.h>

#include <string>

#include "convert_test_util.h"
#include "vorn/convert_impl.h"

namespace {

std::vector<const VornConvBackend*> SimdBackends() {
  std::vector<const VornConvBackend*> v;
  if (const VornConvBackend* b = VornConvBackendSse2()) v.push_back(b);
  if (const VornConvBackend* b = VornConvBackendAvx2()) v.push_back(b);
  return v;
}

struct Geometry {
  int32_t w, h, sx, sy, x, y, pitch, lines;
};

Geometry RandomGeometry(std::mt19937& rng, uint32_t format, uint32_t mode, bool subRect) {
  Geometry g;
  // Mostly wide enough for whole SIMD groups, sometimes tiny.
  g.w = rng() % 4 == 0 ? 1 + rng() % 4 : 1 + rng() % 130;
  g.h = rng() % 4 == 0 ? 1 + rng() % 3 : 1 + rng() % 40;
  int32_t P = (g.w + 15) & ~15, R = (g.h + 15) & ~15;
  g.sx = subRect ? rng() % (P - g.w + 1) : 0;
  g.sy = subRect ? rng() % (R - g.h + 1) : 0;
  g.x = rng() % 4, g.y = rng() % 3;
  int32_t bytes = (g.x + g.w * WidthScale(mode)) * VornFormatBytes(format) + rng() % 9;
  g.pitch = rng() % 2 ? -bytes : bytes;
  g.lines = g.y + g.h * HeightScale(mode) + 1;
  return g;
}

TEST(ConvertSimd, MatchesReference) {
  std::vector<const VornConvBackend*> backends = SimdBackends();
  if (backends.empty()) GTEST_SKIP() << "no SIMD converters on this processor";
  const VornConvBackend* ref = VornConvBackendRef();
  static const uint32_t kVariants[] = {0, VORN_COPY_GRAY, VORN_COPY_EXCHANGE,
                                       VORN_COPY_EXCHANGE | VORN_COPY_GRAY};
  std::mt19937 rng(20240611);
  for (const VornConvBackend* be : backends) {
    int32_t failures = 0;
    for (uint32_t format = 1; format <= 14; format++) {
      bool alphaForms = format >= 5 && format <= 8;
      for (uint32_t mode = 0; mode <= 6; mode++) {
        for (uint32_t variant : kVariants) {
          for (int32_t withAlpha = 0; withAlpha <= (alphaForms ? 1 : 0); withAlpha++) {
            for (int32_t iter = 0; iter < 4 && failures < 5; iter++) {
              bool subRect = iter % 2 == 0;
              Geometry g = RandomGeometry(rng, format, mode, subRect);
              TestPicture pic(g.w + g.sx, g.h + g.sy);
              pic.Fill(rng, iter == 3);
              const uint8_t* alpha = withAlpha ? pic.alpha.data() : nullptr;
              uint32_t flags = format | ModeFlags(mode) | variant;
              size_t ap = g.pitch < 0 ? -g.pitch : g.pitch;
              std::vector<uint8_t> want(ap * g.lines), got;
              for (uint8_t& b : want) b = (uint8_t)rng();
              got = want;
              int32_t ok1, ok2;
              if (subRect) {
                // The rectangle form: a negative pitch starts at the last line.
                size_t start = g.pitch < 0 ? ap * (g.lines - 1) : 0;
                ok1 = VornConvertRectWith(ref, want.data() + start, g.x, g.y, g.pitch, 0,
                                          pic.planes.data(), alpha, g.sx, g.sy, g.w, g.h,
                                          pic.pitch, pic.rows, flags);
                ok2 = VornConvertRectWith(be, got.data() + start, g.x, g.y, g.pitch, 0,
                                          pic.planes.data(), alpha, g.sx, g.sy, g.w, g.h,
                                          pic.pitch, pic.rows, flags);
              } else {
                // The frame form with a random block map (or the whole flag).
                int32_t blocks = (pic.pitch / 16) * (pic.rows / 16);
                std::vector<uint8_t> map(blocks + 1, 0);
                for (int32_t i = 0; i < blocks; i++) map[i] = rng() % 3 != 0;
                if (iter == 3) flags |= VORN_COPY_WHOLE;
                ok1 = VornConvertFrameWith(ref, want.data(), g.pitch, g.lines, g.x, g.y,
                                           pic.planes.data(), alpha, map.data(), g.w, g.h,
                                           pic.pitch, pic.rows, flags);
                ok2 = VornConvertFrameWith(be, got.data(), g.pitch, g.lines, g.x, g.y,
                                           pic.planes.data(), alpha, map.data(), g.w, g.h,
                                           pic.pitch, pic.rows, flags);
              }
              EXPECT_EQ(ok1, 1);
              EXPECT_EQ(ok2, 1);
              if (want != got) {
                size_t at = 0;
                while (want[at] == got[at]) at++;
                ADD_FAILURE() << be->name << " format " << format << " mode " << mode
                              << " flags 0x" << std::hex << flags << std::dec << " alpha "
                              << withAlpha << (subRect ? " rect " : " frame ") << g.w << "x"
                              << g.h << " at " << g.sx << "," << g.sy << " to " << g.x << ","
                              << g.y << " pitch " << g.pitch << ": first difference at byte "
                              << at << " (" << (int)want[at] << " vs " << (int)got[at] << ")";
                failures++;
              }
            }
          }
        }
      }
    }
  }
}

// Every luma, red-difference and blue-difference value through the 16-bit
// arithmetic of each backend, in each RGB kind.
TEST(ConvertSimd, EveryValue) {
  std::vector<const VornConvBackend*> backends = SimdBackends();
  if (backends.empty()) GTEST_SKIP() << "no SIMD converters on this processor";
  TestPicture pic(256, 256);
  for (int32_t y = 0; y < 256; y++)
    for (int32_t x = 0; x < 256; x++) *pic.Y(x, y) = (uint8_t)(x + y);
  for (int32_t y = 0; y < 128; y++)
    for (int32_t x = 0; x < 128; x++) {
      *pic.First(x, y) = (uint8_t)(2 * x + (y & 1));
      *pic.Second(x, y) = (uint8_t)(2 * y + (x & 1));
    }
  for (const VornConvBackend* be : backends) {
    for (uint32_t flags : {VORN_FMT_BGR24 | 0u, VORN_FMT_RGB32 | 0u, VORN_FMT_RGB565 | 0u,
                           VORN_FMT_BGR32 | VORN_COPY_GRAY, VORN_FMT_RGB466 | VORN_COPY_GRAY}) {
      int32_t bytes = 256 * VornFormatBytes(flags);
      std::vector<uint8_t> want((size_t)bytes * 256), got((size_t)bytes * 256);
      VornConvertFrameWith(VornConvBackendRef(), want.data(), bytes, 256, 0, 0, pic.planes.data(),
                           nullptr, nullptr, 256, 256, pic.pitch, pic.rows, flags);
      VornConvertFrameWith(be, got.data(), bytes, 256, 0, 0, pic.planes.data(), nullptr, nullptr,
                           256, 256, pic.pitch, pic.rows, flags);
      EXPECT_TRUE(want == got) << be->name << " flags 0x" << std::hex << flags;
    }
  }
}

}  // namespace
