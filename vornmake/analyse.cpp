#include "vornmake/analyse.h"

#include <string.h>

#include <algorithm>

#include "vornmake/coefcode.h"
#include "vornmake/recon.h"
#include "vornmake/reduce.h"
#include "vornmake/transform.h"

static inline uint32_t AbsDiff(int a, int b) { return (uint32_t)(a > b ? a - b : b - a); }

static inline void AddOption(VmkOptions* o, uint32_t type, uint32_t param, int32_t cost,
                             int32_t error) {
  int n = o->count;
  if (n >= VMK_WORK_OPTIONS) return;
  o->type[n] = (uint8_t)type;
  o->param[n] = (uint16_t)param;
  o->cost[n] = cost;
  o->error[n] = error;
  o->count = n + 1;
}

static inline uint32_t Sad64(const uint8_t* a, const uint8_t* b) {
  uint32_t s = 0;
  for (int i = 0; i < 64; i++) s += AbsDiff(a[i], b[i]);
  return s;
}

// ---------------------------------------------------------------- motion

void VmkMotionSearch(const VmkAnalysis* a, uint32_t x0, uint32_t y0, int8_t* mvx, int8_t* mvy) {
  const uint32_t w = a->width;
  const int lox = -(int)std::min<uint32_t>(15, x0), hix = (int)std::min<uint32_t>(15, a->width - 8 - x0);
  const int loy = -(int)std::min<uint32_t>(15, y0), hiy = (int)std::min<uint32_t>(15, a->height - 8 - y0);
  int x, y;
  a->dsp->search(a->src + (size_t)y0 * w + x0, a->ref + (size_t)y0 * w + x0, w, lox, hix, loy, hiy, &x, &y);
  *mvx = (int8_t)x;
  *mvy = (int8_t)y;
}

// ---------------------------------------------------------------- helpers

void VmkReduceRegion(const uint8_t* src, uint32_t pitch, uint8_t* out) {
  for (int y = 0; y < 8; y++) {
    const uint8_t* r0 = src + (size_t)(2 * y) * pitch;
    const uint8_t* r1 = r0 + pitch;
    for (int x = 0; x < 8; x++) {
      int v[4] = {r0[2 * x], r0[2 * x + 1], r1[2 * x], r1[2 * x + 1]};
      // The two middle values of four: the sum less the smallest and largest.
      int lo = std::min(std::min(v[0], v[1]), std::min(v[2], v[3]));
      int hi = std::max(std::max(v[0], v[1]), std::max(v[2], v[3]));
      out[y * 8 + x] = (uint8_t)((v[0] + v[1] + v[2] + v[3] - lo - hi) >> 1);
    }
  }
}

// Each scan's consecutive pairs, mostly neighbours: those as an index into
// the per-block tables of neighbour differences (kind * 64 + first
// position), the few others as the two positions.
static struct ScanPairs {
  uint16_t near[16][63];
  uint8_t nearCount[16];
  uint8_t far[16][63][2];
  uint8_t farCount[16];
  ScanPairs() {
    static const int kStep[4] = {1, 7, 8, 9};
    for (int s = 0; s < 16; s++) {
      nearCount[s] = farCount[s] = 0;
      for (int i = 0; i < 63; i++) {
        const int a = kVornScans[s][i], b = kVornScans[s][i + 1], lo = a < b ? a : b, d = a < b ? b - a : a - b;
        int kind = -1;
        for (int k = 0; k < 4; k++)
          if (d == kStep[k]) kind = k;
        if (kind >= 0)
          near[s][nearCount[s]++] = (uint16_t)(kind * 64 + lo);
        else {
          far[s][farCount[s]][0] = (uint8_t)a;
          far[s][farCount[s]++][1] = (uint8_t)b;
        }
      }
    }
  }
} kScanPairs;

