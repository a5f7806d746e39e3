// Frame preparation: the caller's 32-bit pixels (blue, green, red, alpha)
// scaled, filtered and converted to padded Y, Cr, Cb and alpha planes.
#pragma once

#include <stdint.h>

struct VmkPrepareGeometry {
  uint32_t inputWidth, inputHeight;  // as handed to the encoder
  int32_t inputPitch;                // bytes between input rows
  uint32_t scaleMode;                // 0..5 (others count as 0)
  uint32_t width, height;            // stored size (after halving)
  uint32_t paddedWidth, paddedHeight;
  uint32_t chromaWidth, chromaHeight;  // padded chroma size
};

// Stored size for a scale mode: modes 1 and 2 halve the height, 3 the width,
// 4 and 5 both.
void VmkScaledSize(uint32_t mode, uint32_t width, uint32_t height, uint32_t* outWidth,
                   uint32_t* outHeight);

// Runs scaling (modes 1-5), levels (1..127, larger counts as 127), soften
// (1..16, larger counts as 16) and the colour conversion into the four
// planes. scratch0 and scratch1 hold width x height pixels each.
void VmkPrepare(const VmkPrepareGeometry* g, const uint8_t* pixels, uint32_t levels,
                uint32_t soften, uint8_t* y, uint8_t* cr, uint8_t* cb, uint8_t* alpha,
                uint8_t* scratch0, uint8_t* scratch1);
