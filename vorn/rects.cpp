// VornChangedRects: up to 8 rectangles covering the 16 x 16 areas the last
// decoded frame changed. The bounding box of the changed areas is split, the
// split that saves the most area first, while a split saves any.
#include <stdlib.h>

#include "vorn/convert.h"
#include "vorn/internal.h"

namespace {

struct Box {
  int32_t x, y, w, h;  // luminance pixels, multiples of 16; w = 0: empty
};

int64_t Area(const Box& b) { return (int64_t)b.w * b.h; }

// The bounding box of the changed areas inside b.
Box Bound(const VornHandle* h, const Box& b) {
  int32_t bx0 = b.x / 16, by0 = b.y / 16, bx1 = (b.x + b.w) / 16, by1 = (b.y + b.h) / 16;
  int32_t minX = bx1, maxX = -1, minY = by1, maxY = -1;
  for (int32_t by = by0; by < by1; by++) {
    const uint8_t* row = h->blockMap + (size_t)by * h->blocksPerRow;
    for (int32_t bx = bx0; bx < bx1; bx++) {
      if (!row[bx]) continue;
      if (bx < minX) minX = bx;
      if (bx > maxX) maxX = bx;
      if (by < minY) minY = by;
      maxY = by;
    }
  }
  if (maxX < 0) return Box{0, 0, 0, 0};
  return Box{16 * minX, 16 * minY, 16 * (maxX - minX + 1), 16 * (maxY - minY + 1)};
}

struct Split {
  int64_t gain;  // area saved; 0 or less: not worth it
  Box first, second;
};

// Halves at half the size rounded up to 16; the cut across x wins ties.
Split BestSplit(const VornHandle* h, const Box& b) {
  Split best = {0, b, Box{0, 0, 0, 0}};
  bool found = false;
  for (int axis = 0; axis < 2; axis++) {
    int32_t size = axis == 0 ? b.w : b.h;
    if (size < 32) continue;
    int32_t half = (size / 2 + 15) & ~15;
    Box a = b, c = b;
    if (axis == 0) {
      a.w = half;
      c.x = b.x + half;
      c.w = b.w - half;
    } else {
      a.h = half;
      c.y = b.y + half;
      c.h = b.h - half;
    }
    Split s = {0, Bound(h, a), Bound(h, c)};
    s.gain = Area(b) - Area(s.first) - Area(s.second);
    if (!found || s.gain > best.gain) best = s;
    found = true;
  }
  return best;
}

int CompareRects(const void* a, const void* b) {
  const VornRect* p = (const VornRect*)a;
  const VornRect* q = (const VornRect*)b;
  if (p->y != q->y) return p->y < q->y ? -1 : 1;
  if (p->x != q->x) return p->x < q->x ? -1 : 1;
  return 0;
}

int32_t Compute(VornHandle* h, uint32_t flags) {
  Box boxes[VORN_MAX_RECTS];
  Split splits[VORN_MAX_RECTS];
  boxes[0] = Bound(h, Box{0, 0, (int32_t)h->pitch, (int32_t)h->rows});
  if (!boxes[0].w) return 0;
  int32_t n = 1;
  if (!(flags & VORN_RECTS_ONE)) {
    splits[0] = BestSplit(h, boxes[0]);
    while (n < VORN_MAX_RECTS) {
      int32_t pick = -1;
      for (int32_t i = 0; i < n; i++)
        if (splits[i].gain > 0 && (pick < 0 || splits[i].gain > splits[pick].gain)) pick = i;
      if (pick < 0) break;
      Split s = splits[pick];
      // Both halves of a bounding box hold changed areas; be safe anyway.
      boxes[pick] = s.first.w ? s.first : s.second;
      splits[pick] = BestSplit(h, boxes[pick]);
      if (s.first.w && s.second.w) {
        boxes[n] = s.second;
        splits[n] = BestSplit(h, boxes[n]);
        n++;
      }
    }
  }
  uint32_t option = ((flags | h->flags) & VORN_COPY_MODE) >> VORN_COPY_MODE_SHIFT;
  int32_t sx = option >= 3 && option <= 5 ? 2 : 1;
  int32_t sy = option == 1 || option == 2 || option == 4 || option == 5 ? 2 : 1;
  int32_t count = 0;
  for (int32_t i = 0; i < n; i++) {
    int64_t x = (int64_t)boxes[i].x * sx, y = (int64_t)boxes[i].y * sy;
    int64_t right = x + (int64_t)boxes[i].w * sx, bottom = y + (int64_t)boxes[i].h * sy;
    if (right > h->width) right = h->width;
    if (bottom > h->height) bottom = h->height;
    if (right <= x || bottom <= y) continue;
    h->rects[count++] = VornRect{(int32_t)x, (int32_t)y, (int32_t)(right - x), (int32_t)(bottom - y)};
  }
  qsort(h->rects, (size_t)count, sizeof h->rects[0], CompareRects);
  return count;
}

}  // namespace

extern "C" int32_t VornChangedRects(VornHandle* h, uint32_t flags) {
  if (!h || (flags & VORN_RECTS_NONE)) return 0;
  if (h->keepMap && !((flags | h->flags) & VORN_COPY_NEVER_SKIP)) return 0;
  if (h->rectCount == -1) h->rectCount = Compute(h, flags);
  return h->rectCount;
}