uint32_t VmkRunScan(const uint8_t* v) {
  // |difference| plus one when not 0, for neighbours 1, 7, 8 and 9 apart.
  uint16_t diff[4 * 64];
  static const int kStep[4] = {1, 7, 8, 9};
  for (int k = 0; k < 4; k++)
    for (int p = 0; p + kStep[k] < 64; p++) {
      const uint32_t d = AbsDiff(v[p], v[p + kStep[k]]);
      diff[k * 64 + p] = (uint16_t)(d + (d != 0));
    }
  uint32_t best = 0, bestScore = UINT32_MAX;
  for (uint32_t s = 0; s < 16; s++) {
    uint32_t score = 1;
    for (int i = 0; i < kScanPairs.nearCount[s]; i++) score += diff[kScanPairs.near[s][i]];
    for (int i = 0; i < kScanPairs.farCount[s]; i++) {
      const uint32_t d = AbsDiff(v[kScanPairs.far[s][i][0]], v[kScanPairs.far[s][i][1]]);
      score += d + (d != 0);
    }
    if (score < bestScore) {
      bestScore = score;
      best = s;
    }
  }
  return best;
}

// The median of n (2 to 16) values between lo and hi: the mean of the two
// middle ones, rounded down, for an even count. Values are counted when
// their range is narrow, else ranked.
static inline int Median(const uint8_t* v, int n, int lo, int hi) {
  const int k = (n - 1) >> 1;
  int a = -1, b = -1;
  if (hi - lo < 32) {
    uint8_t count[32] = {0};
    for (int i = 0; i < n; i++) count[v[i] - lo]++;
    int seen = 0;
    for (int x = 0; b < 0; x++) {
      seen += count[x];
      if (a < 0 && seen > k) a = x + lo;
      if (seen > n - 1 - k) b = x + lo;
    }
  } else {
    // v[j] is the r-th smallest when fewer than r + 1 values are below it
    // and at least r + 1 are not above it.
    for (int j = 0; j < n; j++) {
      int less = 0, notAbove = 0;
      for (int i = 0; i < n; i++) {
        less += v[i] < v[j];
        notAbove += v[i] <= v[j];
      }
      if (less <= k && k < notAbove) a = v[j];
      if (less <= n - 1 - k && n - 1 - k < notAbove) b = v[j];
    }
  }
  return (a + b) >> 1;
}

uint32_t VmkRunMerge(const uint8_t* scanned, uint32_t t, uint8_t* out) {
  uint32_t next = 256;
  int i = 0;
  while (i < 64) {
    const int start = i, lim = start + 16 < 64 ? start + 16 : 64;
    int lo = scanned[i], hi = lo;
    for (i++; i < lim; i++) {
      const int v = scanned[i];
      const int nlo = v < lo ? v : lo, nhi = v > hi ? v : hi;
      if ((uint32_t)(nhi - nlo) > t) {
        if ((uint32_t)(nhi - nlo) < next) next = (uint32_t)(nhi - nlo);
        break;
      }
      lo = nlo;
      hi = nhi;
    }
    const uint8_t m = (uint8_t)(lo == hi ? lo : Median(scanned + start, i - start, lo, hi));
    for (int k = start; k < i; k++) out[k] = m;
  }
  return next;
}

int VmkRunSplit(const uint8_t* v, VmkRun* runs, int* end) {
  int j = 0, n = 0;
  while (j < 63) {
    int len = 1;
    uint8_t fill = v[j] == v[j + 1];
    if (fill) {
      while (j + len < 64 && len < 16 && v[j + len] == v[j]) len++;
    } else {
      while (j + len < 64 && len < 16 && !(j + len + 1 < 64 && v[j + len] == v[j + len + 1])) len++;
    }
    runs[n].start = (uint8_t)j;
    runs[n].length = (uint8_t)len;
    runs[n].fill = fill;
    n++;
    j += len;
  }
  *end = j;
  return n;
}

uint64_t VmkPatternBits(const uint8_t* v, uint32_t lower, uint32_t upper) {
  uint64_t bits = 0;
  for (int i = 0; i < 64; i++)
    if (AbsDiff(v[i], (int)lower) >= AbsDiff(v[i], (int)upper)) bits |= 1ull << i;
  return bits;
}

