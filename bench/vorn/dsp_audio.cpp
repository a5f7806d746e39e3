// Sound decoding figures: whole blocks (seconds of sound decoded per second)
// and the bare inverse transform with each FFT kernel.
#include <benchmark/benchmark.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <vector>

#include "vorn/audio.h"
#include "vorn/rdft.h"

namespace {

struct Writer {
  std::vector<uint32_t> words;
  uint32_t bits = 0;
  void Put(uint32_t v, uint32_t n) {
    for (uint32_t i = 0; i < n; i++, bits++) {
      if (bits / 32 >= words.size()) words.push_back(0);
      words[bits / 32] |= ((v >> i) & 1) << (bits % 32);
    }
  }
};

uint32_t Pack(float v) {
  uint32_t m = (uint32_t)fminf(fabsf(v), 8388607.0f);
  return 23 | m << 5 | (v < 0 ? 1u << 28 : 0);
}

// Blocks of a tone mixture with some noise, quantised with one step for all
// bands and coded in groups of 8.
std::vector<uint8_t> MakeBlocks(uint32_t rate, uint32_t channels, int count) {
  VornAudioGeometry g;
  VornAudioGetGeometry(&g, rate, channels);
  const uint32_t n = g.n;
  std::vector<uint8_t> tables(VornRdftTableBytes(n) + 32);
  VornRdft t;
  VornRdftInit(&t, n, (void*)(((uintptr_t)tables.data() + 31) & ~(uintptr_t)31));
  std::mt19937 rng(1);
  std::normal_distribution<float> noise(0.0f, 300.0f);
  std::vector<uint8_t> out;
  std::vector<float> x(n);
  for (int b = 0; b < count; b++) {
    for (uint32_t i = 0; i < n; i++) {
      double s = (double)(b * (n - g.overlap) + i) / channels / rate;
      x[i] = (float)(6000 * sin(2 * M_PI * 440 * s) + 3000 * sin(2 * M_PI * 1250 * s) +
                     1500 * sin(2 * M_PI * 5100 * s)) + noise(rng);
    }
    VornRdftForward(&t, x.data());
    const float in = 1.0f / sqrtf((float)n);
    for (float& v : x) v *= in;
    const uint32_t q = 25;
    const float step = VornAudioBandScale(q);
    Writer w;
    w.Put(Pack(x[0]), 29);
    w.Put(Pack(x[1]), 29);
    for (uint32_t i = 0; i < g.bands; i++) w.Put(q, 8);
    for (uint32_t i = 2; i < n; i += 8) {
      int c[8];
      uint32_t top = 0, width = 0;
      for (int j = 0; j < 8; j++) {
        c[j] = i + j < n ? (int)lrintf(x[i + j] / step) : 0;
        c[j] = c[j] > 32767 ? 32767 : c[j] < -32767 ? -32767 : c[j];
        top |= (uint32_t)abs(c[j]);
      }
      while (top >> width) width++;
      w.Put(0, 1);
      w.Put(width, 4);
      for (int j = 0; j < 8 && width && i + j < n; j++) {
        w.Put((uint32_t)abs(c[j]), width);
        if (c[j]) w.Put(c[j] < 0, 1);
      }
    }
    const uint8_t* p = (const uint8_t*)w.words.data();
    out.insert(out.end(), p, p + w.words.size() * 4);
  }
  return out;
}

void BM_AudioDecodeBlock(benchmark::State& state) {
  const uint32_t rate = (uint32_t)state.range(0), channels = (uint32_t)state.range(1);
  const int kBlocks = 16;
  const std::vector<uint8_t> data = MakeBlocks(rate, channels, kBlocks);
  VornAudio* a = VornAudioOpen(rate, channels, 1);
  const uint8_t* p = data.data();
  const uint8_t* end = data.data() + data.size();
  uint64_t samples = 0;
  for (auto _ : state) {
    uint32_t pcm;
    const uint8_t* next;
    benchmark::DoNotOptimize(VornAudioDecodeBlock(a, p, end, &pcm, &next, nullptr));
    samples += pcm / 2;
    p = next < end ? next : data.data();
  }
  state.counters["sound_s_per_s"] =
      benchmark::Counter((double)samples / channels / rate, benchmark::Counter::kIsRate);
  state.SetLabel(std::to_string(data.size() / kBlocks) + " bytes/block");
  VornAudioClose(a);
}
BENCHMARK(BM_AudioDecodeBlock)->Args({44100, 2})->Args({22050, 1})->Args({11025, 1});

void BM_RdftInverse(benchmark::State& state) {
  const uint32_t n = (uint32_t)state.range(0);
  VornFftProc fft = VornFftKernel((int)state.range(1));
  if (!fft) {
    state.SkipWithError("kernel not available here");
    return;
  }
  std::vector<uint8_t> tables(VornRdftTableBytes(n) + 32);
  VornRdft t;
  VornRdftInit(&t, n, (void*)(((uintptr_t)tables.data() + 31) & ~(uintptr_t)31));
  t.fft = fft;
  std::vector<float> buf(n + 8), input(n);
  float* a = (float*)(((uintptr_t)buf.data() + 31) & ~(uintptr_t)31);
  std::mt19937 rng(2);
  for (float& v : input) v = (float)(rng() % 2001) - 1000.0f;
  for (auto _ : state) {
    memcpy(a, input.data(), n * sizeof(float));  // same input each time
    VornRdftInverse(&t, a);
    benchmark::ClobberMemory();
  }
  state.SetLabel(VornFftKernelName((int)state.range(1)));
}
BENCHMARK(BM_RdftInverse)->ArgsProduct({{512, 1024, 2048, 4096}, {0, 1, 2}});

}  // namespace
