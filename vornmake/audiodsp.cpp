#include "vornmake/audiodsp.h"

#include <math.h>

#include "vorn/cpu.h"

static float NoiseRef(const float* v, uint32_t count, float w, float r) {
  float noise = 0;
  for (uint32_t i = 0; i < count; i++) {
    const float e = v[i] - roundf(v[i] * r) * w;
    noise += e * e;
  }
  return noise;
}

VmkAudioNoiseProc VmkAudioNoiseKernel(int which) {
  const uint32_t cpu = VornCpuFlags();
  switch (which) {
    case VMK_AUDIO_REFERENCE:
      return NoiseRef;
    case VMK_AUDIO_SSE2:
      return cpu & VORN_CPU_SSE2 ? VmkAudioNoiseSse2 : nullptr;
    case VMK_AUDIO_AVX2:
      return cpu & VORN_CPU_AVX2 ? VmkAudioNoiseAvx2 : nullptr;
  }
  return nullptr;
}

VmkAudioNoiseProc VmkAudioNoise(void) {
  static const VmkAudioNoiseProc chosen = [] {
    for (int k = VMK_AUDIO_KERNELS - 1; k > 0; k--)
      if (VmkAudioNoiseProc p = VmkAudioNoiseKernel(k)) return p;
    return VmkAudioNoiseKernel(VMK_AUDIO_REFERENCE);
  }();
  return chosen;
}