// Cost of coding scanned values as runs (the writer's split: a fill run
// takes up to 16 equal values, a literal run values up to one that equals
// the value after it). Works on the mask of positions equal to the next.
static int32_t RunEstimate(uint64_t eq, const VmkCostModel* m) {
  const int32_t run = VMK_BIT + m->cost[VMK_EL_RUN], colour = m->colour;
  int32_t cost = 0;
  int j = 0;
  while (j < 63) {
    int len;
    if (eq >> j & 1) {
      // Equal values from j on: the ones in eq from j, plus one.
      const uint64_t rest = ~(eq >> j);
      len = (rest ? __builtin_ctzll(rest) : 64) + 1;
      if (len > 16) len = 16;
      if (len > 64 - j) len = 64 - j;
      cost += run + colour;
    } else {
      // Up to the next position equal to its successor.
      const uint64_t rest = eq >> (j + 1) << (j + 1);
      len = (rest ? __builtin_ctzll(rest) : 64) - j;
      if (len > 16) len = 16;
      cost += run + len * colour;
    }
    j += len;
  }
  if (j == 63) cost += colour;
  return cost;
}

// ---------------------------------------------------------------- shared options

// The error of a candidate 8 x 8 result: against the block itself, or, for a
// region, against the full-size source it stands for.
struct Target {
  const uint8_t* block;  // 8 x 8 (the source, or the region's reduction)
  const uint8_t* full;   // 16 x 16 region source, or null
  const VmkDsp* dsp;
  const uint8_t* sorted; // the block's samples in ascending order
  uint32_t Error(const uint8_t* b) const {
    return full ? dsp->doubled(full, b) : dsp->sad8(block, 8, b, 8, UINT32_MAX);
  }
};

// Samples in ascending order, by counting.
static void Sort64(const uint8_t* v, uint8_t* out) {
  uint8_t count[256];
  memset(count, 0, sizeof count);
  int lo = 255, hi = 0;
  for (int i = 0; i < 64; i++) {
    count[v[i]]++;
    lo = v[i] < lo ? v[i] : lo;
    hi = v[i] > hi ? v[i] : hi;
  }
  int k = 0;
  for (int x = lo; x <= hi; x++)
    for (int c = count[x]; c; c--) out[k++] = (uint8_t)x;
}

// Pattern option from the block's samples.
static void PatternOption(const Target& t, const VmkCostModel* m, VmkOptions* o) {
  const uint8_t* a = t.sorted;
  if (a[0] == a[63]) return;
  int32_t pre[65];
  pre[0] = 0;
  for (int i = 0; i < 64; i++) pre[i + 1] = pre[i] + a[i];
  int32_t bestErr = INT32_MAX;
  int lower = 0, upper = 0;
  for (int i = 1; i < 64 && bestErr; i++) {
    if (a[i] == a[i - 1]) continue;
    const int h = i / 2;
    const int lo = i & 1 ? a[h] : (a[h - 1] + a[h]) >> 1;
    const int c = 64 - i, k = i + c / 2;
    const int up = c & 1 ? a[k] : (a[k - 1] + a[k]) >> 1;
    int32_t err = lo * h - pre[h] + (pre[i] - pre[h]) - lo * (i - h) + up * (k - i) - (pre[k] - pre[i]) +
                  (pre[64] - pre[k]) - up * (64 - k);
    if (err < bestErr) {
      bestErr = err;
      lower = lo;
      upper = up;
    }
  }
  uint64_t bits = VmkPatternBits(t.block, (uint32_t)lower, (uint32_t)upper);
  uint8_t r[64];
  for (int i = 0; i < 64; i++) r[i] = (uint8_t)(bits >> i & 1 ? upper : lower);
  AddOption(o, VMK_PATTERN, (uint32_t)(lower + 256 * upper),
            m->cost[VMK_EL_PATTERN] + 2 * m->colour, (int32_t)t.Error(r));
}

