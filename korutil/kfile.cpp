// KORFile: opening, closing, modes, position, size, flush, names and times.
#include <string.h>

#include "korutil/kfile_internal.h"
#include "platform/plat.h"

static KORFile* NewFile(int32_t buffer_size, const char* name, unsigned mode, bool writing) {
  if (!name) return nullptr;
  size_t len = strnlen(name, KOR_NAME_SIZE);
  if (len == 0 || len >= KOR_NAME_SIZE) return nullptr;  // must fit the name field
  KORFile* f = (KORFile*)kormalloc((int32_t)sizeof(KORFile));
  if (!f) return nullptr;
  memset(f, 0, sizeof *f);
  f->handle = PlatFileOpen(name, mode);
  if (f->handle == PLAT_FILE_INVALID) {
    korfree(f);
    return nullptr;
  }
  memcpy(f->name, name, len + 1);
  f->buffer_size = buffer_size < 0 ? 0u - (uint32_t)buffer_size : (uint32_t)buffer_size;
  f->known_size = KOR_SIZE_UNKNOWN;
  f->writing = writing;
  f->limit = f->buffer_size;
  f->index = writing ? 0 : f->buffer_size;  // read: empty, so the first read fills
  return f;
}

extern "C" KORFile* KORFileOpen(int32_t buffer_size, const char* name, int32_t mode) {
  unsigned m = PLAT_FILE_READ | PLAT_FILE_SHARE_READ | PLAT_FILE_SEQUENTIAL;
  if (mode == KORFILE_READWRITE)
    m |= PLAT_FILE_WRITE;
  else if (mode != KORFILE_READ)
    return nullptr;
  return NewFile(buffer_size, name, m, false);
}

extern "C" KORFile* KORFileCreate(int32_t buffer_size, const char* name) {
  return NewFile(buffer_size, name,
                 PLAT_FILE_READ | PLAT_FILE_WRITE | PLAT_FILE_CREATE | PLAT_FILE_EXCLUSIVE, true);
}

extern "C" KORFile* KORFileCreateWithRead(int32_t buffer_size, const char* name) {
  return NewFile(buffer_size, name,
                 PLAT_FILE_READ | PLAT_FILE_WRITE | PLAT_FILE_CREATE | PLAT_FILE_SHARE_READ, true);
}

extern "C" void KORFileClose(KORFile* f) {
  if (!f) return;
  if (f->handle != -1) {
    KORFileFlush(f, 0);
    PlatFileClose(f->handle);
  }
  korfree(f->buffer);
  memset(f, 0, sizeof *f);
  korfree(f);
}

void KorFileAllocBuffer(KORFile* f) {
  if (f->buffer || f->buffer_size == 0) return;
  f->buffer = (uint8_t*)kormalloc((int32_t)f->buffer_size);
  if (!f->buffer) f->buffer_size = f->limit = f->index = 0;
}

static void Seek(KORFile* f, uint32_t pos) {
  PlatFileSeek(f->handle, pos, 0);
  f->file_pos = pos;
}

void KorFileToRead(KORFile* f) {
  if (!f->writing) return;
  uint32_t pos = KORFileGetPos(f);
  KORFileFlush(f, 0);
  f->writing = 0;
  f->index = f->limit = f->buffer_size;
  f->bit_count = f->bit_buffer = 0;
  Seek(f, pos);
}

void KorFileToWrite(KORFile* f) {
  if (f->writing) return;
  uint32_t pos = KORFileGetPos(f);
  f->writing = 1;
  f->index = 0;
  f->limit = f->buffer_size;  // the whole buffer takes data
  f->bit_count = f->bit_buffer = 0;
  if (pos != f->file_pos) Seek(f, pos);
}

extern "C" uint32_t KORFileGetPos(KORFile* f) {
  if (KorFileClosed(f)) return 0;
  if (f->writing) return f->file_pos + f->index;
  uint32_t pos = f->file_pos - (f->limit - f->index);
  return f->bit_count ? pos - 1 : pos;  // the partly used byte
}

