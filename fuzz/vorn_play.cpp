// Plays a Vorn file from memory with a sound back end that takes every
// segment: sound packets through the ring, frame copies, changed rectangles
// and the statistics.
#include <stdint.h>
#include <string.h>

#include <vector>

#include "vorn/convert.h"
#include "vorn/internal.h"
#include "vorn/vorn.h"

static const uint64_t kMaxPixels = 1 << 18;
static const uint32_t kMaxFrames = 32;

static uint8_t g_segment[4096];

static int Ready(VornSoundOut*) { return 1; }
static int GetSegment(VornSoundOut*, uint8_t** data, uint32_t* bytes) {
  *data = g_segment;
  *bytes = sizeof g_segment;
  return 1;
}
static int Commit(VornSoundOut*, uint32_t bytes) { return bytes <= sizeof g_segment; }
static int Open(VornSoundOut* s, uint32_t, uint32_t bits, uint32_t, uint32_t, VornHandle*) {
  s->ready = Ready;
  s->getSegment = GetSegment;
  s->commit = Commit;
  s->segmentSourceBytes = bits == 8 ? 2 * sizeof g_segment : sizeof g_segment;
  s->latency = 100;
  return 1;
}
static VornSoundTrackOpen System(void*) { return Open; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 44 || (uint64_t)VornLe32(data + 20) * VornLe32(data + 24) > kMaxPixels) return 0;
  static bool selected = VornSelectSoundOutput(System, nullptr);
  (void)selected;
  VornPresetMemorySize(size);
  VornHandle* h = VornOpen((const char*)data, VORN_OPEN_MEMORY | VORN_OPEN_ALPHA | (size & 7) << 28);
  if (!h) return 0;
  VornThreadStop(h);
  std::vector<uint8_t> pixels((size_t)h->width * h->height * 4);
  uint32_t frames = h->frames < kMaxFrames ? h->frames : kMaxFrames;
  for (uint32_t n = 1; n <= frames; n++) {
    if (n > 1) VornAdvanceFrame(h);
    if (VornDecodeFrame(h)) break;
    VornCopyFrame(h, pixels.data(), (int32_t)h->width * 4, (int32_t)h->height, 0, 0,
                  VORN_FMT_BGRA32 | (n & 1 ? 0 : VORN_COPY_NEVER_SKIP));
    VornChangedRects(h, 0);
    VornFeedSound(h);
  }
  VornRecent recent;
  VornReadRecent(h, &recent, size % 40);
  VornTotals totals;
  VornReadTotals(h, &totals);
  VornClose(h);
  return 0;
}
