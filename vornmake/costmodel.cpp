#include "vornmake/costmodel.h"

#include <math.h>
#include <string.h>

// Initial bits entries (Y, chroma, alpha; every count entry is 10) and the
// bounds of each element's cost.
static const uint32_t kInitialBits[VMK_ELEMENTS][3] = {
    {17, 12, 13}, {13, 10, 9}, {510, 550, 510}, {80, 90, 70}, {94, 98, 92}, {60, 65, 57}, {35, 35, 31},
};
static const int32_t kLower[VMK_ELEMENTS] = {102, 76, 8192, 1024, 1152, 947, 384};
static const int32_t kUpper[VMK_ELEMENTS] = {1024, 1024, 16384, 2560, 2816, 2816, 1024};
enum { kColourLower = 640, kColourUpper = 2048 };

void VmkCostModelInit(VmkCostModel* m, int plane) {
  memset(m, 0, sizeof *m);
  const int kind = plane == VMK_Y ? 0 : plane == VMK_ALPHA ? 2 : 1;
  for (int e = 0; e < VMK_ELEMENTS; e++)
    for (int i = 0; i < 4; i++) {
      m->bits[e][i] = kInitialBits[e][kind];
      m->count[e][i] = 10;
    }
  VmkCostModelUpdate(m);
  m->colour = kColourLower;
}

void VmkCostModelUpdate(VmkCostModel* m) {
  for (int e = 0; e < VMK_ELEMENTS; e++) {
    uint64_t bits = 0, count = 0;
    for (int i = 0; i < 4; i++) {
      bits += m->bits[e][i];
      count += m->count[e][i];
    }
    int64_t c = count ? (int64_t)(bits * 256 / count) : kUpper[e];
    if (c < kLower[e]) c = kLower[e];
    if (c > kUpper[e]) c = kUpper[e];
    m->cost[e] = (int32_t)c;
    for (int i = 0; i < 3; i++) {
      m->bits[e][i] = m->bits[e][i + 1];
      m->count[e][i] = m->count[e][i + 1];
    }
  }
}

void VmkCostModelReport(VmkCostModel* m, const VmkPlaneStats* s) {
  for (int e = 0; e < VMK_ELEMENTS; e++) {
    if (s->elements[e] <= 10) continue;
    m->bits[e][3] = s->bits[e];
    m->count[e][3] = s->elements[e] + 1;
  }
}

uint32_t VmkEntropyBytes(const uint32_t* hist, uint32_t total) {
  if (!total) return 0;
  double bits = 0;
  const double t = total;
  for (int v = 0; v < 256; v++) {
    if (!hist[v]) continue;
    double b = -log2(hist[v] / t);
    bits += hist[v] * (b < 32 ? b : 32);
  }
  return (uint32_t)(bits / 8 + 0.5);
}

uint32_t VmkChangedHistogram(const uint8_t* plane, const uint8_t* previous, uint32_t from, uint32_t to, uint32_t t,
                             uint32_t hist[256]) {
  uint32_t total = 0;
  for (uint32_t i = from; i < to; i++) {
    int d = plane[i] - previous[i];
    if ((uint32_t)(d < 0 ? -d : d) > t) {
      hist[plane[i]]++;
      total++;
    }
  }
  return total;
}

uint32_t VmkColourHistogram(const uint8_t* src, const uint8_t* ref, uint32_t from, uint32_t to, uint32_t hist[256]) {
  uint32_t total = 0;
  for (uint32_t i = from; i < to; i++) {
    if (i && src[i] == src[i - 1]) continue;
    if (ref) {
      int d = src[i] - ref[i];
      if (d >= -1 && d <= 1) continue;
    }
    hist[src[i]]++;
    total++;
  }
  return total;
}

void VmkColourCostFrom(VmkCostModel* m, const uint32_t hist[256], uint32_t total) {
  int32_t e = total ? (int32_t)((uint64_t)VmkEntropyBytes(hist, total) * 2048 / total) : kColourLower;
  int32_t c = e + m->colourBias;
  if (c < kColourLower) c = kColourLower;
  if (c > kColourUpper) c = kColourUpper;
  m->colour = c;
  m->colourEstimate = e;
}

void VmkColourCost(VmkCostModel* m, const uint8_t* src, const uint8_t* ref, uint32_t samples) {
  uint32_t hist[256] = {0};
  const uint32_t total = VmkColourHistogram(src, ref, 0, samples, hist);
  VmkColourCostFrom(m, hist, total);
}

void VmkColourBias(VmkCostModel* m, const VmkPlaneStats* s) {
  if (s->colourElements > 10)
    m->colourBias = (int32_t)((uint64_t)s->colourBits * 256 / (s->colourElements + 1)) - m->colourEstimate;
  else
    m->colourBias = (m->colour & ~255) - m->colourEstimate;
}
