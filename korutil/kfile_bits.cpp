// KORFile bit stream: values of 1 to 32 bits, least significant bit first,
// continuous with the bit-aware byte calls.
#include "korutil/kfile_internal.h"

extern "C" int32_t KORFileGet(KORFile* f, void* dst, int32_t count) {
  if (KorFileClosed(f) || count <= 0 || !dst) return 0;
  KorFileToRead(f);
  if (f->bit_count == 0) return KORFileGetNB(f, dst, count);
  // Each byte joins the unused high bits of the previous one with the low
  // bits of the next; the last raw byte becomes the partial byte.
  uint8_t* d = (uint8_t*)dst;
  int32_t got = KORFileGetNB(f, d, count);
  uint32_t bc = f->bit_count, prev = f->bit_buffer & 0xFF;
  for (int32_t i = 0; i < got; i++) {
    uint32_t b = d[i];
    d[i] = (uint8_t)(prev >> bc | b << (8 - bc));
    prev = b;
  }
  f->bit_buffer = prev;
  return got;
}

extern "C" int32_t KORFilePut(KORFile* f, const void* src, int32_t count) {
  if (KorFileClosed(f) || count <= 0 || !src) return 0;
  KorFileToWrite(f);
  if (f->bit_count == 0) return KORFilePutNB(f, src, count);
  const uint8_t* s = (const uint8_t*)src;
  uint32_t bc = f->bit_count, bits = f->bit_buffer;
  uint8_t chunk[256];
  for (int32_t done = 0; done < count;) {
    int32_t m = count - done < (int32_t)sizeof chunk ? count - done : (int32_t)sizeof chunk;
    for (int32_t i = 0; i < m; i++) {
      uint32_t b = s[done + i];
      chunk[i] = (uint8_t)(bits | b << bc);
      bits = b >> (8 - bc);
    }
    KORFilePutNB(f, chunk, m);
    done += m;
  }
  f->bit_buffer = bits;
  return count;
}

extern "C" uint32_t KORFileGetBits(KORFile* f, int32_t n) {
  if (n == 0 || KorFileClosed(f)) return 0;
  uint32_t k = (((uint32_t)n - 1) & 31) + 1;
  KorFileToRead(f);
  switch (k) {
    case 32: return KORFileGet32(f);
    case 16: return KORFileGet16(f);
    case 8: return KORFileGet8(f);
  }
  // Whole bytes first, through the bit-aware path.
  uint32_t v = 0, whole = 0;
  if (k >= 24) {
    uint8_t b[3] = {0, 0, 0};
    KORFileGet(f, b, 3);
    v = b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16;
    whole = 24;
  } else if (k > 16) {
    v = KORFileGet16(f);
    whole = 16;
  } else if (k > 8) {
    v = KORFileGet8(f);
    whole = 8;
  }
  uint32_t r = k - whole;
  if (r == 0) return v;
  uint32_t avail = f->bit_count ? 8 - f->bit_count : 0;
  uint32_t bits = f->bit_count ? (f->bit_buffer & 0xFF) >> f->bit_count : 0;
  if (avail < r) {
    uint8_t b = 0;
    KORFileGetNB(f, &b, 1);
    f->bit_buffer = b;
    bits |= (uint32_t)b << avail;
    f->bit_count = (f->bit_count + r) & 7;
  } else {
    f->bit_count += r;
    if (f->bit_count == 8) f->bit_count = 0;
  }
  return v | (bits & ((1u << r) - 1)) << whole;
}

extern "C" uint32_t KORFilePutBits(KORFile* f, uint32_t value, int32_t n) {
  if (n == 0 || KorFileClosed(f)) return 0;
  uint32_t k = (((uint32_t)n - 1) & 31) + 1;
  KorFileToWrite(f);
  uint32_t whole = k & ~7u;
  if (whole) {
    uint8_t b[4] = {(uint8_t)value, (uint8_t)(value >> 8), (uint8_t)(value >> 16), (uint8_t)(value >> 24)};
    KORFilePut(f, b, (int32_t)(whole / 8));
  }
  uint32_t r = k - whole;
  if (r == 0) return 0;
  f->bit_buffer |= (value >> whole & ((1u << r) - 1)) << f->bit_count;
  f->bit_count += r;
  if (f->bit_count >= 8) {
    uint8_t out = (uint8_t)f->bit_buffer;
    f->bit_count -= 8;
    f->bit_buffer >>= 8;
    KORFilePutNB(f, &out, 1);
  }
  return 0;
}

extern "C" uint32_t KORFileBitPos(KORFile* f) { return KorFileClosed(f) ? 0 : f->bit_count; }

extern "C" void KORFileByteAlign(KORFile* f) {
  if (KorFileClosed(f)) return;
  uint32_t pending = f->writing ? f->bit_count : 0;
  uint8_t out = (uint8_t)f->bit_buffer;  // padded with zero bits above
  f->bit_count = f->bit_buffer = 0;
  if (pending) KORFilePutNB(f, &out, 1);
}
