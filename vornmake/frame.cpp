#include "vornmake/frame.h"

#include <string.h>

#include "vornmake/alloc.h"
#include "vornmake/analyse.h"
#include "vornmake/costmodel.h"
#include "vornmake/dsp.h"
#include "vornmake/parallel.h"
#include "vornmake/reduce.h"
#include "vornmake/writer.h"

static const char* const kPlaneText[VMK_PLANES] = {"Compressing Y plane", "Compressing Cr plane",
                                                    "Compressing Cb plane", "Compressing alpha plane"};
static const char* const kHighText[VMK_PLANES] = {"Compressing Y high-plane", "Compressing Cr high-plane",
                                                   "Compressing Cr high-plane",
                                                   "Compressing alpha high-plane"};
static const char* const kEncodeText[VMK_PLANES] = {"Encoding Y plane", "Encoding Cr plane",
                                                     "Encoding Cb plane", "Encoding alpha plane"};

void VmkStageReport(VornMakeHandle* h, const char* text) {
  h->progressFrame = -1;
  if (h->callback && h->callback(1, h, text)) h->cancel = 1;
}

// ---------------------------------------------------------------- stages

namespace {

enum { kMotion, kBlocks, kRegions };

struct PlaneWork {
  VmkStage stage;  // first: the worker gets the stage pointer
  VmkAnalysis an;
  VmkBlock* records;
  uint32_t perRow;
  uint32_t size;  // 8 for blocks, 16 for regions
  int kind;
};

void Worker(VmkStage* st) {
  PlaneWork* w = (PlaneWork*)st;
  VmkScratch scratch;
  for (;;) {
    uint32_t i = VmkStageClaim(st);
    if (i >= st->items) return;
    const uint32_t x0 = (i % w->perRow) * w->size, y0 = (i / w->perRow) * w->size;
    VmkBlock* b = &w->records[i];
    switch (w->kind) {
      case kMotion: VmkMotionSearch(&w->an, x0, y0, &b->mvx, &b->mvy); break;
      case kBlocks: VmkBlockOptions(&w->an, x0, y0, b, &scratch); break;
      default: VmkRegionOptions(&w->an, x0, y0, b, &scratch); break;
    }
  }
}

void RunStage(const VmkAnalysis* an, VmkBlock* records, uint32_t perRow, uint32_t rows, uint32_t size,
              int kind) {
  PlaneWork w;
  w.stage.items = perRow * rows;
  w.stage.next = 0;
  w.stage.worker = Worker;
  w.an = *an;
  w.records = records;
  w.perRow = perRow;
  w.size = size;
  w.kind = kind;
  if (w.stage.items) VmkStageRun(&w.stage);
}

void Decide(VmkBlock* b) {
  const uint32_t i = b->chosen;
  b->finalType = b->type[i];
  b->finalParam = b->param[i];
  b->finalCost = b->cost[i];
  b->finalError = b->error[i];
  b->subType = 0;
  b->covered = 0;
}

// Appends the four blocks' choices as one option and reduces the list to its
// lower convex hull again.
void AddFourBlocks(VmkBlock* r, const VmkBlock* const* four, VmkOptions* o) {
  o->count = r->count;
  for (int i = 0; i < r->count; i++) {
    o->cost[i] = r->cost[i];
    o->error[i] = r->error[i];
    o->param[i] = r->param[i];
    o->type[i] = r->type[i];
  }
  int32_t cost = 0, error = 0;
  for (int k = 0; k < 4; k++) {
    cost += four[k]->finalCost;
    error += four[k]->finalError;
  }
  const int n = o->count;
  o->cost[n] = cost;
  o->error[n] = error;
  o->param[n] = 0;
  o->type[n] = VMK_FOUR;
  o->count = n + 1;
  VmkHull(o);
  r->count = (uint8_t)o->count;
  for (int i = 0; i < o->count; i++) {
    r->cost[i] = o->cost[i];
    r->error[i] = o->error[i];
    r->param[i] = o->param[i];
    r->type[i] = o->type[i];
  }
}

inline uint32_t Align16(uint32_t n) { return (n + 15) & ~15u; }

}  // namespace

// ---------------------------------------------------------------- frame

