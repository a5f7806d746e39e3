// Micro benchmarks of the video decoder: the inverse transform and whole
// frames of the largest conformance vector.
// usage: vorndspbench [--vectors DIR] [benchmark flags]
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "vorn/expand.h"
#include "vorn/idct.h"
#include "vorn/tables.h"

namespace {

std::string gVectors;

std::vector<int16_t> RandomBlocks(int count, bool sparse) {
  std::vector<int16_t> c((size_t)count * 64, 0);
  srand(1);
  for (int b = 0; b < count; b++)
    for (int i = 0; i < 64; i++)
      if (!sparse || (i < 2 && rand() % 2) || i == 0) c[(size_t)b * 64 + i] = (int16_t)(rand() % 512 - 256);
  return c;
}

void Idct(benchmark::State& state, VornIdctFunc f, bool sparse) {
  const int n = 256;
  std::vector<int16_t> coef = RandomBlocks(n, sparse);
  int32_t out[64];
  int b = 0;
  for (auto _ : state) {
    f(out, coef.data() + (size_t)b * 64, kVornIntraQuant[b & 15]);
    benchmark::DoNotOptimize(out);
    b = (b + 1) & (n - 1);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_IdctRef(benchmark::State& s) { Idct(s, VornIdctRef, false); }
void BM_IdctRefSparse(benchmark::State& s) { Idct(s, VornIdctRef, true); }
void BM_IdctSse2(benchmark::State& s) { Idct(s, VornIdctSse2, false); }
void BM_IdctSelected(benchmark::State& s) { Idct(s, VornIdctSelect(), false); }
BENCHMARK(BM_IdctRef);
BENCHMARK(BM_IdctRefSparse);
BENCHMARK(BM_IdctSse2);
BENCHMARK(BM_IdctSelected);

uint32_t Get32(const std::vector<uint8_t>& f, size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | (uint32_t)f[at + 3] << 24;
}

// Decodes every frame of a vector file per iteration, two buffers alternating.
void BM_ExpandVector(benchmark::State& state, const char* name) {
  std::string path = gVectors + "/vorn/" + name;
  std::vector<uint8_t> f;
  if (FILE* fp = fopen(path.c_str(), "rb")) {
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, fp)) > 0) f.insert(f.end(), buf, buf + n);
    fclose(fp);
  }
  if (f.size() < 44) {
    state.SkipWithError(("missing " + path).c_str());
    return;
  }
  char rev = (char)f[3];
  uint32_t frames = Get32(f, 8), w = Get32(f, 20), h = Get32(f, 24), vflags = Get32(f, 36), tracks = Get32(f, 40);
  uint32_t hflags = (rev <= 'g' ? 0x00018000 : rev == 'h' ? 0x00008000 : 0) | (vflags & 0x00120000);
  size_t index = 44 + 12 * (size_t)tracks;
  struct Fr {
    const uint8_t* p;
    uint32_t n;
  };
  std::vector<Fr> video;
  for (uint32_t i = 0; i < frames; i++) {
    size_t at = Get32(f, index + 4 * i) & ~1u, end = Get32(f, index + 4 * i + 4) & ~1u;
    for (uint32_t t = 0; t < tracks; t++) at += 4 + Get32(f, at);
    video.push_back(Fr{f.data() + at, (uint32_t)(end - at)});
  }
  uint32_t cw = ((w + 1) / 2 + 7) & ~7u, ch = ((h + 1) / 2 + 7) & ~7u, pitch = 2 * cw, rows = 2 * ch;
  std::vector<uint8_t> pics[2], alphas[2];
  for (int i = 0; i < 2; i++) {
    pics[i].assign((size_t)pitch * rows + 2 * (size_t)cw * ch, 0);
    alphas[i].assign((size_t)pitch * rows, 0);
  }
  std::vector<uint8_t> map((pitch / 16) * (rows / 16) + 1);
  uint32_t sizes[9];
  ExpandBundleSizes(sizes, pitch);
  std::vector<uint8_t> mem[9];
  uint8_t* bundles[9];
  for (int i = 0; i < 9; i++) {
    mem[i].resize(sizes[i]);
    bundles[i] = mem[i].data();
  }
  int cur = 0;
  for (auto _ : state) {
    for (const Fr& fr : video) {
      memset(map.data(), 0, map.size());
      ExpandVorn(pics[cur ^ 1].data(), pics[cur].data(), alphas[cur ^ 1].data(), alphas[cur].data(), map.data(), w,
                 h, pitch, rows, fr.p, 0, bundles, hflags, vflags, fr.n);
      cur ^= 1;
    }
  }
  state.SetItemsProcessed(state.iterations() * (int64_t)video.size());  // frames
  state.counters["pixels/s"] =
      benchmark::Counter((double)w * h * video.size(), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(BM_ExpandVector, large_i_320x240, "large-i-320x240.vrn");
BENCHMARK_CAPTURE(BM_ExpandVector, large_h_176x144, "large-h-176x144.vrn");

}  // namespace

int main(int argc, char** argv) {
  const char* env = getenv("KOR_VECTORS");
  gVectors = env && *env ? env : KOR_VECTORS_DIR;
  int out = 1;
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "--vectors") && i + 1 < argc) {
      gVectors = argv[++i];
    } else if (!strncmp(argv[i], "--vectors=", 10)) {
      gVectors = argv[i] + 10;
    } else {
      argv[out++] = argv[i];
    }
  }
  argc = out;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
