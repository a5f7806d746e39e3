// A small walker over Vorn containers and YUV4MPEG2 files for the tests: the
// header, track tables, frame index and each frame's video data.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct TestVrnFrame {
  const uint8_t* video;  // the frame's video data (after the track packets)
  uint32_t size;
  bool key;
};

struct TestVrn {
  char revision;  // 'f' .. 'i'
  uint32_t width, height, rateNum, rateDen, videoFlags, tracks;
  uint32_t handleFlags;  // what an open gives the video decoder
  std::vector<TestVrnFrame> frames;
};

// Walks file (kept by the caller); false when it is not a well-formed file.
bool TestVrnWalk(const std::vector<unsigned char>& file, TestVrn* out);

struct TestY4m {
  uint32_t width = 0, height = 0;
  bool mono = false;
  std::vector<std::vector<uint8_t>> frames;  // planes back to back
};

bool TestY4mRead(const std::vector<unsigned char>& file, TestY4m* out);
