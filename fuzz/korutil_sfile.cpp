// SFile on arbitrary bytes: WAV chunk walking, raw data and the Vorn sound
// source, with output formats picked from the input, read to the end,
// rewound and read again.
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "korutil/korutil.h"

static int32_t Quiet(const char*, int32_t) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint8_t pick = data[0];
  static char name[64];
  if (!name[0]) snprintf(name, sizeof name, "/tmp/fuzz_sfile_%d.%s", (int)getpid(), "wav");
  // Vorn files are recognised by content, whatever the name.
  FILE* f = fopen(name, "wb");
  if (!f) return 0;
  fwrite(data + 1, 1, size - 1, f);
  fclose(f);
  static const int32_t rates[4] = {0, 8000, 22050, 44100};
  const int32_t raw = pick & 0x40 ? (int32_t)((8000u << 3) | (pick & 3)) : 0;
  const int32_t start = (pick & 0x80) ? 50 : 0, end = (pick & 0x20) ? 120 : 0;
  SFile* s = SFileOpen(name, rates[pick & 3], (pick & 4) ? 8 : 16, (pick & 8) ? 1 : 2, start, end,
                       (pick >> 4) & 1, raw, data[1] & 7, Quiet);
  if (s) {
    uint8_t buf[4096];
    for (int pass = 0; pass < 2; pass++) {
      int guard = 0;
      while (SFileGet(s, buf, (int32_t)sizeof buf - (pass * 3)) > 0 && ++guard < 100000) {
      }
      SFileReset(s);
    }
    SFileClose(s);
  }
  unlink(name);
  return 0;
}
