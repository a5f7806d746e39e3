// Frame copy speed: every format through each converter set on a 1280 x 720
// picture, in megapixels per second, beside a memcpy of the same output
// bytes.
//   vorndspbench --benchmark_filter=Convert --benchmark_repetitions=5
//                --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "vorn/convert_impl.h"

namespace {

const int32_t kW = 1280, kH = 720;

struct Picture {
  std::vector<uint8_t> planes, alpha;
  Picture() : planes((size_t)kW * kH * 3 / 2), alpha((size_t)kW * kH) {
    std::mt19937 rng(1);
    for (uint8_t& b : planes) b = (uint8_t)rng();
    for (uint8_t& b : alpha) b = (uint8_t)rng();
  }
};
const Picture& Pic() {
  static Picture p;
  return p;
}

const VornConvBackend* Backend(int64_t i) {
  return i == 0 ? VornConvBackendRef() : i == 1 ? VornConvBackendSse2() : VornConvBackendAvx2();
}

// Output bytes per pixel (format 15: 1.5) times 2 to stay an integer.
int64_t HalfBytes(uint32_t format) { return format == VORN_FMT_YV12 ? 3 : 2 * VornFormatBytes(format); }

void Rate(benchmark::State& state, double pixelsPerIteration) {
  state.counters["Mpx/s"] =
      benchmark::Counter(pixelsPerIteration * (double)state.iterations() / 1e6, benchmark::Counter::kIsRate);
}

// args: format, backend (0 C++, 1 SSE2, 2 AVX2), scaling mode
void BM_Convert(benchmark::State& state) {
  uint32_t format = (uint32_t)state.range(0), mode = (uint32_t)state.range(2);
  const VornConvBackend* be = Backend(state.range(1));
  if (!be) {
    state.SkipWithError("not on this processor");
    return;
  }
  int32_t scale = mode == 4 ? 4 : 1;
  int32_t pitch = kW * VornFormatBytes(format) * (mode == 4 ? 2 : 1);
  if (format == VORN_FMT_YV12) pitch = kW;
  std::vector<uint8_t> out((size_t)HalfBytes(format) * kW * kH * scale / 2);
  const Picture& p = Pic();
  bool alpha = format >= 5 && format <= 8;
  uint32_t flags = format | mode << VORN_COPY_MODE_SHIFT;
  for (auto _ : state) {
    VornConvertFrameWith(be, out.data(), pitch, kH * (mode == 4 ? 2 : 1), 0, 0, p.planes.data(),
                         alpha ? p.alpha.data() : nullptr, nullptr, kW, kH, kW, kH, flags);
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(be->name) + (alpha ? " alpha" : ""));
  Rate(state, (double)kW * kH);
}
BENCHMARK(BM_Convert)
    ->ArgsProduct({benchmark::CreateDenseRange(1, 15, 1), {0, 1, 2}, {0}})
    ->ArgNames({"fmt", "simd", "mode"})
    ->Unit(benchmark::kMicrosecond);
// Doubled width and height (four output pixels per source pixel).
BENCHMARK(BM_Convert)
    ->ArgsProduct({{3, 10, 13}, {0, 1, 2}, {4}})
    ->ArgNames({"fmt", "simd", "mode"})
    ->Unit(benchmark::kMicrosecond);

// The same number of output bytes as format `fmt` at 1x (arg 1: 4 for mode 4).
void BM_Memcpy(benchmark::State& state) {
  uint32_t format = (uint32_t)state.range(0);
  size_t bytes = (size_t)HalfBytes(format) * kW * kH * state.range(1) / 2;
  std::vector<uint8_t> src(bytes, 1), dst(bytes);
  for (auto _ : state) {
    memcpy(dst.data(), src.data(), bytes);
    benchmark::ClobberMemory();
  }
  Rate(state, (double)kW * kH);
}
BENCHMARK(BM_Memcpy)
    ->ArgsProduct({{1, 3, 10, 15}, {1}})
    ->Args({3, 4})
    ->ArgNames({"fmt", "scale"})
    ->Unit(benchmark::kMicrosecond);

// The doubled-line writers on their own: 0 converts twice, 1 through the
// line buffer, -1 tuned.
void BM_LineWriter(benchmark::State& state) {
  const VornConvBackend* be = VornConvBackendFor(0);
  int32_t pitch = kW * 4 * 2;
  std::vector<uint8_t> out((size_t)pitch * kH * 2);
  const Picture& p = Pic();
  VornConvSetLineWriter((int32_t)state.range(0));
  for (auto _ : state) {
    VornConvertFrameWith(be, out.data(), pitch, kH * 2, 0, 0, p.planes.data(), nullptr, nullptr, kW,
                         kH, kW, kH, VORN_FMT_BGR32 | 4u << VORN_COPY_MODE_SHIFT);
    benchmark::ClobberMemory();
  }
  VornConvSetLineWriter(-1);
  state.SetLabel(be->name);
  Rate(state, (double)kW * kH);
}
BENCHMARK(BM_LineWriter)->Arg(0)->Arg(1)->Arg(-1)->ArgName("writer")->Unit(benchmark::kMicrosecond);

}  // namespace
