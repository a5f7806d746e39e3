// The player's two sound back ends for the decoder's VornSoundOut table,
// both over the platform's sound device: a looping buffer of 4 segments
// drained by the device ("DirectSound") and a queue of 16 headers with a
// half-second pre-roll ("waveOut", /Z).
#pragma once

#include "vorn/vorn.h"

// Sound systems for VornSelectSoundOutput: return their track-open function.
VornSoundTrackOpen VornDirectSoundOutput(void* arg);
VornSoundTrackOpen VornWaveOutOutput(void* arg);

// Segment geometry of a format (bytes per second), as the back ends use it.
uint32_t VornDirectSoundSegment(uint32_t bytesPerSecond);
uint32_t VornWaveOutSegment(uint32_t bytesPerSecond);
uint32_t VornWaveOutPreroll(uint32_t bytesPerSecond);
// Attenuation table in hundredths of a decibel (128 entries).
extern const int16_t kVornAttenuation[128];
// Channel gains (0..65536) of the DirectSound volume and pan.
void VornDirectSoundGains(uint32_t volume, uint32_t pan, uint32_t* left, uint32_t* right);
