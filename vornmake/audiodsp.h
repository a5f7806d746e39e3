// The sound encoder's inner routine, with a plain C++ reference and SIMD
// versions chosen at start-up.
#pragma once

#include <stdint.h>

// Quantisation noise of count values at step w (r = 1 / w): the sum of
// (v - n w)^2 with n = v r rounded to the nearest integer, halves away from
// zero. |v r| must stay below 2^31.
typedef float (*VmkAudioNoiseProc)(const float* v, uint32_t count, float w, float r);

enum { VMK_AUDIO_REFERENCE = 0, VMK_AUDIO_SSE2 = 1, VMK_AUDIO_AVX2 = 2, VMK_AUDIO_KERNELS = 3 };
// Null when this processor lacks the instructions.
VmkAudioNoiseProc VmkAudioNoiseKernel(int which);
// The fastest one here.
VmkAudioNoiseProc VmkAudioNoise(void);

float VmkAudioNoiseSse2(const float* v, uint32_t count, float w, float r);
float VmkAudioNoiseAvx2(const float* v, uint32_t count, float w, float r);
