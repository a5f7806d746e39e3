#include "vornmake/reduce.h"

#include <stdint.h>

// Both reductions walk from the cheapest option (the lower error among equal
// costs, the earlier one among equal options) to ever dearer and strictly
// better ones; lists are short, so each step simply looks at all options.

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

static int Cheapest(const VmkOptions* o) {
  int best = 0;
  for (int i = 1; i < o->count; i++)
    if (o->cost[i] < o->cost[best] || (o->cost[i] == o->cost[best] && o->error[i] < o->error[best])) best = i;
  return best;
}

void VmkPareto(VmkOptions* o) {
  if (!o->count) return;
  uint16_t keep[VMK_WORK_OPTIONS];
  int m = 0, cur = Cheapest(o);
  keep[m++] = (uint16_t)cur;
  while (o->error[cur] > 0) {
    // The cheapest of the dearer, strictly better options.
    int next = -1;
    for (int i = 0; i < o->count; i++) {
      if (o->cost[i] <= o->cost[cur] || o->error[i] >= o->error[cur]) continue;
      if (next < 0 || o->cost[i] < o->cost[next] || (o->cost[i] == o->cost[next] && o->error[i] < o->error[next]))
        next = i;
    }
    if (next < 0) break;
    keep[m++] = (uint16_t)next;
    cur = next;
  }
  Reorder(o, keep, m);
}

void VmkHull(VmkOptions* o) {
  if (!o->count) return;
  int32_t least = o->error[0];
  for (int i = 1; i < o->count; i++) least = o->error[i] < least ? o->error[i] : least;
  // Options dearer than the cheapest one with the least error are never
  // reached.
  int32_t limit = INT32_MAX;
  for (int i = 0; i < o->count; i++)
    if (o->error[i] == least && o->cost[i] < limit) limit = o->cost[i];
  uint16_t cand[VMK_WORK_OPTIONS];
  int n = 0;
  for (int i = 0; i < o->count; i++)
    if (o->cost[i] <= limit) cand[n++] = (uint16_t)i;
  uint16_t keep[VMK_WORK_OPTIONS];
  int m = 0, cur = Cheapest(o);
  keep[m++] = (uint16_t)cur;
  while (o->error[cur] > least) {
    // The steepest descent to a dearer, strictly better option; among equal
    // slopes the smaller step, among equal options the earlier.
    const int64_t c0 = o->cost[cur], e0 = o->error[cur];
    int next = -1;
    int64_t bs = 0, bc = 1;
    for (int k = 0; k < n; k++) {
      const int i = cand[k];
      const int64_t c = o->cost[i] - c0, s = e0 - o->error[i];
      if (c <= 0 || s <= 0) continue;
      if (next < 0 || s * bc > bs * c || (s * bc == bs * c && c < bc)) {
        next = i;
        bs = s;
        bc = c;
      }
    }
    if (next < 0) break;  // cannot happen: the option with the least error qualifies
    keep[m++] = (uint16_t)next;
    cur = next;
  }
  Reorder(o, keep, m);
}

void VmkThin(VmkOptions* o, int n) {
  const int count = o->count;
  if (count <= n) return;
  uint16_t keep[VMK_WORK_OPTIONS];
  for (int k = 0; k < n; k++) keep[k] = (uint16_t)(k * (count - 1) / (n - 1));
  Reorder(o, keep, n);
}
