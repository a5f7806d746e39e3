// Helpers shared by the test programs.
#pragma once

#include <stdint.h>
#include <stdlib.h>
#include <string>
#include <vector>

// A fresh directory under the system temporary folder, removed at exit of
// the fixture that owns it.
std::string TestTempDir();
// Whole file as bytes; empty when missing.
std::vector<unsigned char> TestReadFile(const std::string& path);
bool TestWriteFile(const std::string& path, const void* data, size_t size);
// The conformance vectors folder ($KOR_VECTORS overrides the configured
// one); empty when it does not exist.
std::string TestVectorsDir();
// A PCM WAV file: its format and the bytes of its data chunk. False when it
// is not one.
struct TestWav {
  uint32_t rate = 0, channels = 0, bits = 0;
  std::vector<unsigned char> data;
};
bool TestReadWav(const std::vector<unsigned char>& file, TestWav* wav);
