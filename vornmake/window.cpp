#include "vornmake/window.h"

#include "korutil/korutil.h"
#include "vornmake/costmodel.h"
#include "vornmake/dsp.h"
#include "vornmake/frame.h"
#include "vornmake/output.h"
#include "vornmake/sound.h"

// Samples that differ from the previous frame by more than this count
// towards an inter frame's complexity.
enum { kChangeThreshold = 2 };
static const uint8_t kSmooth[VMK_PLANES] = {2, 1, 1, 3};

uint32_t VmkComplexity(const VornMakeHandle* h, uint32_t slot, int key) {
  uint64_t c = 0;
  for (int p = 0; p < VMK_PLANES; p++) {
    if (!VmkPlaneCoded(h, p)) continue;
    const uint32_t n = VmkPlaneWidth(h, p) * VmkPlaneHeight(h, p);
    if (key) {
      c += VmkEntropy(h->slots[p][slot], n);
    } else {
      const uint8_t* prev = slot ? h->slots[p][slot - 1] : h->previous[p];
      c += VmkChangedEntropy(h->slots[p][slot], prev, n, kChangeThreshold);
    }
  }
  if (key) c = (c * 3) >> 1;
  return c > UINT32_MAX ? UINT32_MAX : (uint32_t)c;
}

void VmkSmooth(VornMakeHandle* h, uint32_t slot) {
  for (int p = 0; p < VMK_PLANES; p++) {
    if (!VmkPlaneCoded(h, p)) continue;
    uint8_t* s = h->slots[p][slot];
    const uint8_t* r = h->reference[h->refSelect][p];
    VmkDspGet()->smooth(s, r, VmkPlaneWidth(h, p) * VmkPlaneHeight(h, p), kSmooth[p]);
  }
}

// Moves the window on by `done` encoded frames: the last one's planes become
// the previous frame's, the waiting slots move to the front and the freed
// buffers to the end.
static void MoveWindow(VornMakeHandle* h, uint32_t done) {
  const uint32_t fill = h->windowFill;
  // The new first slot is measured against other planes now.
  for (uint32_t i = 0; i < VMK_MAX_WINDOW; i++)
    h->complexity[i] = i + done < fill && i ? h->complexity[i + done] : -1;
  for (int p = 0; p < VMK_PLANES; p++) {
    uint8_t* old[VMK_MAX_WINDOW + 1];
    uint32_t k = 0;
    for (uint32_t i = done; i < fill; i++) old[k++] = h->slots[p][i];
    for (uint32_t i = 0; i + 1 < done; i++) old[k++] = h->slots[p][i];
    old[k++] = h->previous[p];
    for (uint32_t i = fill; i < h->windowSize; i++) old[k++] = h->slots[p][i];
    h->previous[p] = h->slots[p][done - 1];
    for (uint32_t i = 0; i < h->windowSize; i++) h->slots[p][i] = old[i];
  }
  for (uint32_t i = done; i < fill; i++) {
    h->targets[i - done] = h->targets[i];
    h->maximums[i - done] = h->maximums[i];
    h->keys[i - done] = h->keys[i];
  }
}

void VmkWindowEncode(VornMakeHandle* h, int last) {
  const uint32_t W = h->windowFill;
  if (!W) return;
  const uint32_t n = last ? W : 1;
  uint32_t c[VMK_MAX_WINDOW];
  int64_t T = 0, X = 0;
  for (uint32_t i = 0; i < W; i++) {
    T += h->targets[i];
    if (h->complexity[i] < 0) h->complexity[i] = VmkComplexity(h, i, h->keys[i]);
    c[i] = (uint32_t)h->complexity[i];
    X += c[i];
  }
  int64_t A = h->budgetCarry + T;
  const uint32_t yArea = h->paddedWidth * h->paddedHeight;
  const uint32_t cArea = h->chromaWidth * h->chromaHeight;
  uint32_t done = 0;
  for (uint32_t i = 0; i < n; i++) {
    const int key = h->keys[i] != 0;
    const int first = h->framesDone == 0;
    const uint32_t start = VmkRecordBegin(h, key);
    const int64_t S = VmkSoundEstimate(h, W - i);
    if (!first) VmkSmooth(h, i);
    int64_t V = A - S;
    if (V < 0)
      V = 0;
    else if (X)
      V = V * c[i] / X;
    else
      V = V / W;
    for (int p = 0; p < VMK_PLANES; p++) VmkCostModelUpdate(&h->model[p]);
    if (V < h->targets[i] / 10) V = h->targets[i] / 10;
    // Floor: twice the predicted bytes of the block types alone.
    const int64_t yTypes = (yArea >> 6) + (yArea >> 8), cTypes = (cArea >> 6) + (cArea >> 8);
    int64_t F = yTypes * h->model[VMK_Y].cost[VMK_EL_TYPE];
    if (!(h->flags & VORNMAKE_GREY))
      F += cTypes * (h->model[VMK_CR].cost[VMK_EL_TYPE] + h->model[VMK_CB].cost[VMK_EL_TYPE]);
    if (h->flags & VORNMAKE_ALPHA) F += yTypes * h->model[VMK_ALPHA].cost[VMK_EL_TYPE];
    F = F * 2 >> 11;
    if (V < F) V = F;
    if (V > h->maximums[i]) V = h->maximums[i];
    uint32_t lengths[VMK_PLANES], errors[VMK_PLANES];
    if (!VmkEncodeFrame(h, i, (uint32_t)V, key, lengths, errors)) {
      h->failed = 1;
      return;
    }
    if (h->frameHook) {
      VmkPlane recon[VMK_PLANES];
      for (int p = 0; p < VMK_PLANES; p++)
        recon[p] = {h->reference[h->refSelect][p], VmkPlaneWidth(h, p), VmkPlaneHeight(h, p)};
      h->frameHook(h->frameHookUser, h->framesDone, recon, VMK_PLANES);
    }
    uint32_t afterSound;
    const uint32_t end =
        VmkRecordEnd(h, start, lengths, errors[0] + errors[1] + errors[2] + errors[3], &afterSound);
    const int64_t K = end - (first ? afterSound : start);
    A -= K;
    h->budgetCarry += (int64_t)h->targets[i] - K;
    X -= c[i];
    done = i + 1;
    if (h->failed || h->cancel) break;
  }
  MoveWindow(h, done);
  if (h->budgetCarry < -T) h->budgetCarry = -T;
  if (h->budgetCarry > T) h->budgetCarry = T;
  h->windowFill = W - done;
  if (h->bytesWritten > h->nextFlushSize || KORTimerRead() > h->nextFlushTime) {
    h->nextFlushSize = h->bytesWritten + 200000;
    h->nextFlushTime = KORTimerRead() + 60000;
    VmkFlush(h, 250);
  }
}
