// Block types: copies, motion, fills, patterns, raw, run fills, coefficient
// and residue blocks, and scaled 16 x 16 blocks.
#include <string.h>

#include "vorn/coef.h"
#include "vorn/idct.h"
#include "vorn/plane.h"
#include "vorn/tables.h"

namespace {

enum {
  kSkip,
  kScaled,
  kMotion,
  kRun,
  kResidue,
  kIntra,
  kFill,
  kInter,
  kPattern,
  kRaw,
};

// Byte masks of pattern rows: bit i of the index sets byte i.
struct PatternMasks {
  uint64_t m[256];
  constexpr PatternMasks() : m() {
    for (int v = 0; v < 256; v++)
      for (int i = 0; i < 8; i++)
        if (v & (1 << i)) m[v] |= 0xFFull << (8 * i);
  }
};
constexpr PatternMasks kPatternMasks;

inline uint64_t Load8(const uint8_t* p) {
  uint64_t v;
  memcpy(&v, p, 8);
  return v;
}
inline void Store8(uint8_t* p, uint64_t v) { memcpy(p, &v, 8); }

inline void Copy8x8(uint8_t* dst, uint32_t dpitch, const uint8_t* src, uint32_t spitch) {
  for (int y = 0; y < 8; y++, dst += dpitch, src += spitch) Store8(dst, Load8(src));
}

inline void Fill8x8(uint8_t* dst, uint32_t pitch, uint32_t c) {
  uint64_t v = 0x0101010101010101ull * (c & 0xFF);
  for (int y = 0; y < 8; y++, dst += pitch) Store8(dst, v);
}

// Reference block for a motion vector. A reference past an edge of the plane
// is moved back inside it, so the whole 8 x 8 read lies in the plane buffer
// (pitch x rows): columns 0..pitch-8, rows 0..rows-8.
inline const uint8_t* RefBlock(const VornPlane* p, uint32_t x, uint32_t y, int32_t dx, int32_t dy) {
  int32_t rx = (int32_t)x + dx, ry = (int32_t)y + dy;
  int32_t mx = (int32_t)p->pitch - 8, my = (int32_t)p->rows - 8;
  rx = rx < 0 ? 0 : rx > mx ? mx : rx;
  ry = ry < 0 ? 0 : ry > my ? my : ry;
  return p->ref + (size_t)ry * p->pitch + (uint32_t)rx;
}

inline const uint8_t* MotionRef(VornPlane* p, uint32_t x, uint32_t y) {
  int32_t dx = (int8_t)VornTake(p, VORN_BUNDLE_XOFF);
  int32_t dy = (int8_t)VornTake(p, VORN_BUNDLE_YOFF);
  return RefBlock(p, x, y, dx, dy);
}

void Pattern(VornPlane* p, uint8_t* dst, uint32_t pitch) {
  uint64_t c0 = 0x0101010101010101ull * VornTake(p, VORN_BUNDLE_COLOUR);
  uint64_t c1 = 0x0101010101010101ull * VornTake(p, VORN_BUNDLE_COLOUR);
  const uint8_t* rows = VornTakeN(p, VORN_BUNDLE_PATTERN, 8);
  if (!rows) return;
  for (int y = 0; y < 8; y++, dst += pitch) {
    uint64_t m = kPatternMasks.m[rows[y]];
    Store8(dst, (c0 & ~m) | (c1 & m));
  }
}

void Raw(VornPlane* p, uint8_t* dst, uint32_t pitch) {
  const uint8_t* c = VornTakeN(p, VORN_BUNDLE_COLOUR, 64);
  if (!c) return;
  Copy8x8(dst, pitch, c, 8);
}

// Fills the block along a scan with runs of one colour or of single colours.
// A run that would pass the block's 64 positions stops the frame.
void RunFill(VornPlane* p, uint8_t* dst, uint32_t pitch) {
  const uint8_t* scan = kVornScans[VornBitsGet(&p->bits, 4)];
  uint32_t j = 0;
  while (j < 63) {
    uint32_t one = VornBitsGet1(&p->bits);
    uint32_t n = VornTake(p, VORN_BUNDLE_RUN) + 1;
    if (p->failed || j + n > 64) {
      p->failed = 1;
      return;
    }
    if (one) {
      uint32_t c = VornTake(p, VORN_BUNDLE_COLOUR);
      for (uint32_t k = 0; k < n; k++, j++) dst[(scan[j] >> 3) * pitch + (scan[j] & 7)] = (uint8_t)c;
    } else {
      const uint8_t* c = VornTakeN(p, VORN_BUNDLE_COLOUR, n);
      if (!c) return;
      for (uint32_t k = 0; k < n; k++, j++) dst[(scan[j] >> 3) * pitch + (scan[j] & 7)] = c[k];
    }
  }
  if (j == 63) dst[(scan[63] >> 3) * pitch + (scan[63] & 7)] = (uint8_t)VornTake(p, VORN_BUNDLE_COLOUR);
}

void Intra(VornPlane* p, uint8_t* dst, uint32_t pitch) {
  int16_t coef[64];
  coef[0] = (int16_t)VornTakeDC(p, VORN_BUNDLE_INTRADC);
  VornReadCoefs(&p->bits, coef);
  VornIdctPut(dst, pitch, coef, kVornIntraQuant[VornBitsGet(&p->bits, 4)]);
}

void Inter(VornPlane* p, uint8_t* dst, uint32_t pitch, const uint8_t* ref) {
  uint8_t work[64];
  Copy8x8(work, 8, ref, pitch);
  int16_t coef[64];
  coef[0] = (int16_t)VornTakeDC(p, VORN_BUNDLE_INTERDC);
  VornReadCoefs(&p->bits, coef);
  VornIdctAdd(dst, pitch, work, coef, kVornInterQuant[VornBitsGet(&p->bits, 4)]);
}

void Residue(VornPlane* p, uint8_t* dst, uint32_t pitch, const uint8_t* ref) {
  uint8_t work[64];
  Copy8x8(work, 8, ref, pitch);
  int8_t res[64];
  VornReadResidue(&p->bits, VornBitsGet(&p->bits, 7), res);
  VornAddResidue(dst, pitch, res, work);
}

// Writes an 8 x 8 block as a 16 x 16 area of 2 x 2 squares, cut at the plane
// buffer's right and bottom edges (a chroma plane's last column or row).
void Put2x(VornPlane* p, uint32_t x, uint32_t y, const uint8_t* blk) {
  uint32_t w = p->pitch - x < 16 ? p->pitch - x : 16;
  uint32_t h = p->rows - y < 16 ? p->rows - y : 16;
  uint8_t* dst = p->dst + (size_t)y * p->pitch + x;
  for (uint32_t r = 0; r < h; r++, dst += p->pitch) {
    const uint8_t* s = blk + (r / 2) * 8;
    if (w == 16) {
      uint64_t lo = Load8(s), a = 0, b = 0;
      for (int i = 0; i < 4; i++) a |= ((lo >> (8 * i)) & 0xFF) * (0x0101ull << (16 * i));
      for (int i = 0; i < 4; i++) b |= ((lo >> (8 * (i + 4))) & 0xFF) * (0x0101ull << (16 * i));
      Store8(dst, a);
      Store8(dst + 8, b);
    } else {
      for (uint32_t c = 0; c < w; c++) dst[c] = s[c / 2];
    }
  }
}

void Scaled(VornPlane* p, uint32_t x, uint32_t y) {
  uint8_t blk[64];
  switch (VornTake(p, VORN_BUNDLE_SUBTYPE)) {
    case kRun: RunFill(p, blk, 8); break;  // a finished fill covers all 64
    case kIntra: {
      int16_t coef[64];
      coef[0] = (int16_t)VornTakeDC(p, VORN_BUNDLE_INTRADC);
      VornReadCoefs(&p->bits, coef);
      VornIdctPut(blk, 8, coef, kVornIntraQuant[VornBitsGet(&p->bits, 4)]);
      break;
    }
    case kFill: Fill8x8(blk, 8, VornTake(p, VORN_BUNDLE_COLOUR)); break;
    case kPattern: Pattern(p, blk, 8); break;
    case kRaw: Raw(p, blk, 8); break;
    default: return;  // other sub-types write nothing
  }
  if (!p->failed) Put2x(p, x, y, blk);
}

inline void Mark(VornPlane* p, uint32_t x) {
  uint32_t col = (x / 8 * p->kind) / 2;
  if (col < p->mapWidth) p->mapRow[col] = 1;
}

}  // namespace

