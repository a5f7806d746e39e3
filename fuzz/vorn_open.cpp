// Opens a Vorn file from memory and through a descriptor with a small or no
// read-ahead ring, and decodes every frame.
#include <stdint.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "vorn/vorn.h"

// Pictures above this many pixels only make runs slow, not deeper.
static const uint64_t kMaxPixels = 1 << 20;
static const uint32_t kMaxFrames = 64;

static void DecodeAll(VornHandle* h) {
  uint32_t frames = h->frames < kMaxFrames ? h->frames : kMaxFrames;
  for (uint32_t n = 1; n <= frames; n++) {
    if (n > 1) VornAdvanceFrame(h);
    if (VornDecodeFrame(h)) break;
  }
  VornClose(h);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 28 && (uint64_t)VornLe32(data + 20) * VornLe32(data + 24) > kMaxPixels) return 0;
  VornPresetMemorySize(size);
  if (VornHandle* h = VornOpen((const char*)data, VORN_OPEN_MEMORY | VORN_OPEN_ALPHA)) DecodeAll(h);

  int fd = memfd_create("vorn", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (write(fd, data, size) == (ssize_t)size && lseek(fd, 0, SEEK_SET) == 0) {
    // No ring, a one-step ring, or a few steps; small files are preloaded.
    static const int32_t kRings[] = {0, 4096, 16384};
    VornPresetReadBuffer(kRings[size % 3]);
    VornHandle* h = VornOpen(VORN_FD_NAME(fd), VORN_OPEN_HANDLE | VORN_OPEN_IOSIZE |
                                                  VORN_OPEN_NOTHREAD | VORN_OPEN_ALPHA);
    if (h) DecodeAll(h);
  }
  close(fd);
  return 0;
}
