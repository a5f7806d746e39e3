// The sound encoder's SIMD noise kernels against the reference on random
// values, steps and lengths.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "vornmake/audiodsp.h"

TEST(AudioDsp, NoiseKernelsMatchTheReference) {
  const VmkAudioNoiseProc ref = VmkAudioNoiseKernel(VMK_AUDIO_REFERENCE);
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> value(-2e6f, 2e6f), step(1.0f, 5000.0f);
  std::vector<float> v(3000);
  for (int k = VMK_AUDIO_SSE2; k < VMK_AUDIO_KERNELS; k++) {
    const VmkAudioNoiseProc p = VmkAudioNoiseKernel(k);
    if (!p) continue;
    // Halves go away from zero: 3, -3, 1, -8, and the rest is exact.
    const float halves[19] = {2.5f, -2.5f, 0.5f, -7.5f, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    EXPECT_EQ(p(halves, 19, 1.0f, 1.0f), 1.0f) << "kernel " << k;
    EXPECT_EQ(ref(halves, 19, 1.0f, 1.0f), 1.0f);
    for (int round = 0; round < 200; round++) {
      const uint32_t count = rng() % 3000;
      const float scale = round % 3 ? 1.0f : 1e-3f;  // also mostly small values
      for (uint32_t i = 0; i < count; i++) v[i] = value(rng) * scale;
      const float w = round % 5 ? step(rng) : 1.0f;
      const float a = ref(v.data(), count, w, 1.0f / w), b = p(v.data(), count, w, 1.0f / w);
      // Sums of thousands of floats: the order of the additions shows.
      EXPECT_NEAR(b, a, a * 5e-4f + 1e-3f) << "kernel " << k << " count " << count << " step " << w;
    }
  }
}
