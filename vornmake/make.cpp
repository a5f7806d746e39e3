// The exported session: VornMake, VornMakePutVideo, VornMakeFlush and
// VornMakeClose.
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "korutil/korutil.h"
#include "vornmake/batch.h"
#include "vornmake/costmodel.h"
#include "vornmake/output.h"
#include "vornmake/parallel.h"
#include "vornmake/prepare.h"
#include "vornmake/sound.h"
#include "vornmake/vmk.h"
#include "vornmake/window.h"
#include "vornmake/writer.h"

static const char kTempText[] =
    "Couldn't create temporary file.\n\nSome possible reasons for this error include:\n"
    "  1) compressing to a read-only drive (like a CD-ROM),\n"
    "  2) compressing to a drive that is full (out of disk space), or\n"
    "  3) compressing multiple files to the same Vorn output filename.";

enum { kFileBuffer = 128 * 1024 };

static void Message(VornMakeCallback cb, VornMakeHandle* h, const char* text) {
  if (cb) cb(2, h, text);
}

static uint32_t Gcd(uint32_t a, uint32_t b) {
  while (b) {
    uint32_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}

static inline uint32_t Pad8(uint32_t n) { return (n + 7) & ~7u; }

extern "C" VornMakeHandle* VornMake(const char* name, int32_t pitch, int32_t width, uint32_t height,
                                    uint32_t frames, uint32_t keyInterval, uint32_t mode,
                                    uint32_t rateNum, uint32_t rateDen, uint32_t trackCount,
                                    const VornMakeTrack* tracks, uint32_t window,
                                    VornMakeCallback callback) {
  VmkCpuInit();
  // Scale modes 6 to 99 have no meaning: they count as 0 (also in the
  // header's display option).
  uint32_t scale = mode % 100;
  if (scale > 5) scale = 0;
  uint32_t w = 0, h = 0;
  if (width > 0 && width <= 32767 && height > 0 && height <= 32767)
    VmkScaledSize(scale, (uint32_t)width, height, &w, &h);
  if (!w || !h) {
    Message(callback, nullptr, "Invalid picture size.");
    return nullptr;
  }
  if (trackCount && !tracks) trackCount = 0;

  VornMakeHandle t;
  memset(&t, 0, sizeof t);
  if (!name || strlen(name) + 4 >= sizeof t.tempName) {
    Message(callback, nullptr, kTempText);
    return nullptr;
  }
  strcpy(t.outputName, name);
  snprintf(t.tempName, sizeof t.tempName, "%s.tmp", name);
  t.file = KORFileCreateWithRead(kFileBuffer, t.tempName);
  if (!t.file) {
    Message(callback, nullptr, kTempText);
    return nullptr;
  }

  if (rateNum && rateDen)
    for (uint32_t g; (g = Gcd(rateNum, rateDen)) != 1;) {
      rateNum /= g;
      rateDen /= g;
    }
  t.framesDeclared = frames;
  t.progressFrame = -1;
  t.width = (int32_t)w;
  t.height = h;
  t.rateNum = rateNum;
  t.rateDen = rateDen;
  t.flags = ((mode / 100) % 10 ? VORNMAKE_GREY : 0) | (mode >= 1000 ? VORNMAKE_ALPHA : 0);
  t.inputPitch = pitch;
  t.inputWidth = (uint32_t)width;
  t.inputHeight = height;
  t.windowSize = window < 2 ? 2 : window > (uint32_t)VMK_MAX_WINDOW ? (uint32_t)VMK_MAX_WINDOW : window;
  t.paddedWidth = Pad8(w);
  t.paddedHeight = Pad8(h);
  t.chromaWidth = Pad8((w + 1) / 2);
  t.chromaHeight = Pad8((h + 1) / 2);
  t.trackCount = trackCount;
  t.keyInterval = keyInterval;
  t.keyCountdown = (int32_t)keyInterval;
  t.scaleMode = scale;
  t.callback = callback;

  VmkBatch batch;
  VmkBatchInit(&batch);
  VmkBatchReserve(&batch, (void**)&t.frameOffsets, ((uint64_t)frames + 1) * 4);
  VmkBatchReserve(&batch, (void**)&t.frameErrors, ((uint64_t)frames + 1) * 4);
  uint64_t planeSize[VMK_PLANES];
  for (int p = 0; p < VMK_PLANES; p++)
    planeSize[p] = (uint64_t)VmkPlaneWidth(&t, p) * VmkPlaneHeight(&t, p);
  for (uint32_t s = 0; s < t.windowSize; s++)
    for (int p = 0; p < VMK_PLANES; p++) VmkBatchReserve(&batch, (void**)&t.slots[p][s], planeSize[p]);
  for (int p = 0; p < VMK_PLANES; p++) {
    VmkBatchReserve(&batch, (void**)&t.previous[p], planeSize[p]);
    // The motion search reads up to 64 bytes past a reference picture.
    VmkBatchReserve(&batch, (void**)&t.reference[0][p], planeSize[p] + 64);
    VmkBatchReserve(&batch, (void**)&t.reference[1][p], planeSize[p] + 64);
    t.bitstreamSize[p] = VmkPlaneBitstreamBound(VmkPlaneWidth(&t, p), VmkPlaneHeight(&t, p));
    VmkBatchReserve(&batch, (void**)&t.bitstream[p], t.bitstreamSize[p]);
  }
  VmkBatchReserve(&batch, (void**)&t.scratch[0], (uint64_t)w * h * 4);
  VmkBatchReserve(&batch, (void**)&t.scratch[1], (uint64_t)w * h * 4);
  VmkBatchReserve(&batch, (void**)&t.tracks, (uint64_t)trackCount * sizeof(VmkTrack));
  VornMakeHandle* hd = (VornMakeHandle*)VmkBatchAllocate(&batch, sizeof(VornMakeHandle));
  if (!hd) {
    Message(callback, nullptr, "Out of memory!");
    KORFileClose(t.file);
    KORFileErase(t.tempName);
    return nullptr;
  }
  memcpy(hd, &t, sizeof t);
  memset(hd->frameOffsets, 0, ((size_t)frames + 1) * 4);
  memset(hd->frameErrors, 0, ((size_t)frames + 1) * 4);
  for (int p = 0; p < VMK_PLANES; p++) {
    memset(hd->previous[p], 0, planeSize[p]);
    memset(hd->reference[0][p], 0, planeSize[p] + 64);
    memset(hd->reference[1][p], 0, planeSize[p] + 64);
  }
  for (int i = 0; i < VMK_MAX_WINDOW; i++) hd->complexity[i] = -1;
  hd->target = hd->targets;
  hd->maximum = hd->maximums;
  hd->key = hd->keys;
  for (uint32_t i = 0; i < trackCount; i++) VmkTrackInit(&hd->tracks[i], &tracks[i], frames, rateNum, rateDen);
  VmkWriteHead(hd);
  for (int p = 0; p < VMK_PLANES; p++) VmkCostModelInit(&hd->model[p], p);
  return hd;
}

extern "C" void VornMakePutVideo(VornMakeHandle* h, uint32_t target, uint32_t maximum, uint32_t key,
                                 uint32_t levels, uint32_t soften, const void* pixels) {
  if (!h || h->cancel || h->failed || !pixels) return;
  if (h->framesDone + h->windowFill >= h->framesDeclared) return;
  const uint32_t slot = h->windowFill;
  VmkPrepareGeometry g;
  g.inputWidth = h->inputWidth;
  g.inputHeight = h->inputHeight;
  g.inputPitch = h->inputPitch;
  g.scaleMode = h->scaleMode;
  g.width = (uint32_t)h->width;
  g.height = h->height;
  g.paddedWidth = h->paddedWidth;
  g.paddedHeight = h->paddedHeight;
  g.chromaWidth = h->chromaWidth;
  g.chromaHeight = h->chromaHeight;
  VmkPrepare(&g, (const uint8_t*)pixels, levels, soften, h->slots[VMK_Y][slot], h->slots[VMK_CR][slot],
             h->slots[VMK_CB][slot], h->slots[VMK_ALPHA][slot], h->scratch[0], h->scratch[1]);
  h->target[slot] = target;
  h->maximum[slot] = maximum;
  // The first frame has no picture before it: it is always a key frame.
  if (h->framesDone + slot == 0) key = 1;
  if (h->keyInterval && --h->keyCountdown <= 0) key = 1;
  h->key[slot] = key ? 1 : 0;
  if (key) h->keyCountdown = (int32_t)h->keyInterval;
  h->windowFill++;
  const int last = h->framesDone + h->windowFill == h->framesDeclared;
  if (h->windowFill == h->windowSize || last) VmkWindowEncode(h, last);
}

extern "C" int VornMakeFlush(VornMakeHandle* h) { return h ? VmkFlush(h, 250) : 0; }

// A file without write permission is kept like a protected one: it is not
// replaced.
static int ReadOnly(const char* name) {
  struct stat st;
  return stat(name, &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & 0222);
}

extern "C" uint32_t VornMakeClose(VornMakeHandle* h, int discard) {
  if (!h) return 0;
  if (h->failed) discard = 1;
  if (!discard) {
    if (!h->cancel && h->windowFill) VmkWindowEncode(h, 1);
    // Waits for the file as long as it takes: the close must bring the
    // header up to date.
    VmkFlush(h, UINT32_MAX);
  }
  for (uint32_t i = 0; i < h->trackCount; i++) VmkTrackFree(&h->tracks[i]);
  VmkWriterEnter(h);
  const uint32_t size = KORFileSize(h->file);
  KORFileClose(h->file);
  h->file = nullptr;
  VmkWriterLeave(h);
  if (h->failed) discard = 1;
  if (discard) {
    KORFileErase(h->tempName);
  } else {
    int erased = ReadOnly(h->outputName) ? 2 : KORFileErase(h->outputName);
    if (erased == 2) {
      char text[700];
      snprintf(text, sizeof text, "Vorn couldn't overwrite, '%s', so the new Vorn file is called: '%s'.",
               h->outputName, h->tempName);
      Message(h->callback, h, text);
    } else if (KORFileRename(h->outputName, h->tempName) != 0) {
      Message(h->callback, h, "Vorn couldn't rename the temporary file.");
    }
  }
  memset(h, 0, sizeof *h);
  korfree(h);
  return size;
}
