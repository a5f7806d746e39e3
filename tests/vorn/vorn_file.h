// Builds small Vorn files for the open and reader tests.
#pragma once

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

struct TestVornTrack {
  uint32_t buffer, format, id;
};

struct TestVornFile {
  char revision = 'i';
  uint32_t width = 16, height = 16, rate = 10, divisor = 1, videoFlags = 0;
  uint32_t spareIndexEntries = 0;  // index entries reserved beyond the frames
  uint32_t padding = 0;            // bytes between the index and frame 1
  std::vector<TestVornTrack> tracks;
  std::vector<std::vector<uint8_t>> frames;  // whole frame data (packets and video)
  std::vector<bool> keys;                    // per frame; missing means key

  // A frame of `bytes` bytes: an empty packet per track, then a pattern
  // that tells frames and positions apart.
  std::vector<uint8_t> MakeFrame(uint32_t bytes, uint32_t seed) const {
    std::vector<uint8_t> f(bytes);
    for (uint32_t i = 0; i < bytes; i++) f[i] = (uint8_t)(i * 7 + seed * 31 + (i >> 8));
    for (size_t t = 0; t < tracks.size() && 4 * t + 4 <= bytes; t++) memset(&f[4 * t], 0, 4);
    return f;
  }

  uint32_t FirstFrameOffset() const {
    return 44 + 12 * (uint32_t)tracks.size() + 4 * ((uint32_t)frames.size() + spareIndexEntries + 1) +
           padding;
  }

  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> out;
    out.reserve(FirstFrameOffset());
    auto put = [&](uint32_t v) {
      for (int i = 0; i < 4; i++) out.push_back((uint8_t)(v >> (8 * i)));
    };
    uint32_t n = (uint32_t)frames.size(), total = FirstFrameOffset(), largest = 0;
    for (const auto& f : frames) {
      total += (uint32_t)f.size();
      if (f.size() > largest) largest = (uint32_t)f.size();
    }
    for (char c : {'V', 'R', 'N', revision}) out.push_back((uint8_t)c);
    put(total - 8);
    put(n);
    put(largest);
    put(n + spareIndexEntries);
    put(width);
    put(height);
    put(rate);
    put(divisor);
    put(videoFlags);
    put((uint32_t)tracks.size());
    for (const auto& t : tracks) put(t.buffer);
    for (const auto& t : tracks) put(t.format);
    for (const auto& t : tracks) put(t.id);
    uint32_t at = FirstFrameOffset();
    for (uint32_t i = 0; i < n; i++) {
      put(at | (i < keys.size() && !keys[i] ? 0u : 1u));
      at += (uint32_t)frames[i].size();
    }
    put(at);
    for (uint32_t i = 0; i < spareIndexEntries; i++) put(0);
    out.insert(out.end(), padding, 0);
    for (const auto& f : frames) out.insert(out.end(), f.begin(), f.end());
    return out;
  }
};

static inline void TestPut32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = (uint8_t)(v >> (8 * i));
}
