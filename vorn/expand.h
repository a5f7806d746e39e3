// Video frame decoding: one Vorn frame's video data into a new picture.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Decodes one frame's video data (alpha size word, planes) into newPicture,
// using refPicture as the reference, and marks changed 16 x 16 areas in
// blockMap. width and height are the file's picture size; pitch and rows the
// luminance plane's (picture size rounded up to 16). bundles points at the
// nine bundle buffers sized by ExpandBundleSizes. Reads never go past
// data + dataSize: a plane that runs out of data ends the frame's decoding,
// keeping what was decoded. Returns the position just past the last plane's
// data.
const uint8_t* ExpandVorn(uint8_t* newPicture, const uint8_t* refPicture, uint8_t* newAlpha,
                          const uint8_t* refAlpha, uint8_t* blockMap, uint32_t width,
                          uint32_t height, uint32_t pitch, uint32_t rows, const uint8_t* data,
                          uint32_t keyFrame, uint8_t* const* bundles, uint32_t handleFlags,
                          uint32_t videoFlags, uint32_t dataSize);

// Fills sizes[0..8] with the bundle buffer sizes for a luminance pitch;
// returns the last one.
uint32_t ExpandBundleSizes(uint32_t* sizes, uint32_t pitch);

#ifdef __cplusplus
}
#endif
