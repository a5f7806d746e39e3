// Helpers of the playback tests: a clock the test drives, a sound back end
// that records what it is given, and files whose sound is a known constant.
#pragma once

#include <stdint.h>
#include <string.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/plat.h"
#include "vorn/internal.h"
#include "vorn/vorn.h"
#include "vorn_file.h"

// ---------------------------------------------------------------- clock
// Replaces the platform clock while it lives; time moves only when told.
class TestClock {
 public:
  explicit TestClock(uint32_t ms) {
    Set(ms);
    old_ = PlatClockSetHook(Now);
  }
  ~TestClock() { PlatClockSetHook(old_); }
  void Set(uint32_t ms) { us_ = (uint64_t)ms * 1000; }
  void Advance(uint32_t ms) { us_ += (uint64_t)ms * 1000; }
  uint32_t Ms() const { return (uint32_t)(us_ / 1000); }

 private:
  static uint64_t Now() { return us_; }
  static inline std::atomic<uint64_t> us_{0};
  PlatClockHook old_;
};

// ---------------------------------------------------------------- sound
// The back end: ready for `budget` more segments (-1 unlimited), or, with
// realTime, as long as fewer than `ahead` segments wait to be played at the
// output's byte rate by the clock (it starts once `ahead` are queued); a
// device that runs dry reports an underrun. Everything it is given is recorded.
struct FakeSound {
  uint32_t segmentBytes = 960;  // output bytes per segment
  uint32_t latency = 0;
  int32_t budget = -1;
  bool realTime = false;
  uint32_t ahead = 4;
  bool refuse = false;

  uint32_t rate = 0, bits = 0, channels = 0;
  std::vector<uint8_t> data;        // every byte committed, in order
  std::vector<uint32_t> commits;    // bytes of each commit
  std::vector<int> startStops, pauses;
  int closes = 0;

  std::vector<uint8_t> segment;
  bool stopped = false;
  uint64_t playStartUs = 0;   // realTime: playing since (0: not playing)
  uint64_t playedAtStart = 0; // bytes played (or dropped) before then
  VornSoundOut* sound = nullptr;

  uint32_t BytesPerSecond() const { return rate * channels * bits / 8; }
  // Bytes played so far (realTime). A device that ran dry played silence.
  uint64_t Played() {
    if (!playStartUs) return playedAtStart;
    uint64_t played = playedAtStart + (PlatClockUs() - playStartUs) * BytesPerSecond() / 1000000;
    if (played > data.size()) {
      PlatAtomicStore(&sound->underrun, 1);
      playStartUs = PlatClockUs();
      playedAtStart = played = data.size();
    }
    return played;
  }
};

inline FakeSound* g_fake = nullptr;

inline FakeSound* Fake(VornSoundOut* s) { return (FakeSound*)s->backEnd; }

inline int FakeReady(VornSoundOut* s) {
  FakeSound* f = Fake(s);
  if (f->realTime) return f->data.size() - f->Played() < (uint64_t)f->ahead * f->segmentBytes;
  return f->budget != 0;
}
inline int FakeGetSegment(VornSoundOut* s, uint8_t** data, uint32_t* bytes) {
  FakeSound* f = Fake(s);
  f->segment.assign(f->segmentBytes, 0xEE);
  *data = f->segment.data();
  *bytes = f->segmentBytes;
  return 1;
}
inline int FakeCommit(VornSoundOut* s, uint32_t bytes) {
  FakeSound* f = Fake(s);
  if (f->budget > 0) f->budget--;
  f->commits.push_back(bytes);
  f->data.insert(f->data.end(), f->segment.begin(), f->segment.begin() + bytes);
  // Playing starts once `ahead` segments are queued.
  if (f->realTime && !f->playStartUs && !f->stopped &&
      f->data.size() - f->playedAtStart >= (uint64_t)f->ahead * f->segmentBytes)
    f->playStartUs = PlatClockUs();
  return 1;
}
inline void FakePause(VornSoundOut* s, int on) { Fake(s)->pauses.push_back(on); }
inline int FakeStartStop(VornSoundOut* s, int start) {
  FakeSound* f = Fake(s);
  f->startStops.push_back(start);
  f->stopped = !start;
  // Stopping drops what waits; starting plays what came meanwhile.
  if (!start) f->playedAtStart = f->data.size();
  f->playStartUs = start && f->data.size() > f->playedAtStart ? PlatClockUs() : 0;
  return start;
}
inline void FakeClose(VornSoundOut* s) { Fake(s)->closes++; }

