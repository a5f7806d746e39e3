// The demo's clip: a procedural scene with motion, gradients, edges, flat
// panels, texture and text, drawn frame by frame.
#pragma once

#include <stdint.h>

// Draws frame t (of `frames`, at `fps` frames per second) as 32-bit pixels
// (blue, green, red, alpha), rows width * 4 bytes apart.
void KorSceneDraw(uint8_t* bgra, uint32_t width, uint32_t height, uint32_t t, uint32_t frames, uint32_t fps);

// Y, Cr and Cb planes of a picture as the encoder prepares them (Cr and Cb
// at half size rounded up, each plane's rows its own width apart).
void KorSceneToYuv(const uint8_t* bgra, uint32_t width, uint32_t height, uint8_t* y, uint8_t* cr, uint8_t* cb);
