// KORFile byte I/O: raw blocks through the buffer (large transfers bypass
// it), little-endian values and text lines.
#include <string.h>

#include "korutil/kfile_internal.h"
#include "platform/plat.h"

extern "C" int32_t KORFileGetNB(KORFile* f, void* dst, int32_t count) {
  if (KorFileClosed(f) || count <= 0 || !dst) return 0;
  KorFileToRead(f);
  KorFileAllocBuffer(f);
  uint8_t* d = (uint8_t*)dst;
  uint32_t n = (uint32_t)count, total = 0;
  for (;;) {
    uint32_t c = f->limit - f->index;
    if (c > n) c = n;
    if (c) {
      memcpy(d, f->buffer + f->index, c);
      f->index += c;
      d += c;
      n -= c;
      total += c;
    }
    if (n == 0) return (int32_t)total;
    if (n >= f->limit) {  // at least a fill's worth: straight into the caller's memory
      uint32_t r = PlatFileRead(f->handle, d, n);
      f->file_pos += r;
      return (int32_t)(total + r);
    }
    uint32_t r = PlatFileRead(f->handle, f->buffer, f->buffer_size);
    f->limit = r;
    f->index = 0;
    f->file_pos += r;
  }
}

static void WriteOut(KORFile* f, const void* src, uint32_t n) {
  uint32_t w = PlatFileWrite(f->handle, src, n);
  if (w < n) f->write_failed = 1;
  f->file_pos += w;
}

extern "C" int32_t KORFilePutNB(KORFile* f, const void* src, int32_t count) {
  if (KorFileClosed(f) || count <= 0 || !src) return 0;
  KorFileAllocBuffer(f);
  KorFileToWrite(f);
  const uint8_t* s = (const uint8_t*)src;
  uint32_t n = (uint32_t)count;
  for (;;) {
    if (f->buffer && f->index < f->limit && (f->index > 0 || n <= f->limit)) {
      uint32_t c = f->limit - f->index;
      if (c > n) c = n;
      memcpy(f->buffer + f->index, s, c);
      f->index += c;
      s += c;
      n -= c;
    }
    if (n == 0) return count;
    if (f->index > 0) {
      WriteOut(f, f->buffer, f->index);
      f->index = 0;
    }
    if (n < f->limit) continue;
    WriteOut(f, s, n);  // larger than the buffer: bypass it
    return count;
  }
}

static uint32_t Le(const uint8_t* b, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; i--) v = v << 8 | b[i];
  return v;
}

static uint32_t GetLe(KORFile* f, int n) {
  if (!KorFileClosed(f) && f->buffer && !f->writing && f->bit_count == 0 &&
      f->limit - f->index >= (uint32_t)n) {
    uint32_t v = Le(f->buffer + f->index, n);
    f->index += (uint32_t)n;
    return v;
  }
  uint8_t b[4] = {0, 0, 0, 0};  // bytes past the end read as 0
  KORFileGet(f, b, n);
  return Le(b, n);
}

extern "C" uint32_t KORFileGet8(KORFile* f) { return GetLe(f, 1); }
extern "C" uint32_t KORFileGet16(KORFile* f) { return GetLe(f, 2); }
extern "C" uint32_t KORFileGet32(KORFile* f) { return GetLe(f, 4); }

static uint32_t PutLe(KORFile* f, uint32_t value, int n) {
  uint8_t* d;
  uint8_t b[4];
  bool direct = !KorFileClosed(f) && f->buffer && f->writing && f->bit_count == 0 &&
                f->limit - f->index >= (uint32_t)n;
  d = direct ? f->buffer + f->index : b;
  for (int i = 0; i < n; i++) d[i] = (uint8_t)(value >> (8 * i));
  if (direct)
    f->index += (uint32_t)n;
  else
    KORFilePut(f, b, n);
  return value;
}

extern "C" uint32_t KORFilePut8(KORFile* f, uint32_t value) { return PutLe(f, value, 1); }
extern "C" uint32_t KORFilePut16(KORFile* f, uint32_t value) { return PutLe(f, value, 2); }
extern "C" uint32_t KORFilePut32(KORFile* f, uint32_t value) { return PutLe(f, value, 4); }

extern "C" char* KORFileGetLine(KORFile* f, char* buf, int32_t size) {
  if (!buf || size <= 0) return buf;  // no room even for the NUL
  buf[0] = 0;
  if (size < 2) return buf;
  if (KorFileClosed(f)) return nullptr;
  int32_t n = 0;
  while (n < size - 1 && !KORFileAtEnd(f)) {
    char c = (char)KORFileGet8(f);
    buf[n++] = c;
    if (c == '\n') break;
  }
  while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n')) n--;
  buf[n] = 0;
  return buf;
}
