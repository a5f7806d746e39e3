#include "vornmake/writer.h"

#include <string.h>

#include "platform/plat.h"
#include "vornmake/analyse.h"
#include "vornmake/bitwriter.h"
#include "vornmake/coefcode.h"
#include "vornmake/recon.h"
#include "vornmake/transform.h"
#include "vornmake/tree.h"

// Values each block may put into a bundle; sub-block types count over half
// the plane width.
static const uint32_t kPerBlock[VMK_BUNDLES] = {1, 1, 64, 8, 1, 1, 1, 1, 48};
enum { kChunkClose = 512, kDataPerBlock = 128 };

static inline uint32_t Align16(uint32_t n) { return (n + 15) & ~15u; }

uint32_t VmkWriterScratchSize(uint32_t width, uint32_t height) {
  const uint32_t blocks = (width / 8) * (height / 8), rows = height / 8;
  uint32_t size = 0;
  for (int b = 0; b < VMK_BUNDLES; b++) {
    size += Align16(blocks * kPerBlock[b] * 2);
    size += Align16(rows * 4) + Align16((rows + 2) * 4);
  }
  size += Align16(blocks * kDataPerBlock + 64);
  size += Align16(rows * 8);
  return size;
}

void VmkWriterScratchInit(VmkWriterScratch* s, void* block, uint32_t width, uint32_t height) {
  const uint32_t blocks = (width / 8) * (height / 8), rows = height / 8;
  uint8_t* p = (uint8_t*)block;
  for (int b = 0; b < VMK_BUNDLES; b++) {
    s->values[b] = (int16_t*)p;
    p += Align16(blocks * kPerBlock[b] * 2);
    s->rowEnd[b] = (uint32_t*)p;
    p += Align16(rows * 4);
    s->chunkEnd[b] = (uint32_t*)p;
    p += Align16((rows + 2) * 4);
  }
  s->data = (uint32_t*)p;
  s->dataBytes = blocks * kDataPerBlock + 64;
  p += Align16(s->dataBytes);
  s->rowData = (uint64_t*)p;
}

uint32_t VmkPlaneBitstreamBound(uint32_t width, uint32_t height) {
  return (width / 8) * (height / 8) * 128 + (height / 8) * 32 + 4096;
}

namespace {

struct Writer {
  const VmkWriteArgs* a;
  VmkWriterScratch* s;
  uint32_t n[VMK_BUNDLES];
  VmkBitWriter data;
  uint32_t w;  // pitch of all planes

