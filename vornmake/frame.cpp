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

enum { kMotionBlocks, kBlocks, kRegions };

// One run of blocks or regions of a plane within the frame's analysis.
struct Segment {
  uint32_t first;  // the segment's first item
  const VmkAnalysis* an;
  VmkBlock* records;
  uint32_t perRow;
  uint32_t size;  // 8 for blocks, 16 for regions
  int kind;
};

// The analysis of every plane as one stage: the blocks of each plane (with
// their motion search in inter frames), then the regions of each plane.
struct FrameWork {
  VmkStage stage;  // first: the worker gets the stage pointer
  Segment seg[2 * VMK_PLANES];
  int segments;
};

void Worker(VmkStage* st) {
  FrameWork* w = (FrameWork*)st;
  VmkScratch scratch;
  for (;;) {
    const uint32_t item = VmkStageClaim(st);
    if (item >= st->items) return;
    int k = 0;
    while (k + 1 < w->segments && w->seg[k + 1].first <= item) k++;
    const Segment& g = w->seg[k];
    const uint32_t i = item - g.first;
    const uint32_t x0 = (i % g.perRow) * g.size, y0 = (i / g.perRow) * g.size;
    VmkBlock* b = &g.records[i];
    switch (g.kind) {
      // A block's options need only its own motion offset: one item does
      // both.
      case kMotionBlocks: VmkMotionSearch(g.an, x0, y0, &b->mvx, &b->mvy); [[fallthrough]];
      case kBlocks: VmkBlockOptions(g.an, x0, y0, b, &scratch); break;
      default: VmkRegionOptions(g.an, x0, y0, b, &scratch); break;
    }
  }
}

void AddSegment(FrameWork* w, const VmkAnalysis* an, VmkBlock* records, uint32_t perRow, uint32_t rows,
                uint32_t size, int kind) {
  if (!perRow || !rows) return;
  Segment& g = w->seg[w->segments++];
  g.first = w->stage.items;
  g.an = an;
  g.records = records;
  g.perRow = perRow;
  g.size = size;
  g.kind = kind;
  w->stage.items += perRow * rows;
}

// Colour costs of the planes: histograms of bands of each plane, one band
// per item (the luminance in two), then summed.
struct ColourWork {
  const VmkAnalysis* an;
  int plane[VMK_PLANES + 2];
  uint32_t from[VMK_PLANES + 2], to[VMK_PLANES + 2];
  uint32_t hist[VMK_PLANES + 2][256];
  uint32_t total[VMK_PLANES + 2];
};

void ColourItem(void* ctx, uint32_t item) {
  ColourWork* c = (ColourWork*)ctx;
  const VmkAnalysis& a = c->an[c->plane[item]];
  memset(c->hist[item], 0, sizeof c->hist[item]);
  c->total[item] = VmkColourHistogram(a.src, a.key ? nullptr : a.ref, c->from[item], c->to[item], c->hist[item]);
}

// The plane writers, one plane per item, each with its own work space.
struct WriteWork {
  VmkWriteArgs args[VMK_PLANES];
  VmkPlaneStats stats[VMK_PLANES];
  uint32_t length[VMK_PLANES];
  int plane[VMK_PLANES];
};

void WriteItem(void* ctx, uint32_t item) {
  WriteWork* w = (WriteWork*)ctx;
  const int p = w->plane[item];
  w->length[p] = VmkWritePlane(&w->args[p], &w->stats[p]);
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

// The region's options with the four blocks' choices appended as one
// option, reduced to their lower convex hull again, into out.
void AddFourBlocks(VmkBlock* out, const VmkBlock* r, const VmkBlock* const* four, VmkOptions* o) {
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
  out->count = (uint8_t)o->count;
  for (int i = 0; i < o->count; i++) {
    out->cost[i] = o->cost[i];
    out->error[i] = o->error[i];
    out->param[i] = o->param[i];
    out->type[i] = o->type[i];
  }
}

inline uint32_t Align16(uint32_t n) { return (n + 15) & ~15u; }

// Adds the time since t to a stage and returns now.
inline uint64_t Lap(VornMakeHandle* h, int stage, uint64_t t) {
  const uint64_t now = PlatClockUs();
  h->stageUs[stage] += now - t;
  return now;
}

}  // namespace

// ---------------------------------------------------------------- frame

