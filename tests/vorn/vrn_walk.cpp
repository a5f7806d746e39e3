#include "vrn_walk.h"

#include <stdlib.h>
#include <string.h>

namespace {

uint32_t Get32(const std::vector<unsigned char>& f, size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | (uint32_t)f[at + 3] << 24;
}

}  // namespace

bool TestVrnWalk(const std::vector<unsigned char>& f, TestVrn* out) {
  if (f.size() < 44 || memcmp(f.data(), "VRN", 3) != 0 || f[3] < 'f' || f[3] > 'i') return false;
  out->revision = (char)f[3];
  uint32_t frames = Get32(f, 8), indexCount = Get32(f, 16);
  out->width = Get32(f, 20);
  out->height = Get32(f, 24);
  out->rateNum = Get32(f, 28);
  out->rateDen = Get32(f, 32);
  out->videoFlags = Get32(f, 36);
  out->tracks = Get32(f, 40);
  if (out->tracks > 1024 || frames > indexCount) return false;
  uint32_t flags = 0;
  if (out->revision <= 'g') flags |= 0x00008000 | 0x00010000;
  if (out->revision == 'h') flags |= 0x00008000;
  flags |= out->videoFlags & (0x00020000 | 0x00100000);
  out->handleFlags = flags;
  size_t index = 44 + 12 * (size_t)out->tracks;
  if (index + 4 * ((size_t)indexCount + 1) > f.size()) return false;
  out->frames.clear();
  for (uint32_t i = 0; i < frames; i++) {
    uint32_t e0 = Get32(f, index + 4 * i), e1 = Get32(f, index + 4 * (i + 1));
    size_t at = e0 & ~1u, end = e1 & ~1u;
    if (end > f.size() || at > end) return false;
    for (uint32_t t = 0; t < out->tracks; t++) {
      if (end - at < 4) return false;
      uint32_t n = Get32(f, at);
      if (n > end - at - 4) return false;
      at += 4 + n;
    }
    out->frames.push_back(TestVrnFrame{f.data() + at, (uint32_t)(end - at), (e0 & 1) != 0});
  }
  return true;
}

bool TestY4mRead(const std::vector<unsigned char>& f, TestY4m* out) {
  const unsigned char* nl = (const unsigned char*)memchr(f.data(), '\n', f.size());
  if (!nl || f.size() < 9 || memcmp(f.data(), "YUV4MPEG2", 9) != 0) return false;
  std::string header((const char*)f.data(), (size_t)(nl - f.data()));
  size_t w = header.find(" W"), h = header.find(" H");
  if (w == std::string::npos || h == std::string::npos) return false;
  out->width = (uint32_t)strtoul(header.c_str() + w + 2, nullptr, 10);
  out->height = (uint32_t)strtoul(header.c_str() + h + 2, nullptr, 10);
  out->mono = header.find("Cmono") != std::string::npos;
  size_t frameBytes = (size_t)out->width * out->height;
  if (!out->mono) frameBytes += 2 * (size_t)((out->width + 1) / 2) * ((out->height + 1) / 2);
  size_t at = (size_t)(nl - f.data()) + 1;
  out->frames.clear();
  while (at < f.size()) {
    const unsigned char* e = (const unsigned char*)memchr(f.data() + at, '\n', f.size() - at);
    if (!e || memcmp(f.data() + at, "FRAME", 5) != 0) return false;
    at = (size_t)(e - f.data()) + 1;
    if (f.size() - at < frameBytes) return false;
    out->frames.emplace_back(f.begin() + (long)at, f.begin() + (long)(at + frameBytes));
    at += frameBytes;
  }
  return true;
}