  void Push(int b, int v) { s->values[b][n[b]++] = (int16_t)v; }
};

// Symbols of a block-type chunk: repeats of the value before (0 before the
// first) are counted and emitted greedily as repeat codes.
template <class Emit>
void TypeSymbols(const int16_t* v, uint32_t count, Emit emit) {
  int prev = 0;
  uint32_t rep = 0;
  auto flush = [&]() {
    while (rep) {
      if (rep > 32) {
        emit(15);
        rep -= 32;
      } else if (rep >= 13) {
        emit(14);
        rep -= 12;
      } else if (rep >= 9) {
        emit(13);
        rep -= 8;
      } else if (rep >= 5) {
        emit(12);
        rep -= 4;
      } else {
        for (; rep; rep--) emit((uint32_t)prev);
      }
    }
  };
  for (uint32_t i = 0; i < count; i++) {
    if (v[i] == prev) {
      rep++;
      continue;
    }
    flush();
    emit((uint32_t)v[i]);
    prev = v[i];
  }
  flush();
}

static bool AllEqual(const int16_t* v, uint32_t count, int value) {
  for (uint32_t i = 0; i < count; i++)
    if (v[i] != value) return false;
  return true;
}

static inline uint32_t Mag(int v) { return (uint32_t)(v < 0 ? -v : v); }

// DC chunk: the first value plain (intra: 11 bits; inter: 10-bit magnitude
// and sign), then groups of eight differences with a 4-bit width.
static void WriteDc(VmkBitWriter* w, const int16_t* v, uint32_t count, bool inter) {
  if (inter) {
    VmkBitsPut(w, Mag(v[0]), 10);
    if (v[0]) VmkBitsPut(w, v[0] < 0, 1);
  } else {
    VmkBitsPut(w, (uint32_t)v[0], 11);
  }
  for (uint32_t g = 1; g < count; g += 8) {
    uint32_t e = g + 8 < count ? g + 8 : count, all = 0;
    for (uint32_t i = g; i < e; i++) all |= Mag(v[i] - v[i - 1]);
    uint32_t width = VmkBitLength(all);
    VmkBitsPut(w, width, 4);
    if (!width) continue;
    for (uint32_t i = g; i < e; i++) {
      int d = v[i] - v[i - 1];
      VmkBitsPut(w, Mag(d), width);
      if (d) VmkBitsPut(w, d < 0, 1);
    }
  }
}

// ---------------------------------------------------------------- pass 1

static void CopyBlock(uint8_t* dst, const uint8_t* src, uint32_t pitch) {
  for (int y = 0; y < 8; y++) memcpy(dst + (size_t)y * pitch, src + (size_t)y * pitch, 8);
}

// Run coding of 64 values given in block positions along a scan: block data
// (scan, flags), run lengths and colours. Returns the values as placed.
static void CodeRun(Writer* wr, const uint8_t* v, uint32_t param, uint8_t* placed) {
  const uint32_t scan = param >> 8, tol = param & 255;
  const uint8_t* order = kVornScans[scan];
  uint8_t scanned[64], merged[64];
  for (int i = 0; i < 64; i++) scanned[i] = v[order[i]];
  VmkRunMerge(scanned, tol, merged);
  VmkBitsPut(&wr->data, scan, 4);
  VmkRun runs[64];
  int end;
  int n = VmkRunSplit(merged, runs, &end);
  for (int i = 0; i < n; i++) {
    VmkBitsPut(&wr->data, runs[i].fill, 1);
    wr->Push(VMK_B_RUNS, runs[i].length - 1);
    if (runs[i].fill)
      wr->Push(VMK_B_COLOURS, merged[runs[i].start]);
    else
      for (int k = 0; k < runs[i].length; k++) wr->Push(VMK_B_COLOURS, merged[runs[i].start + k]);
  }
  if (end == 63) wr->Push(VMK_B_COLOURS, merged[63]);
  for (int i = 0; i < 64; i++) placed[order[i]] = merged[i];
}

// Pattern: the value covering at least 32 samples first (the lower one on
// 32 each), then the other; pattern bits mark the second.
static void CodePattern(Writer* wr, const uint8_t* v, uint32_t param, uint8_t* placed) {
  const uint32_t lower = param & 255, upper = param >> 8;
  uint64_t bits = VmkPatternBits(v, lower, upper);
  const int upperCount = __builtin_popcountll(bits);
  uint32_t c0 = lower, c1 = upper;
  if (upperCount > 32) {
    c0 = upper;
    c1 = lower;
    bits = ~bits;
  }
  wr->Push(VMK_B_COLOURS, (int)c0);
  wr->Push(VMK_B_COLOURS, (int)c1);
  for (int r = 0; r < 8; r++) wr->Push(VMK_B_PATTERNS, (int)((bits >> (8 * r)) & 255));
  for (int i = 0; i < 64; i++) placed[i] = (uint8_t)(bits >> i & 1 ? c1 : c0);
}

// Intra block data for 64 samples with quantiser q; returns the quantised
// coefficients for the reconstruction.
static void CodeIntra(Writer* wr, const uint8_t* v, uint32_t q, int16_t* q16) {
  int32_t in[64], coef[64], coded[64];
  for (int i = 0; i < 64; i++) in[i] = v[i];
  VmkForward(in, coef);
  VmkQuantise(coef, kVmkIntraFactor[q], q16);
  wr->Push(VMK_B_INTRADC, q16[0]);
  VmkCoefGather(q16, coded);
  VmkCoefCode(&wr->data, coded);
  VmkBitsPut(&wr->data, q, 4);
}

static void Pass1(Writer* wr) {
  const VmkWriteArgs* a = wr->a;
  const uint32_t w = a->width, bpr = w / 8, rows = a->height / 8;
  for (uint32_t by = 0; by < rows; by++) {
    for (uint32_t bx = 0; bx < bpr; bx++) {
      const VmkBlock* b = &a->blocks[by * bpr + bx];
      const uint32_t x0 = bx * 8, y0 = by * 8;
      const size_t at = (size_t)y0 * w + x0;
      uint8_t* dst = a->recon + at;
      if (b->covered == 1 || b->covered == 3) continue;  // passed over
      if (b->covered == 2) {
        wr->Push(VMK_B_TYPES, VMK_SCALED);
        continue;
      }
      const uint32_t type = b->finalType, param = b->finalParam;
      uint8_t S[64], placed[64];
      for (int y = 0; y < 8; y++) memcpy(S + y * 8, a->src + at + (size_t)y * w, 8);
      const uint8_t* M = a->ref + (size_t)((int)y0 + b->mvy) * w + (x0 + b->mvx);
      if (type != VMK_SCALED) wr->Push(VMK_B_TYPES, (int)type);
      if (type == VMK_MOTION || type == VMK_RESIDUE || type == VMK_INTER) {
        wr->Push(VMK_B_XOFF, b->mvx);
        wr->Push(VMK_B_YOFF, b->mvy);
      }
      switch (type) {
        case VMK_SKIP:
          CopyBlock(dst, a->ref + at, w);
          break;
        case VMK_MOTION:
          CopyBlock(dst, M, w);
          break;
        case VMK_RUN:
          CodeRun(wr, S, param, placed);
          for (int y = 0; y < 8; y++) memcpy(dst + (size_t)y * w, placed + y * 8, 8);
          break;
        case VMK_RESIDUE: {
          int32_t coded[64];
          uint8_t cur[64];
          for (int y = 0; y < 8; y++) memcpy(cur + y * 8, M + (size_t)y * w, 8);
          for (int i = 0; i < 64; i++) {
            const int pos = kVornCoefOrder[i];
            coded[i] = (int8_t)(uint8_t)(S[pos] - cur[pos]);
          }
          uint8_t base[64];
          memcpy(base, cur, 64);
          VmkBitsPut(&wr->data, param, 7);
          uint32_t applied = 0;
          VmkResidueCode(&wr->data, coded, [&](uint32_t j, int32_t value, uint32_t) -> bool {
            const int pos = kVornCoefOrder[j];
            cur[pos] = (uint8_t)(base[pos] + value);
            return ++applied > param;
          });
          for (int y = 0; y < 8; y++) memcpy(dst + (size_t)y * w, cur + y * 8, 8);
          break;
        }
        case VMK_INTRA: {
          int16_t q16[64];
          CodeIntra(wr, S, param, q16);
          VmkInversePut(q16, param, dst, w);
          break;
        }
        case VMK_FILL:
          wr->Push(VMK_B_COLOURS, (int)param);
          for (int y = 0; y < 8; y++) memset(dst + (size_t)y * w, (int)param, 8);
          break;
        case VMK_INTER: {
          int32_t in[64], coef[64], coded[64];
          int16_t q16[64];
          uint8_t work[64];
          for (int y = 0; y < 8; y++) memcpy(work + y * 8, M + (size_t)y * w, 8);
          for (int i = 0; i < 64; i++) in[i] = (int8_t)(uint8_t)(S[i] - work[i]);
          VmkForward(in, coef);
          VmkQuantise(coef, kVmkInterFactor[param], q16);
          if (q16[0] < -VMK_INTER_DC_LIMIT) q16[0] = -VMK_INTER_DC_LIMIT;
          if (q16[0] > VMK_INTER_DC_LIMIT) q16[0] = VMK_INTER_DC_LIMIT;
          wr->Push(VMK_B_INTERDC, q16[0]);
          VmkCoefGather(q16, coded);
          VmkCoefCode(&wr->data, coded);
          VmkBitsPut(&wr->data, param, 4);
          VmkInverseAdd(q16, param, work, dst, w);
          break;
        }
        case VMK_PATTERN:
          CodePattern(wr, S, param, placed);
          for (int y = 0; y < 8; y++) memcpy(dst + (size_t)y * w, placed + y * 8, 8);
          break;
        case VMK_RAW:
          for (int i = 0; i < 64; i++) wr->Push(VMK_B_COLOURS, S[i]);
          CopyBlock(dst, a->src + at, w);
          break;
        case VMK_SCALED: {
          wr->Push(VMK_B_TYPES, VMK_SCALED);
          wr->Push(VMK_B_SUBTYPES, b->subType);
          uint8_t B[64];
          VmkReduceRegion(a->src + at, w, B);
          int16_t q16[64];
          bool haveCoef = false;
          switch (b->subType) {
            case VMK_RUN: CodeRun(wr, B, param, placed); break;
            case VMK_INTRA:
              CodeIntra(wr, B, param, q16);
              haveCoef = true;
              break;
            case VMK_FILL:
              wr->Push(VMK_B_COLOURS, (int)param);
              memset(placed, (int)param, 64);
              break;
            case VMK_PATTERN: CodePattern(wr, B, param, placed); break;
            default:
              for (int i = 0; i < 64; i++) wr->Push(VMK_B_COLOURS, B[i]);
              memcpy(placed, B, 64);
              break;
          }
          if (haveCoef) {
            VmkInversePutDoubled(q16, param, dst, w);
          } else {
            for (int y = 0; y < 16; y++)
              for (int x = 0; x < 16; x++) dst[(size_t)y * w + x] = placed[(y >> 1) * 8 + (x >> 1)];
          }
          bx++;  // the region covers the next block column
          break;
        }
        default:
          PlatMessageBox("Vorn Error", "Unknown block type.", PLAT_MB_OK | PLAT_MB_ICONERROR);
          break;
      }
    }
    // Row end: chunks close once they hold 512 values.
    for (int k = 0; k < VMK_BUNDLES; k++) wr->s->rowEnd[k][by] = wr->n[k];
    wr->s->rowData[by] = VmkBitsTell(&wr->data);
  }
}

// ---------------------------------------------------------------- chunks

struct Chunks {
  uint32_t count[VMK_BUNDLES];
};

static void MakeChunks(Writer* wr, uint32_t rows, Chunks* c) {
  for (int k = 0; k < VMK_BUNDLES; k++) {
    uint32_t open = 0, m = 0;
    for (uint32_t r = 0; r < rows; r++) {
      uint32_t end = wr->s->rowEnd[k][r];
      if (end - open >= kChunkClose) {
        wr->s->chunkEnd[k][m++] = end;
        open = end;
      }
    }
    if (wr->n[k] > open) wr->s->chunkEnd[k][m++] = wr->n[k];
    c->count[k] = m;
  }
}

// Trees of one plane.
struct Trees {
  VmkTreeCode types, subtypes, colourHigh[16], colourLow, patterns, xoff, yoff, runs;
};

static void CountSymbols(Writer* wr, const Chunks* c, Trees* t) {
  uint32_t types[16] = {0}, subtypes[16] = {0}, high[16][16] = {{0}}, low[16] = {0}, patterns[16] = {0},
           xoff[16] = {0}, yoff[16] = {0}, runs[16] = {0};
  uint32_t* typeHist[2] = {types, subtypes};
  for (int k = VMK_B_TYPES; k <= VMK_B_SUBTYPES; k++) {
    uint32_t start = 0;
    for (uint32_t i = 0; i < c->count[k]; i++) {
      const uint32_t end = wr->s->chunkEnd[k][i];
      const int16_t* v = wr->s->values[k] + start;
      if (!AllEqual(v, end - start, 0)) TypeSymbols(v, end - start, [&](uint32_t s) { typeHist[k][s]++; });
      start = end;
    }
  }
  {
    uint32_t start = 0, ctx = 0;
    for (uint32_t i = 0; i < c->count[VMK_B_COLOURS]; i++) {
      const uint32_t end = wr->s->chunkEnd[VMK_B_COLOURS][i];
      const int16_t* v = wr->s->values[VMK_B_COLOURS] + start;
      const uint32_t m = AllEqual(v, end - start, v[0]) ? 1 : end - start;
      for (uint32_t j = 0; j < m; j++) {
        high[ctx][v[j] >> 4]++;
        low[v[j] & 15]++;
        ctx = (uint32_t)v[j] >> 4;
      }
      start = end;
    }
  }
  for (uint32_t i = 0; i < wr->n[VMK_B_PATTERNS]; i++) {
    int v = wr->s->values[VMK_B_PATTERNS][i];
    patterns[v & 15]++;
    patterns[v >> 4]++;
  }
  uint32_t* hist[3] = {xoff, yoff, runs};
  const int bundles[3] = {VMK_B_XOFF, VMK_B_YOFF, VMK_B_RUNS};
  for (int h = 0; h < 3; h++) {
    const int k = bundles[h];
    uint32_t start = 0;
    for (uint32_t i = 0; i < c->count[k]; i++) {
      const uint32_t end = wr->s->chunkEnd[k][i];
      const int16_t* v = wr->s->values[k] + start;
      if (!AllEqual(v, end - start, 0))
        for (uint32_t j = 0; j < end - start; j++) hist[h][Mag(v[j])]++;
      start = end;
    }
  }
  VmkTreeChoose(types, &t->types);
  VmkTreeChoose(subtypes, &t->subtypes);
  for (int i = 0; i < 16; i++) VmkTreeChoose(high[i], &t->colourHigh[i]);
  VmkTreeChoose(low, &t->colourLow);
  VmkTreeChoose(patterns, &t->patterns);
  VmkTreeChoose(xoff, &t->xoff);
  VmkTreeChoose(yoff, &t->yoff);
  VmkTreeChoose(runs, &t->runs);
}

// Writes chunk i of bundle k (the values between start and end).
static void WriteChunk(VmkBitWriter* w, int k, const int16_t* v, uint32_t count, const Trees* t,
                       uint32_t* ctx) {
  switch (k) {
    case VMK_B_TYPES:
    case VMK_B_SUBTYPES: {
      const VmkTreeCode* tc = k == VMK_B_TYPES ? &t->types : &t->subtypes;
      if (AllEqual(v, count, 0)) {
        VmkBitsPut(w, 1, 1);
        VmkBitsPut(w, 0, 4);
      } else {
        VmkBitsPut(w, 0, 1);
        TypeSymbols(v, count, [&](uint32_t s) { VmkTreePut(w, tc, s); });
      }
      break;
    }
    case VMK_B_COLOURS: {
      const bool fill = AllEqual(v, count, v[0]);
      VmkBitsPut(w, fill, 1);
      const uint32_t m = fill ? 1 : count;
      for (uint32_t j = 0; j < m; j++) {
        const uint32_t hi = (uint32_t)v[j] >> 4;
        VmkTreePut(w, &t->colourHigh[*ctx], hi);
        VmkTreePut(w, &t->colourLow, (uint32_t)v[j] & 15);
        *ctx = hi;
      }
      break;
    }
    case VMK_B_PATTERNS:
      for (uint32_t j = 0; j < count; j++) {
        VmkTreePut(w, &t->patterns, (uint32_t)v[j] & 15);
        VmkTreePut(w, &t->patterns, (uint32_t)v[j] >> 4);
      }
      break;
    case VMK_B_XOFF:
    case VMK_B_YOFF:
    case VMK_B_RUNS: {
      const VmkTreeCode* tc = k == VMK_B_XOFF ? &t->xoff : k == VMK_B_YOFF ? &t->yoff : &t->runs;
      if (AllEqual(v, count, 0)) {
        VmkBitsPut(w, 1, 1);
        VmkBitsPut(w, 0, 4);
        break;
      }
      VmkBitsPut(w, 0, 1);
      for (uint32_t j = 0; j < count; j++) {
        VmkTreePut(w, tc, Mag(v[j]));
        if (k != VMK_B_RUNS && v[j]) VmkBitsPut(w, v[j] < 0, 1);
      }
      break;
    }
    case VMK_B_INTRADC: WriteDc(w, v, count, false); break;
    case VMK_B_INTERDC: WriteDc(w, v, count, true); break;
  }
}

}  // namespace

