// Helpers of the sound tests: Vorn files with sound tracks made by VornMake
// from PCM in memory, and their tracks read back.
#pragma once

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "test_util.h"
#include "vorn/audio.h"
#include "vorn/vorn.h"
#include "vornmake/vornmake.h"

// A sound source over PCM in memory.
struct TestSource {
  std::vector<int16_t> pcm;
  size_t at = 0;  // bytes handed out
  uint32_t calls = 0;
  void* lastHandle = nullptr;
};

inline int32_t TestSourceGet(void* handle, intptr_t user, void* buffer, int32_t bytes) {
  TestSource* s = (TestSource*)user;
  s->calls++;
  s->lastHandle = handle;
  const size_t total = s->pcm.size() * 2;
  size_t n = total - s->at < (size_t)bytes ? total - s->at : (size_t)bytes;
  memcpy(buffer, (const uint8_t*)s->pcm.data() + s->at, n);
  s->at += n;
  return (int32_t)n;
}

inline VornMakeTrack TestTrack(uint32_t id, uint32_t rate, uint32_t channels, TestSource* s,
                               int32_t quality = 1) {
  VornMakeTrack t;
  memset(&t, 0, sizeof t);
  t.id = id;
  t.sampleRate = rate;
  t.bits = 16;
  t.channels = channels;
  t.quality = quality;
  t.user = (intptr_t)s;
  t.callback = s ? TestSourceGet : nullptr;
  return t;
}

// A small grey picture sequence with the given tracks; false on failure.
inline bool TestMakeSoundFile(const std::string& path, uint32_t frames, uint32_t rateNum,
                              uint32_t rateDen, const std::vector<VornMakeTrack>& tracks) {
  VornMakeHandle* h = VornMake(path.c_str(), 32 * 4, 32, 16, frames, 0, 0, rateNum, rateDen,
                               (uint32_t)tracks.size(), tracks.data(), 2, nullptr);
  if (!h) return false;
  std::vector<uint8_t> pixels(32 * 16 * 4);
  for (uint32_t f = 0; f < frames; f++) {
    for (size_t i = 0; i < pixels.size(); i++) pixels[i] = (uint8_t)(i * 7 + f * 3);
    VornMakePutVideo(h, 3000, 6000, 0, 0, 0, pixels.data());
  }
  return VornMakeClose(h, 0) != 0;
}

static inline uint32_t TestLe32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// A file's header fields, tables and per-frame packets as bytes.
struct TestVornLayout {
  std::vector<uint8_t> bytes;
  uint32_t frames = 0, tracks = 0, rateNum = 0, rateDen = 0;
  std::vector<uint32_t> buffers, formats, ids;
  // packets[frame][track]: the packet with its length word.
  std::vector<std::vector<std::vector<uint8_t>>> packets;
  std::vector<std::vector<uint8_t>> video;  // per frame
};

inline bool TestReadLayout(const std::string& path, TestVornLayout* l) {
  l->bytes = TestReadFile(path);
  const uint8_t* b = l->bytes.data();
  if (l->bytes.size() < 44) return false;
  l->frames = TestLe32(b + 8);
  l->rateNum = TestLe32(b + 28);
  l->rateDen = TestLe32(b + 32);
  l->tracks = TestLe32(b + 40);
  const uint32_t entries = TestLe32(b + 16), t = l->tracks;
  for (uint32_t i = 0; i < t; i++) {
    l->buffers.push_back(TestLe32(b + 44 + 4 * i));
    l->formats.push_back(TestLe32(b + 44 + 4 * (t + i)));
    l->ids.push_back(TestLe32(b + 44 + 4 * (2 * t + i)));
  }
  const uint8_t* index = b + 44 + 12 * t;
  if (44 + 12 * t + 4 * (entries + 1) > l->bytes.size()) return false;
  for (uint32_t k = 0; k < l->frames; k++) {
    uint32_t a = TestLe32(index + 4 * k) & ~1u, e = TestLe32(index + 4 * k + 4) & ~1u;
    if (e > l->bytes.size() || e < a) return false;
    std::vector<std::vector<uint8_t>> ps;
    uint32_t p = a;
    for (uint32_t i = 0; i < t; i++) {
      uint32_t n = TestLe32(b + p);
      if (p + 4 + n > e) return false;
      ps.emplace_back(b + p, b + p + 4 + n);
      p += 4 + n;
    }
    l->packets.push_back(ps);
    l->video.emplace_back(b + p, b + e);
  }
  return true;
}

// The decoded sound of track `track`, packet by packet.
inline std::vector<int16_t> TestDecodeTrack(const TestVornLayout& l, uint32_t track) {
  const uint32_t format = l.formats[track];
  VornAudio* a = VornAudioOpen(format & 0xFFFF, format & 0x20000000 ? 2 : 1, 1);
  std::vector<int16_t> out;
  if (!a) return out;
  for (const auto& ps : l.packets) {
    const std::vector<uint8_t>& p = ps[track];
    if (p.size() <= 4) continue;
    const uint32_t owed = TestLe32(p.data() + 4);
    std::vector<uint8_t> pcm(owed);
    uint32_t got = VornAudioDecodePacket(a, p.data() + 4, (uint32_t)p.size() - 4, pcm.data(), owed);
    const size_t at = out.size();
    out.resize(at + got / 2);
    memcpy(out.data() + at, pcm.data(), got / 2 * 2);
  }
  VornAudioClose(a);
  return out;
}
