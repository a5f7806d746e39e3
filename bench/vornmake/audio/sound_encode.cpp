// Sound encoder speed in seconds of sound coded per second: whole blocks
// (transform, perceptual model, quantisation, groups) by rate, channels and
// signal, and the step search alone.
#include <benchmark/benchmark.h>
#include <string.h>

#include <vector>

#include "sound_signals.h"
#include "vornmake/audioenc.h"

namespace {

void EncodeBlocks(benchmark::State& state) {
  const SoundKind kind = (SoundKind)state.range(0);
  const uint32_t rate = (uint32_t)state.range(1), channels = (uint32_t)state.range(2);
  const int32_t quality = (int32_t)state.range(3);
  const std::vector<int16_t> pcm = MakeSound(kind, rate, channels, rate * 4);
  VmkAudioEnc* e = VmkAudioEncOpen(rate, channels);
  size_t at = 0;
  uint64_t frames = 0, coded = 0;
  for (auto _ : state) {
    uint32_t room, length, accounted;
    int16_t* in = VmkAudioEncInput(e, &room);
    if ((at + room / 2) > pcm.size()) at = 0;
    memcpy(in, pcm.data() + at, room);
    at += room / 2;
    const uint8_t* b = VmkAudioEncBlock(e, quality, room, &length, &accounted);
    benchmark::DoNotOptimize(b);
    frames += accounted / 2 / channels;
    coded += length;
  }
  state.counters["sound_s_per_s"] = benchmark::Counter((double)frames / rate, benchmark::Counter::kIsRate);
  state.counters["ratio"] = coded ? (double)frames * channels * 2 / coded : 0;
  VmkAudioEncClose(e);
}
BENCHMARK(EncodeBlocks)
    ->ArgNames({"kind", "rate", "ch", "q"})
    ->Args({SOUND_CHORDS, 44100, 2, 1})
    ->Args({SOUND_NOISE_BURSTS, 44100, 2, 1})
    ->Args({SOUND_TONES, 44100, 2, 1})
    ->Args({SOUND_CHORDS, 44100, 2, 0})
    ->Args({SOUND_CHORDS, 22050, 1, 1})
    ->Args({SOUND_CHORDS, 11025, 1, 1})
    ->Unit(benchmark::kMicrosecond);

void StepSearch(benchmark::State& state) {
  std::vector<float> v(2 * 2048);
  uint32_t s = 1;
  for (float& x : v) {
    s = s * 1103515245u + 12345u;
    x = (float)((int32_t)(s >> 8) - (1 << 23)) / 256.0f;
  }
  const uint32_t count = (uint32_t)state.range(0);
  for (auto _ : state) benchmark::DoNotOptimize(VmkAudioStepSearch(v.data(), count, 1.0f, 1e6f * count));
}
BENCHMARK(StepSearch)->Arg(8)->Arg(100)->Arg(2658);

}  // namespace
