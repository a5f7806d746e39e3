// The sound encoder: blocks of 16-bit PCM into the transform-coded blocks
// that vorn/audio.h decodes. One encoder per track; blocks overlap by the
// geometry's overlap, which the decoder cross-fades.
//
// Per block: VmkAudioEncInput gives where to place new samples and how many
// bytes fit, the caller places some, and VmkAudioEncBlock codes them.
#pragma once

#include <stdint.h>

#include "vorn/audio.h"
#include "vorn/rdft.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VmkAudioEnc {
  VornAudioGeometry geo;
  float inputScale;    // 1 / sqrt(n)
  uint32_t first;      // 1 until the first block has been coded
  int16_t* input;      // n samples; the first `overlap` carry over
  uint8_t* output;     // one coded block
  uint32_t outputSize;
  float* work;         // n floats
  uint8_t* stage;      // gathers a packet before it is written
  uint32_t stageSize;
  float spreadNorm[VORN_AUDIO_BANDS_MAX];
  float floor[VORN_AUDIO_BANDS_MAX];  // the temporal step floor
  uint64_t received;   // PCM bytes placed
  uint64_t accounted;  // PCM bytes the blocks stand for
  VornRdft rdft;
  // Results of the last block, for tests and the tuning of the model.
  uint8_t scales[VORN_AUDIO_BANDS_MAX];
  float steps[VORN_AUDIO_BANDS_MAX];  // before the temporal floor
  float tonality;
} VmkAudioEnc;

// Null for a rate of 0, a channel count other than 1 or 2, or no memory.
VmkAudioEnc* VmkAudioEncOpen(uint32_t rate, uint32_t channels);
void VmkAudioEncClose(VmkAudioEnc* e);  // null is accepted

// Where the next block's new samples go, and their room in bytes: the whole
// block for the first one, else what follows the carried-over samples.
int16_t* VmkAudioEncInput(VmkAudioEnc* e, uint32_t* bytes);

// Codes the block from the bytes placed (at most the room). Returns the
// coded block (valid until the next call) and its length in *length (a
// multiple of 4); *pcm gets the PCM bytes the block stands for.
const uint8_t* VmkAudioEncBlock(VmkAudioEnc* e, int32_t quality, uint32_t placed,
                                uint32_t* length, uint32_t* pcm);

// Largest coded block of n values.
uint32_t VmkAudioBlockBound(uint32_t n);

// Parts of a block's coding, exposed for tests.
// The 29-bit packed float for v (|v| below 2^23; larger values saturate).
uint32_t VmkAudioPackFloat(float v);
// Band scale for a step: 10 log10(step) x 1.506024..., halves to even, 0
// below 1, at most 255.
uint32_t VmkAudioScaleOf(float step);
// The step search of one band: start step, quantisation values v[0..count),
// masking allowance m. Returns the step.
float VmkAudioStepSearch(const float* v, uint32_t count, float start, float m);
// Codes quantised values c[0..count) as groups into the bit writer's words
// at out (zero-filled, large enough) starting at bit `bit`; returns the bit
// position after them.
uint64_t VmkAudioPutGroups(uint32_t* out, uint64_t bit, const int16_t* c, uint32_t count);

#ifdef __cplusplus
}
#endif
