// Real DFT through a half-length complex FFT: tables, kernel choice and the
// twist between the real spectrum and the complex one.
#include "vorn/rdft.h"

#include <math.h>

#include "vorn/cpu.h"
#include "vorn/fft_kernels.h"

static uint32_t Round32(uint32_t bytes) { return (bytes + 31) & ~31u; }

static int ValidLength(uint32_t n) { return n >= 8 && n <= 65536 && (n & (n - 1)) == 0; }

static uint32_t SwapBytes(uint32_t m) { return Round32(m / 2 * 8); }

uint32_t VornRdftTableBytes(uint32_t n) {
  if (!ValidLength(n)) return 0;
  uint32_t m = n / 2;
  return Round32(m * 8) + Round32((n / 4 + 1) * 8) + SwapBytes(m);
}

VornFftProc VornFftKernel(int which) {
  uint32_t cpu = VornCpuFlags();
  switch (which) {
    case VORN_FFT_REFERENCE: return VornFftReference;
    case VORN_FFT_SSE2: return (cpu & VORN_CPU_SSE2) ? VornFftSse2 : nullptr;
    case VORN_FFT_AVX2: return (cpu & VORN_CPU_AVX2) ? VornFftAvx2 : nullptr;
    default: return nullptr;
  }
}

const char* VornFftKernelName(int which) {
  static const char* const kNames[VORN_FFT_KERNELS] = {"reference", "sse2", "avx2"};
  return which >= 0 && which < VORN_FFT_KERNELS ? kNames[which] : "";
}

int VornRdftInit(VornRdft* t, uint32_t n, void* tables) {
  if (!ValidLength(n) || !tables) return 0;
  const uint32_t m = n / 2;
  float* twiddle = (float*)tables;
  float* twist = (float*)((uint8_t*)tables + Round32(m * 8));
  uint32_t* swaps = (uint32_t*)((uint8_t*)twist + Round32((n / 4 + 1) * 8));

  twiddle[0] = twiddle[1] = 0;
  for (uint32_t h = 1; h < m; h <<= 1)
    for (uint32_t j = 0; j < h; j++) {
      double a = M_PI * j / h;
      twiddle[2 * (h + j)] = (float)cos(a);
      twiddle[2 * (h + j) + 1] = (float)sin(a);
    }
  for (uint32_t k = 0; k <= n / 4; k++) {
    double a = 2 * M_PI * k / n;
    twist[2 * k] = (float)cos(a);
    twist[2 * k + 1] = (float)sin(a);
  }

  uint32_t bits = 0;
  while ((1u << bits) < m) bits++;
  uint32_t count = 0;
  for (uint32_t i = 0; i < m; i++) {
    uint32_t r = 0;
    for (uint32_t b = 0; b < bits; b++)
      if (i & (1u << b)) r |= 1u << (bits - 1 - b);
    if (i < r) {
      swaps[2 * count] = i;
      swaps[2 * count + 1] = r;
      count++;
    }
  }

  t->n = n;
  t->m = m;
  t->swapCount = count;
  t->swaps = swaps;
  t->twiddle = twiddle;
  t->twist = twist;
  t->fft = VornFftKernel(VORN_FFT_AVX2);
  if (!t->fft) t->fft = VornFftKernel(VORN_FFT_SSE2);
  if (!t->fft) t->fft = VornFftReference;
  return 1;
}

// Z[k] = E + i O with E = (P[k] + conj P[m-k]) / 2, O = (P[k] - conj P[m-k])
// w^k / 2, for the pairs k, m - k with 0 < k < m / 2, where P[k] = (a[2k],
// inSign a[2k+1]): the inverse reads the packed values as conj X, the
// forward twists the FFT of the conjugated signal.
static inline void Twist(const VornRdft* t, float* a, float inSign) {
  const uint32_t m = t->m;
  const float* w = t->twist;
  for (uint32_t k = 1; k < m / 2; k++) {
    uint32_t j = m - k;
    float xr = a[2 * k], xi = inSign * a[2 * k + 1];
    float yr = a[2 * j], yi = inSign * a[2 * j + 1];
    float er = 0.5f * (xr + yr), ei = 0.5f * (xi - yi);
    float dr = 0.5f * (xr - yr), di = 0.5f * (xi + yi);
    float c = w[2 * k], s = w[2 * k + 1];
    float orr = dr * c - di * s;
    float oi = dr * s + di * c;
    a[2 * k] = er - oi;
    a[2 * k + 1] = ei + orr;
    a[2 * j] = er + oi;
    a[2 * j + 1] = orr - ei;
  }
}

void VornRdftInverse(const VornRdft* t, float* a) {
  float dc = a[0], nyquist = a[1];
  a[0] = 0.5f * (dc + nyquist);
  a[1] = 0.5f * (dc - nyquist);
  Twist(t, a, -1.0f);
  // The middle bin m/2 maps onto itself unchanged.
  t->fft(t, a);
}

void VornRdftForward(const VornRdft* t, float* x) {
  const uint32_t n = t->n, m = t->m;
  for (uint32_t i = 1; i < n; i += 2) x[i] = -x[i];
  t->fft(t, x);
  float r = x[0], i0 = x[1];
  x[0] = r - i0;
  x[1] = r + i0;
  Twist(t, x, 1.0f);
  x[m + 1] = -x[m + 1];
}