// Run options: the best scan, then one option per tolerance; only their
// Pareto front joins the list.
// What the passes over one scanned block share: each start's prefix ranges
// and minimums, the medians of the runs met so far (by start and length),
// and the runs of the last pass.
struct RunCache {
  uint8_t range[64][16];
  uint8_t low[64][16];
  uint16_t known[64];  // bit n - 1: the median of the run of length n is known
  uint8_t median[64][16];
  uint8_t start[64];     // last pass: each run's start and the range
  uint16_t cutRange[64];       // that ended it (256: its length or the end)
  int runs;
};

// VmkRunMerge on the cache. A larger tolerance leaves the runs before the
// first one it lets grow as they were: those keep their values in out
// (writable to 80 bytes) and only the rest is cut again.
static uint32_t MergeCached(const VmkDsp* dsp, const uint8_t* scanned, uint32_t t, uint8_t* out, RunCache* c) {
  uint32_t next = 256;
  int r = 0;
  while (r < c->runs && c->cutRange[r] > t) {
    if (c->cutRange[r] < next) next = c->cutRange[r];
    r++;
  }
  uint32_t i = r < c->runs ? c->start[r] : c->runs ? 64 : 0;
  while (i < 64) {
    const uint32_t avail = 64 - i < 16 ? 64 - i : 16;
    const uint32_t n = dsp->runfind(c->range[i], avail, t);
    const uint32_t cut = n < avail ? c->range[i][n] : 256;
    if (cut < next) next = cut;
    c->start[r] = (uint8_t)i;
    c->cutRange[r++] = (uint16_t)cut;
    uint8_t m = scanned[i];
    if (c->range[i][n - 1]) {
      if (c->known[i] >> (n - 1) & 1) {
        m = c->median[i][n - 1];
      } else {
        m = (uint8_t)dsp->median16(scanned + i, n);
        c->median[i][n - 1] = m;
        c->known[i] |= (uint16_t)(1u << (n - 1));
      }
    }
    memset(out + i, m, 16);  // the next run overwrites what lies beyond
    i += n;
  }
  c->runs = r;
  return next;
}

static void RunOptions(const Target& t, const VmkCostModel* m, VmkOptions* o, VmkOptions* runs) {
  const uint32_t scan = VmkRunScan(t.block);
  const uint8_t* order = kVornScans[scan];
  uint8_t scanned[80], merged[80], quads[256];
  for (int i = 0; i < 64; i++) scanned[i] = t.block[order[i]];
  memset(scanned + 64, 0, 16);
  // A region's error is measured on the 2 x 2 groups each value stands for,
  // here laid out in scan order.
  if (t.full)
    for (int i = 0; i < 64; i++) {
      const uint8_t* g = t.full + (order[i] >> 3) * 32 + (order[i] & 7) * 2;
      quads[4 * i] = g[0];
      quads[4 * i + 1] = g[1];
      quads[4 * i + 2] = g[16];
      quads[4 * i + 3] = g[17];
    }
  RunCache cache;
  t.dsp->runprep(scanned, cache.range, cache.low);
  memset(cache.known, 0, sizeof cache.known);
  cache.runs = 0;
  runs->count = 0;
  uint32_t tol = 0;
  while (tol < 256) {
    const uint32_t next = MergeCached(t.dsp, scanned, tol, merged, &cache);
    const uint32_t err = t.full ? t.dsp->spread(quads, merged) : t.dsp->sad8(scanned, 8, merged, 8, UINT32_MAX);
    AddOption(runs, VMK_RUN, scan * 256 + tol, 4 * VMK_BIT + RunEstimate(t.dsp->eqnext(merged), m),
              (int32_t)err);
    tol = next;
  }
  VmkPareto(runs);
  for (int i = 0; i < runs->count; i++)
    AddOption(o, VMK_RUN, runs->param[i], runs->cost[i], runs->error[i]);
}