extern "C" int32_t KORFileIsInBuffer(KORFile* f, uint32_t offset) {
  if (KorFileClosed(f) || f->writing || f->index >= f->limit) return 0;
  return offset >= f->file_pos - f->limit && offset < f->file_pos;
}

extern "C" uint32_t KORFileSetPos(KORFile* f, uint32_t offset) {
  if (KorFileClosed(f)) return 0;
  uint32_t old = KORFileGetPos(f);
  if (offset == old) return old;
  // Data written since the size was measured counts.
  if (f->known_size != KOR_SIZE_UNKNOWN && f->known_size < old) f->known_size = old;
  if (f->writing) {
    KORFileFlush(f, 0);
    Seek(f, offset);
  } else if (KORFileIsInBuffer(f, offset)) {
    f->index = offset - (f->file_pos - f->limit);
  } else {
    f->index = f->limit = f->buffer_size;
    Seek(f, offset);
  }
  f->bit_count = f->bit_buffer = 0;
  return old;
}

static void Measure(KORFile* f) {
  if (f->known_size != KOR_SIZE_UNKNOWN) return;
  int64_t s = PlatFileSize(f->handle);
  f->known_size = s < 0 ? 0 : s >= (int64_t)KOR_SIZE_UNKNOWN ? KOR_SIZE_UNKNOWN - 1 : (uint32_t)s;
}

extern "C" uint32_t KORFileSize(KORFile* f) {
  if (KorFileClosed(f)) return 0;
  Measure(f);
  uint32_t pos = KORFileGetPos(f);
  return pos > f->known_size ? pos : f->known_size;
}

extern "C" uint8_t KORFileAtEnd(KORFile* f) {
  if (KorFileClosed(f)) return 1;
  Measure(f);
  return KORFileGetPos(f) >= f->known_size;
}

extern "C" void KORFileFlush(KORFile* f, int32_t force) {
  if (KorFileClosed(f)) return;
  KORFileByteAlign(f);
  if (f->writing && f->index > 0) {
    uint32_t w = PlatFileWrite(f->handle, f->buffer, f->index);
    if (w < f->index) f->write_failed = 1;
    f->file_pos += w;
    f->index = 0;
  }
  if (force) PlatFileCommit(f->handle);
}

extern "C" void KORFileAlign(KORFile* f, int32_t alignment) {
  if (KorFileClosed(f)) return;
  KORFileByteAlign(f);
  if (alignment <= 1) return;  // 0 or negative: nothing to align to
  uint32_t pos = KORFileGetPos(f);
  uint64_t target = ((uint64_t)pos + (uint32_t)alignment - 1) / (uint32_t)alignment * (uint32_t)alignment;
  if (target == pos || target > 0xFFFFFFFFull) return;
  uint32_t size = KORFileSize(f);
  if (target <= size) {
    KORFileSetPos(f, (uint32_t)target);
    return;
  }
  // Past the end: the file grows by zero bytes up to the boundary.
  KORFileSetPos(f, size);
  static const uint8_t zeros[4096] = {};
  uint32_t left = (uint32_t)target - size;
  while (left) {
    uint32_t n = left < sizeof zeros ? left : (uint32_t)sizeof zeros;
    KORFilePutNB(f, zeros, (int32_t)n);
    left -= n;
  }
}

extern "C" const char* KORFileGetName(KORFile* f, char* dst) {
  if (KorFileClosed(f)) return nullptr;
  if (dst) memcpy(dst, f->name, strnlen(f->name, KOR_NAME_SIZE - 1) + 1);
  return f->name;
}

extern "C" uint32_t KORFileGetTime(KORFile* f) {
  if (KorFileClosed(f)) return 0;
  return (uint32_t)(PlatFileGetTime(f->handle) >> 32);
}

extern "C" void KORFileSetTime(KORFile* f, uint32_t high) {
  if (KorFileClosed(f)) return;
  KORFileFlush(f, 0);
  PlatFileSetTime(f->handle, (uint64_t)high << 32);
}

extern "C" int32_t KORFileErase(const char* name) { return PlatFileDelete(name); }

extern "C" int32_t KORFileRename(const char* new_name, const char* existing_name) {
  return PlatFileRename(existing_name, new_name);
}
