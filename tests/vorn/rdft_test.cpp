// The packed real DFT against a direct double-precision evaluation, and
// every FFT kernel against the reference.
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <random>
#include <vector>

#include "vorn/rdft.h"

namespace {

struct Rdft {
  VornRdft t;
  std::vector<float> tables;
  explicit Rdft(uint32_t n) : tables(VornRdftTableBytes(n) / 4 + 8) {
    void* p = (void*)(((uintptr_t)tables.data() + 31) & ~(uintptr_t)31);
    ok = VornRdftInit(&t, n, p);
  }
  int ok;
};

std::vector<float> Random(uint32_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> d(-1000.0f, 1000.0f);
  std::vector<float> v(n);
  for (float& x : v) x = d(rng);
  return v;
}

// cos and sin of 2 pi j / n for j < n.
struct Angles {
  std::vector<double> c, s;
  explicit Angles(size_t n) : c(n), s(n) {
    for (size_t j = 0; j < n; j++) {
      c[j] = cos(2 * M_PI * (double)j / n);
      s[j] = sin(2 * M_PI * (double)j / n);
    }
  }
};

std::vector<double> DirectForward(const std::vector<float>& x) {
  const size_t n = x.size();
  const Angles w(n);
  std::vector<double> a(n, 0.0);
  for (size_t i = 0; i < n; i++) {
    a[0] += x[i];
    a[1] += i & 1 ? -x[i] : x[i];
  }
  for (size_t k = 1; k < n / 2; k++)
    for (size_t i = 0; i < n; i++) {
      a[2 * k] += x[i] * w.c[k * i % n];
      a[2 * k + 1] += x[i] * w.s[k * i % n];
    }
  return a;
}

std::vector<double> DirectInverse(const std::vector<float>& a) {
  const size_t n = a.size();
  const Angles w(n);
  std::vector<double> y(n);
  for (size_t i = 0; i < n; i++) {
    double s = (a[0] + (i & 1 ? -a[1] : a[1])) / 2.0;
    for (size_t k = 1; k < n / 2; k++)
      s += a[2 * k] * w.c[k * i % n] + a[2 * k + 1] * w.s[k * i % n];
    y[i] = s;
  }
  return y;
}

// Largest difference relative to the largest reference magnitude.
template <typename T>
double RelError(const std::vector<float>& got, const std::vector<T>& want) {
  double err = 0, big = 0;
  for (size_t i = 0; i < got.size(); i++) {
    err = std::max(err, fabs(got[i] - (double)want[i]));
    big = std::max(big, fabs((double)want[i]));
  }
  return err / big;
}

TEST(VornRdft, Lengths) {
  EXPECT_EQ(VornRdftTableBytes(4), 0u);
  EXPECT_EQ(VornRdftTableBytes(1000), 0u);
  EXPECT_EQ(VornRdftTableBytes(131072), 0u);
  EXPECT_GT(VornRdftTableBytes(8), 0u);
  EXPECT_GT(VornRdftTableBytes(65536), 0u);
}

TEST(VornRdft, MatchesDirectTransform) {
  for (uint32_t n : {8u, 16u, 64u, 512u, 1024u, 2048u, 4096u}) {
    SCOPED_TRACE(n);
    Rdft r(n);
    ASSERT_TRUE(r.ok);
    std::vector<float> x = Random(n, n);

    std::vector<float> a = x;
    VornRdftForward(&r.t, a.data());
    EXPECT_LT(RelError(a, DirectForward(x)), 2e-6);

    std::vector<float> y = x;
    VornRdftInverse(&r.t, y.data());
    EXPECT_LT(RelError(y, DirectInverse(x)), 2e-6);

    std::vector<float> back = a;
    VornRdftInverse(&r.t, back.data());
    std::vector<double> scaled(x.begin(), x.end());
    for (double& v : scaled) v *= n / 2;
    EXPECT_LT(RelError(back, scaled), 2e-6);
  }
}

TEST(VornRdft, KernelsMatchReference) {
  for (int k = 1; k < VORN_FFT_KERNELS; k++) {
    VornFftProc fft = VornFftKernel(k);
    if (!fft) continue;
    SCOPED_TRACE(VornFftKernelName(k));
    for (uint32_t n : {8u, 16u, 32u, 64u, 512u, 4096u, 65536u}) {
      SCOPED_TRACE(n);
      Rdft r(n);
      std::vector<float> want = Random(n, 7 * n), got = want;
      VornFftKernel(VORN_FFT_REFERENCE)(&r.t, want.data());
      fft(&r.t, got.data());
      EXPECT_LT(RelError(got, want), 1e-6);
    }
  }
}

}  // namespace