// Intra options, quantiser 0 upward until the AC values vanish.
static void IntraOptions(const Target& t, const VmkCostModel* m, VmkOptions* o) {
  int32_t in[64], coef[64];
  int16_t q16[64];
  uint8_t r[64];
  for (int i = 0; i < 64; i++) in[i] = t.block[i];
  VmkForward(in, coef);
  for (uint32_t q = 0; q < 16; q++) {
    const uint32_t bits = t.dsp->quantise(coef, kVmkIntraFactor[q], q16);
    if (bits == 4) break;  // every AC value is 0
    VmkInversePut(q16, q, r, 8);
    AddOption(o, VMK_INTRA, q, 4 * VMK_BIT + m->cost[VMK_EL_INTRADC] + (int32_t)bits * VMK_BIT,
              (int32_t)t.Error(r));
  }
}

static void Finish(VmkOptions* o, VmkBlock* b, int limit, int32_t extra) {
  VmkHull(o);
  VmkThin(o, limit);
  b->count = (uint8_t)o->count;
  for (int i = 0; i < o->count; i++) {
    b->cost[i] = o->cost[i] + extra;
    b->error[i] = o->error[i];
    b->param[i] = o->param[i];
    b->type[i] = o->type[i];
  }
}

// ---------------------------------------------------------------- blocks

void VmkBlockOptions(const VmkAnalysis* a, uint32_t x0, uint32_t y0, VmkBlock* blk, VmkScratch* s) {
  const uint32_t w = a->width;
  const VmkCostModel* m = a->model;
  VmkOptions* o = &s->raw;
  o->count = 0;
  uint8_t S[64], sorted[64];
  for (int y = 0; y < 8; y++) memcpy(S + y * 8, a->src + (size_t)(y0 + y) * w + x0, 8);
  const Target t = {S, nullptr, a->dsp, sorted};

  if (!a->key) {
    const uint8_t* R = a->ref + (size_t)y0 * w + x0;
    uint32_t e = a->dsp->sad8(S, 8, R, w, UINT32_MAX);
    AddOption(o, VMK_SKIP, 0, 0, (int32_t)e);
    if (!e) goto done;
  }
  Sort64(S, sorted);
  {
    const int fill = (sorted[31] + sorted[32]) >> 1;
    uint32_t e = 0;
    for (int i = 0; i < 64; i++) e += AbsDiff(S[i], fill);
    AddOption(o, VMK_FILL, (uint32_t)fill, m->colour, (int32_t)e);
    if (!e) goto done;
  }
  PatternOption(t, m, o);
  RunOptions(t, m, o, &s->runs);
  IntraOptions(t, m, o);
  if (!a->key) {
    const int dx = blk->mvx, dy = blk->mvy;
    const uint8_t* Mp = a->ref + (size_t)((int)y0 + dy) * w + (x0 + dx);
    uint8_t M[64];
    for (int y = 0; y < 8; y++) memcpy(M + y * 8, Mp + (size_t)y * w, 8);
    int32_t D[64], coded[64];
    for (int i = 0; i < 64; i++) D[i] = (int8_t)(uint8_t)(S[i] - M[i]);
    const int32_t motion = m->cost[VMK_EL_MOTION];
    const uint32_t motionErr = Sad64(S, M);

    // Residue: one option per applied value.
    for (int i = 0; i < 64; i++) coded[i] = D[kVornCoefOrder[i]];
    uint32_t any = 0;
    for (int i = 0; i < 64; i++) any |= (uint32_t)coded[i];
    if (any) {
      uint8_t cur[64];
      memcpy(cur, M, 64);
      int32_t err = (int32_t)motionErr, kept = INT32_MAX;
      int k = 0;
      VmkBitCounter none = {0};
      VmkResidueCode(&none, coded, [&](uint32_t j, int32_t value, uint32_t bits) -> bool {
        const int pos = kVornCoefOrder[j];
        err -= (int32_t)AbsDiff(S[pos], cur[pos]);
        cur[pos] = (uint8_t)(M[pos] + value);
        err += (int32_t)AbsDiff(S[pos], cur[pos]);
        // Each step costs more than the one before: one that does not lower
        // the error below the last one kept can never be chosen.
        if (err < kept) {
          AddOption(o, VMK_RESIDUE, (uint32_t)k, motion + 7 * VMK_BIT + (int32_t)bits * VMK_BIT, err);
          kept = err;
        }
        k++;
        return err == 0 || k > 127;
      });
    }

    // Inter: the transformed difference, quantiser 0 upward.
    int32_t coef[64];
    int16_t q16[64];
    uint8_t r[64];
    VmkForward(D, coef);
    for (uint32_t q = 0; q < 16; q++) {
      const uint32_t bits = a->dsp->quantise(coef, kVmkInterFactor[q], q16);
      if (q16[0] < -VMK_INTER_DC_LIMIT) q16[0] = -VMK_INTER_DC_LIMIT;
      if (q16[0] > VMK_INTER_DC_LIMIT) q16[0] = VMK_INTER_DC_LIMIT;
      VmkInverseAdd(q16, q, M, r, 8);
      AddOption(o, VMK_INTER, q, 4 * VMK_BIT + m->cost[VMK_EL_INTERDC] + motion + (int32_t)bits * VMK_BIT,
                (int32_t)t.Error(r));
      if (bits == 4) break;
    }
    AddOption(o, VMK_MOTION, 0, motion, (int32_t)motionErr);
  }
  AddOption(o, VMK_RAW, 0, 64 * m->colour, 0);
done:
  Finish(o, blk, VMK_MAX_OPTIONS, m->cost[VMK_EL_TYPE]);
}

