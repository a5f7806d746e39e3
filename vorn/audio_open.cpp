// Sound decoder state: one aligned block holding the record, the output and
// overlap buffers, the work area and the transform tables.
#include <stdlib.h>
#include <string.h>

#include "vorn/audio.h"

static size_t Round32(size_t bytes) { return (bytes + 31) & ~(size_t)31; }

VornAudio* VornAudioOpen(uint32_t rate, uint32_t channels, uint32_t workInState) {
  VornAudioGeometry geo;
  if (!VornAudioGetGeometry(&geo, rate, channels)) return nullptr;
  const size_t head = Round32(sizeof(VornAudio));
  const size_t outBytes = Round32(geo.n * sizeof(int16_t));
  const size_t tailBytes = Round32(geo.overlap * sizeof(int16_t));
  const size_t workBytes = workInState ? Round32(geo.n * sizeof(float)) : 0;
  const size_t tableBytes = VornRdftTableBytes(geo.n);
  const size_t total = head + outBytes + tailBytes + workBytes + tableBytes;
  uint8_t* block = (uint8_t*)aligned_alloc(32, total);
  if (!block) return nullptr;
  memset(block, 0, total);
  VornAudio* a = (VornAudio*)block;
  uint8_t* p = block + head;
  a->geo = geo;
  a->first = 1;
  a->out = (int16_t*)p;
  p += outBytes;
  a->tail = (int16_t*)p;
  p += tailBytes;
  a->work = workInState ? (float*)p : nullptr;
  p += workBytes;
  if (!VornRdftInit(&a->rdft, geo.n, p)) {
    free(block);
    return nullptr;
  }
  a->round = VornAudioRoundKernel(VORN_ROUND_SSE2);
  if (!a->round) a->round = VornAudioRoundKernel(VORN_ROUND_REFERENCE);
  return a;
}

void VornAudioClose(VornAudio* a) {
  if (!a) return;
  memset(a, 0, sizeof *a);
  free(a);
}