void VornDecodeRow(VornPlane* p, uint32_t y) {
  const uint32_t pitch = p->pitch;
  uint8_t* row = p->dst + (size_t)y * pitch;
  const uint8_t* refRow = p->ref + (size_t)y * pitch;
  const bool oddRow = (y / 8) & 1;
  for (uint32_t x = 0; x < p->width && !p->failed;) {
    uint8_t* dst = row + x;
    uint32_t type = VornTake(p, VORN_BUNDLE_TYPE);
    if (p->failed) return;
    switch (type) {
      case kSkip:
        if (refRow != row) Copy8x8(dst, pitch, refRow + x, pitch);
        x += 8;
        continue;
      case kScaled:
        if (!oddRow) Scaled(p, x, y);
        Mark(p, x);
        Mark(p, x + 8);
        x += 16;
        continue;
      case kMotion: {
        const uint8_t* ref = MotionRef(p, x, y);
        if (ref != dst) Copy8x8(dst, pitch, ref, pitch);
        break;
      }
      case kRun: RunFill(p, dst, pitch); break;
      case kResidue: Residue(p, dst, pitch, MotionRef(p, x, y)); break;
      case kIntra: Intra(p, dst, pitch); break;
      case kFill: Fill8x8(dst, pitch, VornTake(p, VORN_BUNDLE_COLOUR)); break;
      case kInter: Inter(p, dst, pitch, MotionRef(p, x, y)); break;
      case kPattern: Pattern(p, dst, pitch); break;
      case kRaw: Raw(p, dst, pitch); break;
      default: break;  // 10-15: nothing written
    }
    Mark(p, x);
    x += 8;
    if (VornBitsOverrun(&p->bits)) p->failed = 1;
  }
}
