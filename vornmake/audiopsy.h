// The sound encoder's perceptual model: one quantisation step per band from
// the block's spectrum, its tonality and the masking between bands.
#pragma once

#include <stdint.h>

#include "vornmake/audioenc.h"

// Spreading of a masker in band k onto band j, d = k - j.
float VmkPsySpread(int32_t d);
// Threshold in quiet of band j (power).
extern const float VmkPsyQuiet[VORN_AUDIO_BANDS_MAX];
// r[j] = 1 / sum over the bands k of spread(k - j).
void VmkPsySpreadNorm(float* r, uint32_t bands);
// Tonality of a power spectrum p[0 .. count): 0 noise-like .. 1 tonal.
float VmkPsyTonality(const float* p, uint32_t count);
// The steps of a block whose scaled spectrum is a (packed layout; a[0] and
// a[1] are read, not changed). Updates the encoder's temporal floor.
void VmkPsySteps(VmkAudioEnc* e, const float* a, int32_t quality, float* steps);
