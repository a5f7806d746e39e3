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
  uint16_t order[VMK_WORK_OPTIONS];
  for (int i = 0; i < n; i++) order[i] = (uint16_t)i;
  std::sort(order, order + n, [o](uint16_t a, uint16_t b) {
    if (o->cost[a] != o->cost[b]) return o->cost[a] < o->cost[b];
    if (o->error[a] != o->error[b]) return o->error[a] < o->error[b];
    return a < b;
  });
  int m = 0;
  keep[m++] = order[0];
  for (int i = 1; i < n && o->error[keep[m - 1]] > 0; i++)
    if (o->error[order[i]] < o->error[keep[m - 1]]) keep[m++] = order[i];
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