int VmkEncodeFrame(VornMakeHandle* h, uint32_t slot, uint32_t budget, uint32_t maximum, int key,
                   uint32_t lengths[VMK_PLANES], uint32_t errors[VMK_PLANES]) {
  // Scratch: block and region records of every plane, the writer's work
  // space and the allocation's lists.
  uint64_t clock = PlatClockUs();
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
    // Blocks, regions, and the regions with their four blocks' choice.
    total += (uint64_t)(nb[p] + 2 * rpr[p] * rrows[p]) * sizeof(VmkBlock);
    allBlocks += nb[p];
    allRegions += rpr[p] * rrows[p];
  }
  const uint32_t lists = allBlocks > allRegions ? allBlocks : allRegions;
  // The planes are written side by side: each has its own writer space.
  uint32_t writerBytes[VMK_PLANES] = {};
  for (int p = 0; p < VMK_PLANES; p++)
    if (VmkPlaneCoded(h, p)) {
      writerBytes[p] = Align16(VmkWriterScratchSize(VmkPlaneWidth(h, p), VmkPlaneHeight(h, p)));
      total += writerBytes[p];
    }
  total += (uint64_t)lists * sizeof(VmkBlock*) + VmkAllocateScratch(lists) + 64;
  if (total > INT32_MAX) return 0;
  if (total > h->workSize) {
    korfree(h->work);
    h->workSize = 0;
    h->work = (uint8_t*)kormalloc((int32_t)total);
    if (!h->work) return 0;
    h->workSize = total;
  }
  uint8_t* mem = h->work;
  uint8_t* p8 = mem;
  VmkBlock* blocks[VMK_PLANES] = {};
  VmkBlock* regions[VMK_PLANES] = {};
  VmkBlock* merged[VMK_PLANES] = {};
  for (int p = 0; p < VMK_PLANES; p++) {
    if (!VmkPlaneCoded(h, p)) continue;
    blocks[p] = (VmkBlock*)p8;
    p8 += nb[p] * sizeof(VmkBlock);
    regions[p] = (VmkBlock*)p8;
    p8 += rpr[p] * rrows[p] * sizeof(VmkBlock);
  }
  memset(mem, 0, (size_t)(p8 - mem));
  for (int p = 0; p < VMK_PLANES; p++) {
    if (!VmkPlaneCoded(h, p)) continue;
    merged[p] = (VmkBlock*)p8;
    p8 += rpr[p] * rrows[p] * sizeof(VmkBlock);
  }
  p8 = mem + Align16((uint32_t)(p8 - mem));
  VmkWriterScratch ws[VMK_PLANES];
  for (int p = 0; p < VMK_PLANES; p++)
    if (writerBytes[p]) {
      VmkWriterScratchInit(&ws[p], p8, VmkPlaneWidth(h, p), VmkPlaneHeight(h, p));
      p8 += writerBytes[p];
    }
  VmkBlock** listPtr = (VmkBlock**)p8;
  p8 += (size_t)lists * sizeof(VmkBlock*);
  void* heap = p8;
  clock = Lap(h, VMK_STAGE_SCRATCH, clock);

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
  }
  ColourWork cw;
  cw.an = an;
  uint32_t bands = 0;
  for (int p = 0; p < VMK_PLANES; p++) {
    if (!VmkPlaneCoded(h, p)) continue;
    const uint32_t n = an[p].width * an[p].height, parts = p == VMK_Y || p == VMK_ALPHA ? 2 : 1;
    for (uint32_t k = 0; k < parts; k++) {
      cw.plane[bands] = p;
      cw.from[bands] = n * k / parts;
      cw.to[bands++] = n * (k + 1) / parts;
    }
  }
  VmkParallelFor(bands, ColourItem, &cw);
  for (uint32_t k = 0; k < bands;) {
    const int p = cw.plane[k];
    uint32_t hist[256], total = 0;
    memset(hist, 0, sizeof hist);
    for (; k < bands && cw.plane[k] == p; k++) {
      for (int v = 0; v < 256; v++) hist[v] += cw.hist[k][v];
      total += cw.total[k];
    }
    VmkColourCostFrom(&h->model[p], hist, total);
  }
  clock = Lap(h, VMK_STAGE_COLOUR, clock);

  int ok = 1;
  int32_t lastStep = 0;
  // Block and region options of every plane, in one stage.
  FrameWork fw;
  fw.stage.items = 0;
  fw.stage.next = 0;
  fw.stage.worker = Worker;
  fw.segments = 0;
  for (int p = 0; p < VMK_PLANES && ok; p++) {
    if (!VmkPlaneCoded(h, p)) continue;
    if (h->cancel == 2) ok = 0;
    if (!ok) break;
    VmkStageReport(h, kPlaneText[p]);
    AddSegment(&fw, &an[p], blocks[p], bpr[p], brows[p], 8, key ? kBlocks : kMotionBlocks);
  }
  for (int p = 0; p < VMK_PLANES && ok; p++) {
    if (!VmkPlaneCoded(h, p)) continue;
    if (h->cancel == 2) ok = 0;
    if (!ok) break;
    VmkStageReport(h, kHighText[p]);
    AddSegment(&fw, &an[p], regions[p], rpr[p], rrows[p], 16, kRegions);
  }
  if (ok && fw.stage.items) VmkStageRun(&fw.stage);
  clock = Lap(h, VMK_STAGE_BLOCKS, clock);
  // Allocation, merging and writing. A frame whose video goes over its
  // maximum by more than the last allocation step (the element costs are
  // estimates, and the first frame has no history for them) is allocated
  // and written again with its budget lowered by the excess.
  uint32_t spend = budget;
  VmkOptions work;
  for (int attempt = 0; ok; attempt++) {
    lastStep = 0;
    // Allocation over the blocks of all planes.
    if (h->cancel == 2) ok = 0;
    if (!ok) break;
    VmkStageReport(h, "Allocating bandwidth");
    uint32_t n = 0;
    for (int p = 0; p < VMK_PLANES; p++)
      for (uint32_t i = 0; blocks[p] && i < nb[p]; i++) listPtr[n++] = &blocks[p][i];
    lastStep = VmkAllocate(listPtr, n, spend, heap);
    for (uint32_t i = 0; i < n; i++) Decide(listPtr[i]);
    clock = Lap(h, VMK_STAGE_ALLOCATE, clock);
    // Merging: each whole region chooses between its own options and its
    // four blocks' choices. Blocks outside whole regions, and the alpha
    // plane, which never uses scaled blocks, are paid for first.
    if (h->cancel == 2) ok = 0;
    if (!ok) break;
    VmkStageReport(h, "Merging multi-resolution planes");
    int64_t outside = 0;
    n = 0;
    for (int p = 0; p < VMK_PLANES; p++) {
      if (!blocks[p]) continue;
      for (uint32_t by = 0; by < brows[p]; by++)
        for (uint32_t bx = 0; bx < bpr[p]; bx++)
          if (p == VMK_ALPHA || bx >= 2 * rpr[p] || by >= 2 * rrows[p])
            outside += blocks[p][by * bpr[p] + bx].finalCost;
      if (p == VMK_ALPHA) continue;
      for (uint32_t ry = 0; ry < rrows[p]; ry++)
        for (uint32_t rx = 0; rx < rpr[p]; rx++) {
          const VmkBlock* four[4] = {
              &blocks[p][2 * ry * bpr[p] + 2 * rx], &blocks[p][2 * ry * bpr[p] + 2 * rx + 1],
              &blocks[p][(2 * ry + 1) * bpr[p] + 2 * rx], &blocks[p][(2 * ry + 1) * bpr[p] + 2 * rx + 1]};
          VmkBlock* r = &merged[p][ry * rpr[p] + rx];
          AddFourBlocks(r, &regions[p][ry * rpr[p] + rx], four, &work);
          listPtr[n++] = r;
        }
    }
    int64_t left = (int64_t)spend - outside / VMK_BYTE;
    const int32_t step = VmkAllocate(listPtr, n, left > 0 ? (uint32_t)left : 0, heap);
    if (step > lastStep) lastStep = step;
    for (int p = 0; p < VMK_PLANES; p++) {
      if (!blocks[p] || p == VMK_ALPHA) continue;
      for (uint32_t ry = 0; ry < rrows[p]; ry++)
        for (uint32_t rx = 0; rx < rpr[p]; rx++) {
          const VmkBlock* r = &merged[p][ry * rpr[p] + rx];
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
    clock = Lap(h, VMK_STAGE_MERGE, clock);
    // Writing, the planes side by side.
    WriteWork ww;
    uint32_t writing = 0;
    for (int p = 0; p < VMK_PLANES && ok; p++) {
      if (!VmkPlaneCoded(h, p)) continue;
      if (h->cancel == 2) ok = 0;
      if (!ok) break;
      VmkStageReport(h, kEncodeText[p]);
      VmkWriteArgs& wa = ww.args[p];
      wa.recon = h->reference[cur ^ 1][p];
      wa.ref = h->reference[cur][p];
      wa.src = h->slots[p][slot];
      wa.width = an[p].width;
      wa.height = an[p].height;
      wa.blocks = blocks[p];
      wa.out = h->bitstream[p];
      wa.outCapacity = h->bitstreamSize[p];
      wa.scratch = &ws[p];
      ww.plane[writing++] = p;
    }
    uint64_t video = 4;
    if (ok) {
      VmkParallelFor(writing, WriteItem, &ww);
      for (uint32_t k = 0; k < writing; k++) {
        const int p = ww.plane[k];
        lengths[p] = ww.length[p];
        if (!lengths[p]) {
          ok = 0;
          break;
        }
        VmkCostModelReport(&h->model[p], &ww.stats[p]);
        VmkColourBias(&h->model[p], &ww.stats[p]);
        video += lengths[p] + (p == VMK_ALPHA ? 4 : 0);
      }
    }
    clock = Lap(h, VMK_STAGE_WRITE, clock);
    const uint64_t allowed = (uint64_t)maximum + (uint32_t)(lastStep + VMK_BYTE - 1) / VMK_BYTE;
    if (!ok || video <= allowed || attempt == 3 || !spend) break;
    const uint64_t excess = video - maximum;
    spend = excess < spend ? spend - (uint32_t)excess : 0;
  }
  if (!ok) return 0;
  h->lastBudget = spend;
  h->lastStep = (uint32_t)(lastStep + VMK_BYTE - 1) / VMK_BYTE;
  h->refSelect = cur ^ 1;
  for (int p = 0; p < VMK_PLANES; p++)
    if (VmkPlaneCoded(h, p))
      errors[p] = (uint32_t)VmkDspGet()->sadn(h->reference[h->refSelect][p], h->slots[p][slot],
                                              an[p].width * an[p].height);
  Lap(h, VMK_STAGE_RECORD, clock);
  return 1;
}
