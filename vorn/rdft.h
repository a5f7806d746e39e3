// Real discrete Fourier transform of the sound codec, single precision, in
// the packed layout: a[0] = sum x[n], a[1] = sum x[n] (-1)^n, and for
// 1 <= k < n/2: a[2k] = sum x[n] cos(2 pi k n / N), a[2k+1] = sum x[n]
// sin(2 pi k n / N). Computed as a complex FFT of length N/2 with a real
// twist step before (inverse) or after (forward) it.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VornRdft VornRdft;

// One complex FFT kernel: the unnormalised inverse (exponent +) transform of
// t->m interleaved complex values, in place.
typedef void (*VornFftProc)(const VornRdft* t, float* z);

struct VornRdft {
  uint32_t n;             // real length, a power of two, 8 .. 65536
  uint32_t m;             // complex length n / 2
  uint32_t swapCount;     // bit-reversal exchanges
  const uint32_t* swaps;  // swapCount pairs (i, j), i < j
  const float* twiddle;   // m complex: the stage of half size h at [h, 2h),
                          // entry h + j = e^(+i pi j / h); entry 0 unused
  const float* twist;     // n / 4 + 1 complex: entry k = e^(+2 i pi k / n)
  VornFftProc fft;        // kernel chosen at init
};

// Bytes of table memory VornRdftInit needs for length n; 0 when n is not a
// power of two in 8 .. 65536.
uint32_t VornRdftTableBytes(uint32_t n);
// Builds the tables into tables (VornRdftTableBytes(n) bytes, 32-byte
// aligned) and picks the fastest kernel for this processor. Returns 1, or 0
// for an unsupported n.
int VornRdftInit(VornRdft* t, uint32_t n, void* tables);

// In place, on t->n floats: packed spectrum a -> y[n] = (a[0] + a[1] (-1)^n)
// / 2 + sum_k (a[2k] cos + a[2k+1] sin), i.e. (N/2) x for a = forward(x).
void VornRdftInverse(const VornRdft* t, float* a);
// In place, on t->n floats: signal x -> packed spectrum a.
void VornRdftForward(const VornRdft* t, float* x);

// The complex FFT kernels: index 0 is the plain C++ reference; others are
// present only when this processor has the instructions (null otherwise).
enum { VORN_FFT_REFERENCE = 0, VORN_FFT_SSE2 = 1, VORN_FFT_AVX2 = 2, VORN_FFT_KERNELS = 3 };
VornFftProc VornFftKernel(int which);
const char* VornFftKernelName(int which);

#ifdef __cplusplus
}
#endif
