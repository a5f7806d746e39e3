#include "vornmake/reduce.h"

#include <algorithm>

static void Reorder(VmkOptions* o, const uint16_t* keep, int n) {
  int32_t cost[VMK_WORK_OPTIONS], error[VMK_WORK_OPTIONS];
  uint16_t param[VMK_WORK_OPTIONS];
  uint8_t type[VMK_WORK_OPTIONS];
  for (int i = 0; i < n; i++) {
    cost[i] = o->cost[keep[i]];
    error[i] = o->error[keep[i]];
    param[i] = o->param[keep[i]];
    type[i] = o->type[keep[i]];
  }
  for (int i = 0; i < n; i++) {
    o->cost[i] = cost[i];
    o->error[i] = error[i];
    o->param[i] = param[i];
    o->type[i] = type[i];
  }
  o->count = n;
}

// Indexes of the front: by rising cost (lower error, then list order, among
// equal costs), each strictly better than the one before.
static int Front(const VmkOptions* o, uint16_t* keep) {
  const int n = o->count;
  if (!n) return 0;
  // One key per option: cost, then error, then place in the list (costs and
  // errors are never negative; errors stay below 2^22, places below 2^10).
  uint64_t key[VMK_WORK_OPTIONS];
  for (int i = 0; i < n; i++)
    key[i] = (uint64_t)(uint32_t)o->cost[i] << 32 | (uint64_t)(uint32_t)o->error[i] << 10 | (uint32_t)i;
  if (n <= 24) {
    // Short lists, often already nearly in order.
    for (int i = 1; i < n; i++) {
      const uint64_t k = key[i];
      int j = i;
      for (; j > 0 && key[j - 1] > k; j--) key[j] = key[j - 1];
      key[j] = k;
    }
  } else {
    std::sort(key, key + n);
  }
  int m = 0;
  keep[m++] = (uint16_t)(key[0] & 1023);
  for (int i = 1; i < n && o->error[keep[m - 1]] > 0; i++) {
    const uint16_t k = (uint16_t)(key[i] & 1023);
    if (o->error[k] < o->error[keep[m - 1]]) keep[m++] = k;
  }
  return m;
}

void VmkPareto(VmkOptions* o) {
  uint16_t keep[VMK_WORK_OPTIONS];
  int m = Front(o, keep);
  Reorder(o, keep, m);
}

void VmkHull(VmkOptions* o) {
  uint16_t front[VMK_WORK_OPTIONS], keep[VMK_WORK_OPTIONS];
  const int m = Front(o, front);
  if (!m) return;
  // Every hull point lies on the front, whose costs rise strictly and whose
  // errors fall strictly; from each point take the steepest descent.
  int k = 0, i = 0;
  keep[k++] = front[0];
  while (i < m - 1) {
    const int64_t ci = o->cost[front[i]], ei = o->error[front[i]];
    int best = i + 1;
    int64_t bs = ei - o->error[front[best]], bc = o->cost[front[best]] - ci;
    for (int j = i + 2; j < m; j++) {
      int64_t s = ei - o->error[front[j]], c = o->cost[front[j]] - ci;
      // Larger ratio wins; equal ratios keep the smaller step (the earlier j).
      if (s * bc > bs * c) {
        best = j;
        bs = s;
        bc = c;
      }
    }
    keep[k++] = front[best];
    i = best;
  }
  Reorder(o, keep, k);
}

void VmkThin(VmkOptions* o, int n) {
  const int count = o->count;
  if (count <= n) return;
  uint16_t keep[VMK_WORK_OPTIONS];
  for (int k = 0; k < n; k++) keep[k] = (uint16_t)(k * (count - 1) / (n - 1));
  Reorder(o, keep, n);
}
