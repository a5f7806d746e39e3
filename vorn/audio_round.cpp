// Transform output to 16-bit samples: the plain reference and the choice of
// kernel.
#include "vorn/audio.h"
#include "vorn/cpu.h"

void VornAudioRoundSse2(int16_t* out, const float* y, float gain, uint32_t n);

// Adding and taking away 1.5 * 2^23 rounds in the current (nearest-even)
// mode; the value is limited before it is converted.
static void RoundReference(int16_t* out, const float* y, float gain, uint32_t n) {
  for (uint32_t i = 0; i < n; i++) {
    float v = y[i] * gain;
    if (v != v) v = 0.0f;
    if (v < -32768.0f) v = -32768.0f;
    if (v > 32767.0f) v = 32767.0f;
    out[i] = (int16_t)(int32_t)((v + 12582912.0f) - 12582912.0f);
  }
}

VornAudioRoundProc VornAudioRoundKernel(int which) {
  switch (which) {
    case VORN_ROUND_REFERENCE: return RoundReference;
    case VORN_ROUND_SSE2: return VornCpuFlags() & VORN_CPU_SSE2 ? VornAudioRoundSse2 : nullptr;
    default: return nullptr;
  }
}