inline int FakeOpen(VornSoundOut* s, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t,
                    VornHandle*) {
  FakeSound* f = g_fake;
  if (!f || f->refuse) return 0;
  f->rate = rate;
  f->bits = bits;
  f->channels = channels;
  f->sound = s;
  s->ready = FakeReady;
  s->getSegment = FakeGetSegment;
  s->commit = FakeCommit;
  s->pause = FakePause;
  s->startStop = FakeStartStop;
  s->close = FakeClose;
  s->segmentSourceBytes = bits == 8 ? 2 * f->segmentBytes : f->segmentBytes;
  s->latency = f->latency;
  s->backEnd = f;
  return 1;
}
inline VornSoundTrackOpen FakeSystem(void*) { return FakeOpen; }

// Installs the fake back end for the opens made while it lives.
class FakeSoundOutput {
 public:
  explicit FakeSoundOutput(FakeSound* f) {
    g_fake = f;
    VornSelectSoundOutput(FakeSystem, nullptr);
  }
  ~FakeSoundOutput() {
    VornSelectSoundOutput(nullptr, nullptr);
    g_fake = nullptr;
  }
};

// ---------------------------------------------------------------- files
// One sound block of a 22050 Hz mono track (1024-value transform, 23
// bands) whose every sample is `level` (a multiple of 64, so that the
// cross-fade of two such blocks is exact): only the DC value is coded.
inline std::vector<uint8_t> ConstantSoundBlock(uint32_t level) {
  std::vector<uint32_t> words;
  uint32_t bitPos = 0;
  auto put = [&](uint32_t v, uint32_t n) {
    for (uint32_t i = 0; i < n; i++, bitPos++) {
      if (bitPos % 32 == 0) words.push_back(0);
      if (v >> i & 1) words.back() |= 1u << (bitPos % 32);
    }
  };
  put(23 | (32 * level) << 5, 29);  // DC: exponent 23, mantissa 32 x level
  put(0, 29);                       // Nyquist
  for (int b = 0; b < 23; b++) put(0, 8);
  for (int g = 0; g < 2; g++) {     // two groups of 512 zeros
    put(1, 1);
    put(15, 4);
    put(0, 4);
  }
  std::vector<uint8_t> out(words.size() * 4);
  for (size_t i = 0; i < words.size(); i++) TestPut32(out, 4 * i, words[i]);
  return out;
}
enum { kBlockPcmBytes = 960 * 2, kSoundLevel = 1024 };

// A file at `rate` frames per second whose track 0 (22050 Hz mono, 16- or
// 8-bit) has one constant block per frame; the video data is a few zeros.
inline TestVornFile ConstantSoundFile(uint32_t frames, uint32_t bits, uint32_t rate = 10,
                                      uint32_t ringBlocks = 4) {
  TestVornFile f;
  f.rate = rate;
  uint32_t format = VORN_TRACK_SOUND | 22050 | (bits == 16 ? (uint32_t)VORN_TRACK_16BIT : 0u);
  f.tracks = {{ringBlocks * kBlockPcmBytes, format, 1}};
  std::vector<uint8_t> block = ConstantSoundBlock(kSoundLevel);
  for (uint32_t i = 0; i < frames; i++) {
    std::vector<uint8_t> fr(8 + block.size() + 16, 0);
    TestPut32(fr, 0, 4 + (uint32_t)block.size());
    TestPut32(fr, 4, kBlockPcmBytes);
    memcpy(&fr[8], block.data(), block.size());
    f.frames.push_back(fr);
  }
  return f;
}

// Opens a file image from memory; the background thread is stopped so that
// only the test's thread moves sound.
inline VornHandle* OpenForTest(const std::vector<uint8_t>& b, uint32_t flags = 0) {
  VornPresetMemorySize(b.size());
  VornHandle* h = VornOpen((const char*)b.data(), VORN_OPEN_MEMORY | flags);
  if (h) VornThreadStop(h);
  return h;
}