int VmkEncodeFrame(VornMakeHandle* h, uint32_t slot, uint32_t budget, int key,
                   uint32_t lengths[VMK_PLANES], uint32_t errors[VMK_PLANES]) {
  // Scratch: block and region records of every plane, the writer's work
  // space and the allocation's lists.
  uint32_t bpr[VMK_PLANES], brows[VMK_PLANES], nb[VMK_PLANES], rpr[VMK_PLANES], rrows[VMK_PLANES];
  uint64_t total = 0;
  uint32_t allBlocks = 0, allRegions = 0;
  for (int p = 0; p < VMK_PLANES; p++) {
    const uint32_t w = VmkPlaneWidth(h, p), ht = VmkPlaneHeight(h, p);
    bpr[p] = w / 8;
    brows[p] = ht / 8;
    nb[p] = bpr[p] * brows[p];
    rpr[p] = w / 16;
    rrows[p] = ht / 16;
    lengths[p] = errors[p] = 0;
    if (!VmkPlaneCoded(h, p)) continue;
    total += (uint64_t)(nb[p] + rpr[p] * rrows[p]) * sizeof(VmkBlock);
    allBlocks += nb[p];
    allRegions += rpr[p] * rrows[p];
  }
  const uint32_t lists = allBlocks > allRegions ? allBlocks : allRegions;
  const uint32_t writerBytes = VmkWriterScratchSize(h->paddedWidth, h->paddedHeight);
  total += Align16(writerBytes) + (uint64_t)lists * sizeof(VmkBlock*) + VmkAllocateScratch(lists) + 64;
  if (total > INT32_MAX) return 0;
  uint8_t* mem = (uint8_t*)kormalloc((int32_t)total);
  if (!mem) return 0;
  uint8_t* p8 = mem;
  VmkBlock* blocks[VMK_PLANES] = {};
  VmkBlock* regions[VMK_PLANES] = {};
  for (int p = 0; p < VMK_PLANES; p++) {
    if (!VmkPlaneCoded(h, p)) continue;
    blocks[p] = (VmkBlock*)p8;
    p8 += nb[p] * sizeof(VmkBlock);
    regions[p] = (VmkBlock*)p8;
    p8 += rpr[p] * rrows[p] * sizeof(VmkBlock);
  }
  memset(mem, 0, (size_t)(p8 - mem));
  p8 = mem + Align16((uint32_t)(p8 - mem));
  VmkWriterScratch ws;
  VmkWriterScratchInit(&ws, p8, h->paddedWidth, h->paddedHeight);
  p8 += Align16(writerBytes);
  VmkBlock** listPtr = (VmkBlock**)p8;
  p8 += (size_t)lists * sizeof(VmkBlock*);
  void* heap = p8;

  const uint32_t cur = h->refSelect;
  VmkAnalysis an[VMK_PLANES];
  for (int p = 0; p < VMK_PLANES; p++) {
    if (!VmkPlaneCoded(h, p)) continue;
    an[p].src = h->slots[p][slot];
    an[p].ref = h->reference[cur][p];
    an[p].width = VmkPlaneWidth(h, p);
    an[p].height = VmkPlaneHeight(h, p);
    an[p].key = key;
    an[p].model = &h->model[p];
    an[p].dsp = VmkDspGet();
    VmkColourCost(&h->model[p], an[p].src, key ? nullptr : an[p].ref, an[p].width * an[p].height);
  }

  int ok = 1;
  int32_t lastStep = 0;
  // Block options.
  for (int p = 0; p < VMK_PLANES && ok; p++) {
    if (!VmkPlaneCoded(h, p)) continue;
    if (h->cancel == 2) ok = 0;
    if (!ok) break;
    VmkStageReport(h, kPlaneText[p]);
    if (!key) RunStage(&an[p], blocks[p], bpr[p], brows[p], 8, kMotion);
    RunStage(&an[p], blocks[p], bpr[p], brows[p], 8, kBlocks);
  }
  // Region options.
  for (int p = 0; p < VMK_PLANES && ok; p++) {
    if (!VmkPlaneCoded(h, p)) continue;
    if (h->cancel == 2) ok = 0;
    if (!ok) break;
    VmkStageReport(h, kHighText[p]);
    RunStage(&an[p], regions[p], rpr[p], rrows[p], 16, kRegions);
  }
  // Allocation over the blocks of all planes.
  if (ok && h->cancel == 2) ok = 0;
  if (ok) {
    VmkStageReport(h, "Allocating bandwidth");
    uint32_t n = 0;
    for (int p = 0; p < VMK_PLANES; p++)
      for (uint32_t i = 0; blocks[p] && i < nb[p]; i++) listPtr[n++] = &blocks[p][i];
    lastStep = VmkAllocate(listPtr, n, budget, heap);
    for (uint32_t i = 0; i < n; i++) Decide(listPtr[i]);
  }
  // Merging: each whole region chooses between its own options and its four
  // blocks' choices. Blocks outside whole regions, and the alpha plane,
  // which never uses scaled blocks, are paid for first.
  if (ok && h->cancel == 2) ok = 0;
  if (ok) {
    VmkStageReport(h, "Merging multi-resolution planes");
    int64_t outside = 0;
    uint32_t n = 0;
    VmkOptions work;
    for (int p = 0; p < VMK_PLANES; p++) {
      if (!blocks[p]) continue;
      for (uint32_t by = 0; by < brows[p]; by++)
        for (uint32_t bx = 0; bx < bpr[p]; bx++)
          if (p == VMK_ALPHA || bx >= 2 * rpr[p] || by >= 2 * rrows[p])
            outside += blocks[p][by * bpr[p] + bx].finalCost;
      if (p == VMK_ALPHA) continue;
      for (uint32_t ry = 0; ry < rrows[p]; ry++)
        for (uint32_t rx = 0; rx < rpr[p]; rx++) {
          VmkBlock* r = &regions[p][ry * rpr[p] + rx];
          const VmkBlock* four[4] = {
              &blocks[p][2 * ry * bpr[p] + 2 * rx], &blocks[p][2 * ry * bpr[p] + 2 * rx + 1],
              &blocks[p][(2 * ry + 1) * bpr[p] + 2 * rx], &blocks[p][(2 * ry + 1) * bpr[p] + 2 * rx + 1]};
          AddFourBlocks(r, four, &work);
          listPtr[n++] = r;
        }
    }
    int64_t left = (int64_t)budget - outside / VMK_BYTE;
    const int32_t step = VmkAllocate(listPtr, n, left > 0 ? (uint32_t)left : 0, heap);
    if (step > lastStep) lastStep = step;
    for (int p = 0; p < VMK_PLANES; p++) {
      if (!blocks[p] || p == VMK_ALPHA) continue;
      for (uint32_t ry = 0; ry < rrows[p]; ry++)
        for (uint32_t rx = 0; rx < rpr[p]; rx++) {
          const VmkBlock* r = &regions[p][ry * rpr[p] + rx];
          const uint32_t c = r->chosen;
          if (r->type[c] == VMK_FOUR) continue;
          VmkBlock* tl = &blocks[p][2 * ry * bpr[p] + 2 * rx];
          tl->finalType = VMK_SCALED;
          tl->subType = r->type[c];
          tl->finalParam = r->param[c];
          tl->finalCost = r->cost[c];
          tl->finalError = r->error[c];
          tl[1].covered = 1;
          tl[bpr[p]].covered = 2;
          tl[bpr[p] + 1].covered = 3;
        }
    }
  }
  // Writing.
  for (int p = 0; p < VMK_PLANES && ok; p++) {
    if (!VmkPlaneCoded(h, p)) continue;
    if (h->cancel == 2) ok = 0;
    if (!ok) break;
    VmkStageReport(h, kEncodeText[p]);
    VmkWriteArgs wa;
    wa.recon = h->reference[cur ^ 1][p];
    wa.ref = h->reference[cur][p];
    wa.src = h->slots[p][slot];
    wa.width = an[p].width;
    wa.height = an[p].height;
    wa.blocks = blocks[p];
    wa.out = h->bitstream[p];
    wa.outCapacity = h->bitstreamSize[p];
    wa.scratch = &ws;
    VmkPlaneStats stats;
    lengths[p] = VmkWritePlane(&wa, &stats);
    if (!lengths[p]) {
      ok = 0;
      break;
    }
    VmkCostModelReport(&h->model[p], &stats);
    VmkColourBias(&h->model[p], &stats);
  }
  korfree(mem);
  if (!ok) return 0;
  h->lastBudget = budget;
  h->lastStep = (uint32_t)(lastStep + VMK_BYTE - 1) / VMK_BYTE;
  h->refSelect = cur ^ 1;
  for (int p = 0; p < VMK_PLANES; p++)
    if (VmkPlaneCoded(h, p))
      errors[p] = (uint32_t)VmkDspGet()->sadn(h->reference[h->refSelect][p], h->slots[p][slot],
                                              an[p].width * an[p].height);
  return 1;
}
