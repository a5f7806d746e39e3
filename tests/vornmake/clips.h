// Helpers of the encoder tests: synthetic clips, encoding with the
// reconstruction captured, and decoding the written file frame by frame.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "vornmake/vmk.h"

// One 32-bit picture (blue, green, red, alpha), rows width * 4 bytes apart.
struct TestPicture {
  uint32_t width, height;
  std::vector<uint8_t> bgra;
};

// A clip with movement, texture, flat areas, sharp edges and noise: a
// textured background panning by (dx, dy) per frame, a moving square and a
// fading gradient. seed varies the texture; noise (0..255) its grain; smooth
// scenes (noise 0, no stripes) suit the transform-coded blocks.
std::vector<TestPicture> TestClip(uint32_t width, uint32_t height, uint32_t frames, int dx, int dy,
                                  uint32_t seed, uint32_t noise = 31);

// Planes of one frame as the encoder reconstructed them.
struct TestPlanes {
  std::vector<uint8_t> plane[VMK_PLANES];
};

struct TestEncode {
  uint32_t mode = 0;
  uint32_t keyInterval = 0;
  uint32_t window = 4;
  uint32_t rateNum = 25, rateDen = 1;
  uint32_t target = 4000, maximum = 8000;
  uint32_t levels = 0, soften = 0;
  uint32_t frames = 0;  // frames declared; 0: the clip's length
};

// Encodes a clip into path; returns the reconstructions in frame order
// (empty on failure).
std::vector<TestPlanes> TestEncodeClip(const std::string& path, const std::vector<TestPicture>& clip,
                                       const TestEncode& e);

// Decodes every frame of a Vorn file with the decoder; the planes are cut to
// the padded sizes the encoder uses. Empty when the file is malformed.
struct TestDecoded {
  uint32_t width, height, frames, declared, flags, rateNum, rateDen, tracks;
  std::vector<uint32_t> index;
  std::vector<TestPlanes> planes;
};
bool TestDecodeFile(const std::string& path, TestDecoded* out);
// The same through the kit's opener (VornOpen, VornDecodeFrame).
bool TestOpenFile(const std::string& path, std::vector<TestPlanes>* out);
