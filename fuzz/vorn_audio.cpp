// Sound packets from hostile data: a Vorn file's tracks walked frame by
// frame, or (any other input) one packet for a geometry picked by the first
// byte.
#include <stdint.h>
#include <string.h>

#include "vorn/audio.h"

static uint32_t Le32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24;
}

alignas(16) static uint8_t g_out[65536];

static void Packet(VornAudio* a, const uint8_t* p, uint32_t size) {
  uint32_t capacity = size >= 4 ? Le32(p) : 0;
  if (capacity > sizeof g_out) capacity = sizeof g_out;
  uint32_t got = VornAudioDecodePacket(a, p, size, g_out, capacity);
  if (got > capacity) __builtin_trap();
  VornAudioTo8Bit(g_out, (const int16_t*)g_out, got / 2);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 44 && !memcmp(data, "VRN", 3)) {
    const uint32_t frames = Le32(data + 8), entries = Le32(data + 16), tracks = Le32(data + 40);
    const uint64_t indexAt = 44 + 12 * (uint64_t)tracks;
    if (tracks == 0 || tracks > 16 || frames > entries ||
        indexAt + 4 * ((uint64_t)frames + 1) > size)
      return 0;
    for (uint32_t t = 0; t < tracks; t++) {
      const uint32_t format = Le32(data + 44 + 4 * tracks + 4 * t);
      VornAudio* a = VornAudioOpen(format & 0xFFFF, format & 0x20000000 ? 2 : 1, t & 1);
      if (!a) continue;
      for (uint32_t f = 0; f < frames && f < 512; f++) {
        uint64_t at = Le32(data + indexAt + 4 * f) & ~1u;
        const uint64_t end = Le32(data + indexAt + 4 * (f + 1)) & ~1u;
        if (end > size || at > end) break;
        for (uint32_t k = 0; k <= t && at + 4 <= end; k++) {
          const uint32_t n = Le32(data + at);
          if (n > end - at - 4) break;
          if (k == t) Packet(a, data + at + 4, n);
          at += 4 + (uint64_t)n;
        }
      }
      VornAudioClose(a);
    }
    return 0;
  }
  if (size < 1) return 0;
  static const uint32_t kRates[] = {11025, 22050, 32000, 44100};
  VornAudio* a = VornAudioOpen(kRates[data[0] & 3], 1 + (data[0] >> 2 & 1), data[0] >> 3 & 1);
  if (!a) return 0;
  Packet(a, data + 1, (uint32_t)(size - 1));
  Packet(a, data + 1, (uint32_t)(size - 1));
  VornAudioClose(a);
  return 0;
}
