// Arbitrary bytes as one frame's video data. The first three bytes choose the
// picture size (1-64 each way) and the flags; the rest is the data.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "vorn/expand.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* in, size_t size) {
  if (size < 3) return 0;
  uint32_t w = 1 + in[0] % 64, h = 1 + in[1] % 64, sel = in[2];
  static const uint32_t kRevision[4] = {0x00018000, 0x00018000, 0x00008000, 0};
  uint32_t handleFlags = kRevision[sel & 3];
  uint32_t videoFlags = 0;
  if (sel & 4) handleFlags |= 0x00020000, videoFlags |= 0x00020000;
  if (sel & 8) videoFlags |= 0x00100000;
  if (sel & 16) handleFlags |= 0x00100000;
  uint32_t cw = ((w + 1) / 2 + 7) & ~7u, ch = ((h + 1) / 2 + 7) & ~7u;
  uint32_t pitch = 2 * cw, rows = 2 * ch;
  size_t lumaBytes = (size_t)pitch * rows;
  std::vector<uint8_t> pic(lumaBytes + 2 * (size_t)cw * ch), ref(pic.size());
  std::vector<uint8_t> alpha(lumaBytes), refAlpha(lumaBytes);
  for (size_t i = 0; i < ref.size(); i++) ref[i] = (uint8_t)(i * 7);
  std::vector<uint8_t> map((pitch / 16) * (rows / 16) + 1);
  uint32_t sizes[9];
  ExpandBundleSizes(sizes, pitch);
  std::vector<uint8_t> mem[9];
  uint8_t* bundles[9];
  for (int i = 0; i < 9; i++) {
    mem[i].resize(sizes[i]);
    bundles[i] = mem[i].data();
  }
  std::vector<uint8_t> data(in + 3, in + size);  // exactly the data, nothing after it
  const uint8_t* d = data.empty() ? nullptr : data.data();
  const uint8_t* end = ExpandVorn(pic.data(), ref.data(), alpha.data(), refAlpha.data(), map.data(), w, h, pitch,
                                  rows, d, 0, bundles, handleFlags, videoFlags, (uint32_t)data.size());
  if (end < d || end > d + data.size()) __builtin_trap();
  // Decoding into the reference itself (one buffer for all-key files).
  ExpandVorn(ref.data(), ref.data(), alpha.data(), alpha.data(), map.data(), w, h, pitch, rows, d, 0, bundles,
             handleFlags, videoFlags, (uint32_t)data.size());
  return 0;
}
