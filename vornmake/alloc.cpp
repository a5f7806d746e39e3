#include "vornmake/alloc.h"

#include <stdint.h>

namespace {

struct Entry {
  double key;
  uint32_t seq;   // queue order: the earlier entry wins a tie
  uint32_t list;
};

inline bool Before(const Entry& a, const Entry& b) {
  return a.key > b.key || (a.key == b.key && a.seq < b.seq);
}

struct Heap {
  Entry* e;
  uint32_t n;
  void Push(const Entry& x) {
    uint32_t i = n++;
    while (i > 0) {
      uint32_t p = (i - 1) / 2;
      if (!Before(x, e[p])) break;
      e[i] = e[p];
      i = p;
    }
    e[i] = x;
  }
  Entry Pop() {
    Entry top = e[0];
    Entry last = e[--n];
    uint32_t i = 0;
    for (;;) {
      uint32_t c = 2 * i + 1;
      if (c >= n) break;
      if (c + 1 < n && Before(e[c + 1], e[c])) c++;
      if (!Before(e[c], last)) break;
      e[i] = e[c];
      i = c;
    }
    if (n) e[i] = last;
    return top;
  }
};

double Slope(const VmkBlock* b) {
  const uint32_t i = b->chosen;
  const double saved = (double)b->error[i] - (double)b->error[i + 1];
  const double spent = (double)b->cost[i + 1] - (double)b->cost[i];
  return saved / spent;
}

}  // namespace

uint32_t VmkAllocateScratch(uint32_t count) { return (count + 1) * (uint32_t)sizeof(Entry); }

int32_t VmkAllocate(VmkBlock* const* lists, uint32_t count, uint32_t budget, void* scratch) {
  int64_t left = (int64_t)budget * 2048;
  if (left > INT32_MAX) left = INT32_MAX;
  Heap heap = {(Entry*)scratch, 0};
  uint32_t seq = 0;
  for (uint32_t i = 0; i < count; i++) {
    VmkBlock* b = lists[i];
    b->chosen = 0;
    if (!b->count) continue;
    left -= b->cost[0];
    if (b->count > 1) heap.Push({Slope(b), seq++, i});
  }
  int32_t step = 0;
  while (left > 0 && heap.n) {
    Entry top = heap.Pop();
    VmkBlock* b = lists[top.list];
    step = b->cost[b->chosen + 1] - b->cost[b->chosen];
    left -= step;
    b->chosen++;
    if (b->chosen + 1 < b->count) heap.Push({Slope(b), seq++, top.list});
  }
  return step;
}