// ---------------------------------------------------------------- regions

void VmkRegionOptions(const VmkAnalysis* a, uint32_t x0, uint32_t y0, VmkBlock* reg, VmkScratch* s) {
  const uint32_t w = a->width;
  const VmkCostModel* m = a->model;
  VmkOptions* o = &s->raw;
  o->count = 0;
  uint8_t H[256], B[64], sortedB[64];
  for (int y = 0; y < 16; y++) memcpy(H + y * 16, a->src + (size_t)(y0 + y) * w + x0, 16);
  VmkReduceRegion(H, 16, B);
  Sort64(B, sortedB);
  const Target t = {B, H, a->dsp, sortedB};
  if (!a->key) {
    const uint8_t* Q = a->ref + (size_t)y0 * w + x0;
    bool same = true;
    for (int y = 0; y < 16 && same; y++)
      for (int x = 0; x < 16; x++)
        if (Q[(size_t)y * w + x] != B[(y >> 1) * 8 + (x >> 1)]) {
          same = false;
          break;
        }
    if (same) {
      reg->count = 0;
      return;
    }
  }
  {
    // The 128th and 129th of the 256 samples, by counting.
    uint16_t count[256] = {0};
    for (int i = 0; i < 256; i++) count[H[i]]++;
    int v127 = -1, v128 = -1, seen = 0;
    for (int x = 0; x < 256 && v128 < 0; x++) {
      seen += count[x];
      if (v127 < 0 && seen > 127) v127 = x;
      if (seen > 128) v128 = x;
    }
    const int fill = (v127 + v128) >> 1;
    uint32_t e = 0;
    for (int i = 0; i < 256; i++) e += AbsDiff(H[i], fill);
    AddOption(o, VMK_FILL, (uint32_t)fill, m->colour, (int32_t)e);
    if (!e) goto done;
  }
  PatternOption(t, m, o);
  RunOptions(t, m, o, &s->runs);
  IntraOptions(t, m, o);
  AddOption(o, VMK_RAW, 0, 64 * m->colour, (int32_t)a->dsp->doubled(H, B));
done:
  VmkPareto(o);
  VmkThin(o, VMK_MAX_REGION_OPTIONS);
  reg->count = (uint8_t)o->count;
  const int32_t extra = 2 * m->cost[VMK_EL_TYPE] + m->cost[VMK_EL_SUBTYPE];
  for (int i = 0; i < o->count; i++) {
    reg->cost[i] = o->cost[i] + extra;
    reg->error[i] = o->error[i];
    reg->param[i] = o->param[i];
    reg->type[i] = o->type[i];
  }
}