// ---------------------------------------------------------------- plane

uint32_t VmkWritePlane(const VmkWriteArgs* a, VmkPlaneStats* stats) {
  Writer wr;
  wr.a = a;
  wr.s = a->scratch;
  wr.w = a->width;
  memset(wr.n, 0, sizeof wr.n);
  VmkBitsInit(&wr.data, wr.s->data, wr.s->dataBytes);
  const uint32_t rows = a->height / 8;

  Pass1(&wr);
  VmkBitsAlign(&wr.data);
  if (wr.data.overflow) return 0;

  Chunks chunks;
  MakeChunks(&wr, rows, &chunks);
  Trees trees;
  CountSymbols(&wr, &chunks, &trees);

  VmkBitWriter out;
  VmkBitsInit(&out, a->out, a->outCapacity);
  VmkTreeWrite(&out, &trees.types);
  VmkTreeWrite(&out, &trees.subtypes);
  for (int i = 0; i < 16; i++) VmkTreeWrite(&out, &trees.colourHigh[i]);
  VmkTreeWrite(&out, &trees.colourLow);
  VmkTreeWrite(&out, &trees.patterns);
  VmkTreeWrite(&out, &trees.xoff);
  VmkTreeWrite(&out, &trees.yoff);
  VmkTreeWrite(&out, &trees.runs);

  uint32_t lengthBits[VMK_BUNDLES];
  for (int k = 0; k < VMK_BUNDLES; k++) {
    const uint32_t width = k == VMK_B_SUBTYPES ? a->width / 2 : a->width;
    lengthBits[k] = VmkBitLength(511 + kPerBlock[k] * (width / 8));
  }
  uint32_t avail[VMK_BUNDLES] = {0}, used[VMK_BUNDLES] = {0}, next[VMK_BUNDLES] = {0};
  uint8_t finished[VMK_BUNDLES] = {0};
  uint32_t coded[VMK_BUNDLES] = {0};
  uint32_t ctx = 0;
  uint64_t dataPos = 0;
  for (uint32_t r = 0; r < rows; r++) {
    for (int k = 0; k < VMK_BUNDLES; k++) {
      if (used[k] != avail[k] || finished[k]) continue;
      if (next[k] == chunks.count[k]) {
        VmkBitsPut(&out, 0, lengthBits[k]);
        finished[k] = 1;
        continue;
      }
      const uint32_t end = wr.s->chunkEnd[k][next[k]++];
      VmkBitsPut(&out, end - avail[k], lengthBits[k]);
      const uint64_t before = VmkBitsTell(&out);
      WriteChunk(&out, k, wr.s->values[k] + avail[k], end - avail[k], &trees, &ctx);
      coded[k] += (uint32_t)(VmkBitsTell(&out) - before);
      avail[k] = end;
    }
    for (int k = 0; k < VMK_BUNDLES; k++) used[k] = wr.s->rowEnd[k][r];
    VmkBitsCopy(&out, wr.s->data, dataPos, wr.s->rowData[r] - dataPos);
    dataPos = wr.s->rowData[r];
  }
  VmkBitsAlign(&out);
  if (out.overflow) return 0;

  memset(stats, 0, sizeof *stats);
  stats->elements[VMK_EL_TYPE] = wr.n[VMK_B_TYPES];
  stats->bits[VMK_EL_TYPE] = coded[VMK_B_TYPES];
  stats->elements[VMK_EL_SUBTYPE] = wr.n[VMK_B_SUBTYPES];
  stats->bits[VMK_EL_SUBTYPE] = coded[VMK_B_SUBTYPES];
  stats->elements[VMK_EL_PATTERN] = wr.n[VMK_B_PATTERNS] / 8;
  stats->bits[VMK_EL_PATTERN] = coded[VMK_B_PATTERNS];
  stats->elements[VMK_EL_MOTION] = wr.n[VMK_B_XOFF];
  stats->bits[VMK_EL_MOTION] = coded[VMK_B_XOFF] + coded[VMK_B_YOFF];
  stats->elements[VMK_EL_INTRADC] = wr.n[VMK_B_INTRADC];
  stats->bits[VMK_EL_INTRADC] = coded[VMK_B_INTRADC];
  stats->elements[VMK_EL_INTERDC] = wr.n[VMK_B_INTERDC];
  stats->bits[VMK_EL_INTERDC] = coded[VMK_B_INTERDC];
  stats->elements[VMK_EL_RUN] = wr.n[VMK_B_RUNS];
  stats->bits[VMK_EL_RUN] = coded[VMK_B_RUNS];
  stats->colourElements = wr.n[VMK_B_COLOURS];
  stats->colourBits = coded[VMK_B_COLOURS];
  return out.pos * 4;
}
