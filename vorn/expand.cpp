// Frame and plane walk of the video decoder.
//
// Hostile data: every plane reads only inside its own part of the frame's
// data (the alpha and luminance size words bound their planes); a plane that
// takes bits past its part, a chunk count larger than its bundle buffer, a
// value taken from an empty bundle, a run past the end of its block, or a
// size word that points outside the data stops the frame's decoding. What was
// written before stays; the block in which the data ran out may be written
// from zero bits. Motion references are clamped into the plane (blocks.cpp).
#include "vorn/expand.h"

#include "vorn/plane.h"

namespace {

enum : uint32_t {
  kFlagSignMagnitude = 0x00008000,  // revisions f, g, h: no luminance size word
  kFlagLumaOnly = 0x00020000,
  kFlagAlpha = 0x00100000,
};

struct Frame {
  const uint8_t* data;
  size_t size;
  uint8_t* const* bundles;
  uint32_t pitch, rows;
  uint8_t* map;
  uint32_t signMagnitude;
};

// Decodes one plane from data[start, limit); *end receives the offset of the
// word after its last one. False when it stopped early.
bool DecodePlane(const Frame* f, size_t start, size_t limit, uint8_t* dst, const uint8_t* ref,
                 uint32_t pitch, uint32_t rows, uint32_t width, uint32_t height, uint32_t kind,
                 size_t* end) {
  VornPlane p;
  if (limit > f->size) limit = f->size;
  VornBitsInit(&p.bits, f->data + (start < limit ? start : limit), start < limit ? limit - start : 0);
  p.context = 0;
  p.signMagnitude = f->signMagnitude;
  p.failed = 0;
  p.dst = dst;
  p.ref = ref ? ref : dst;
  p.pitch = pitch;
  p.rows = rows;
  p.width = width;
  p.height = height;
  p.kind = kind;
  p.mapWidth = f->pitch / 16;
  VornBundlesInit(&p, f->bundles, f->pitch);

  VornBits* b = &p.bits;
  VornTreeRead(b, &p.tree[VORN_BUNDLE_TYPE]);
  VornTreeRead(b, &p.tree[VORN_BUNDLE_SUBTYPE]);
  for (int i = 0; i < 16; i++) VornTreeRead(b, &p.high[i]);
  VornTreeRead(b, &p.tree[VORN_BUNDLE_COLOUR]);
  VornTreeRead(b, &p.tree[VORN_BUNDLE_PATTERN]);
  VornTreeRead(b, &p.tree[VORN_BUNDLE_XOFF]);
  VornTreeRead(b, &p.tree[VORN_BUNDLE_YOFF]);
  VornTreeRead(b, &p.tree[VORN_BUNDLE_RUN]);
  bool ok = !VornBitsOverrun(b);
  for (uint32_t y = 0; ok && y < height; y += 8) {
    p.mapRow = f->map + (size_t)(y / 8 * kind / 2) * p.mapWidth;
    if (!VornBundlesRefill(&p)) {
      ok = false;
      break;
    }
    VornDecodeRow(&p, y);
    ok = !p.failed;
  }
  ok = ok && !p.failed && !VornBitsOverrun(b);
  *end = start + VornBitsEndWord(b);
  return ok;
}

inline uint32_t Read32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

}  // namespace

const uint8_t* ExpandVorn(uint8_t* newPicture, const uint8_t* refPicture, uint8_t* newAlpha,
                          const uint8_t* refAlpha, uint8_t* blockMap, uint32_t width,
                          uint32_t height, uint32_t pitch, uint32_t rows, const uint8_t* data,
                          uint32_t keyFrame, uint8_t* const* bundles, uint32_t handleFlags,
                          uint32_t videoFlags, uint32_t dataSize) {
  (void)keyFrame;  // a key frame just has no block that reads the reference
  // Decoded areas: luminance and alpha rounded up to 8, chroma half of that.
  uint32_t lumaW = (uint32_t)(((uint64_t)width + 7) & ~7ull), lumaH = (uint32_t)(((uint64_t)height + 7) & ~7ull);
  uint32_t chromaW = (uint32_t)(((uint64_t)width + 1) / 2 + 7) & ~7u;
  uint32_t chromaH = (uint32_t)(((uint64_t)height + 1) / 2 + 7) & ~7u;
  // The planes must fit the buffers they are written to.
  if (!newPicture || !blockMap || !bundles || pitch % 16 || rows % 16 || lumaW > pitch || lumaH > rows ||
      chromaW > pitch / 2 || chromaH > rows / 2)
    return data;

  Frame f;
  f.data = data;
  f.size = dataSize;
  f.bundles = bundles;
  f.pitch = pitch;
  f.rows = rows;
  f.map = blockMap;
  f.signMagnitude = handleFlags & kFlagSignMagnitude;
  size_t colour = 0, end = 0;

  if (videoFlags & kFlagAlpha) {
    if (dataSize < 4) return data;
    uint32_t alphaSize = Read32(data);
    if (alphaSize < 4 || alphaSize > dataSize) return data;
    if ((handleFlags & kFlagAlpha) && newAlpha) {
      if (!DecodePlane(&f, 4, alphaSize, newAlpha, refAlpha, pitch, rows, lumaW, lumaH, 1, &end))
        return data + (end < alphaSize ? end : alphaSize);
    }
    colour = alphaSize;
  }

  size_t lumaStart = colour, lumaLimit = dataSize, chroma;
  if (!(handleFlags & kFlagSignMagnitude)) {
    // Luminance size word: the luminance plane lies between it and the
    // first chroma plane.
    if (dataSize - colour < 4) return data + colour;
    uint32_t lumaSize = Read32(data + colour);
    if (lumaSize < 4 || lumaSize > dataSize - colour) return data + colour;
    lumaStart = colour + 4;
    lumaLimit = colour + lumaSize;
    if (!DecodePlane(&f, lumaStart, lumaLimit, newPicture, refPicture, pitch, rows, lumaW, lumaH, 1, &end))
      return data + (end < lumaLimit ? end : lumaLimit);
    chroma = lumaLimit;
  } else {
    bool ok = DecodePlane(&f, lumaStart, lumaLimit, newPicture, refPicture, pitch, rows, lumaW, lumaH, 1, &end);
    chroma = end < dataSize ? end : dataSize;
    if (!ok) return data + chroma;
  }
  if (handleFlags & kFlagLumaOnly) return data + chroma;

  size_t lumaBytes = (size_t)pitch * rows, chromaBytes = (size_t)(pitch / 2) * (rows / 2);
  const uint8_t* refChroma = refPicture ? refPicture + lumaBytes : nullptr;
  for (int i = 0; i < 2; i++) {
    uint8_t* dst = newPicture + lumaBytes + i * chromaBytes;
    const uint8_t* ref = refChroma ? refChroma + i * chromaBytes : nullptr;
    bool ok = DecodePlane(&f, chroma, dataSize, dst, ref, pitch / 2, rows / 2, chromaW, chromaH, 2, &end);
    chroma = end < dataSize ? end : dataSize;
    if (!ok) break;
  }
  return data + chroma;
}
