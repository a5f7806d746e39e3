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

void VmkParetoRef(VmkOptions* o) {
  if (!o->count) return;
  uint16_t keep[VMK_WORK_OPTIONS], cand[VMK_WORK_OPTIONS];
  int m = 0, cur = Cheapest(o), n = 0;
  keep[m++] = (uint16_t)cur;
  // Only options dearer and strictly better than the current one can
  // follow it: the candidates shrink to those at every step.
  for (int i = 0; i < o->count; i++) cand[n++] = (uint16_t)i;
  while (o->error[cur] > 0) {
    const int32_t c0 = o->cost[cur], e0 = o->error[cur];
    int k = 0;
    for (int j = 0; j < n; j++)
      if (o->cost[cand[j]] > c0 && o->error[cand[j]] < e0) cand[k++] = cand[j];
    n = k;
    // The cheapest of them (the lower error among equal costs).
    int next = -1;
    for (int j = 0; j < n; j++) {
      const int i = cand[j];
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
  uint16_t keep[VMK_WORK_OPTIONS], cand[VMK_WORK_OPTIONS];
  int m = 0, cur = Cheapest(o), n = 0;
  keep[m++] = (uint16_t)cur;
  for (int i = 0; i < o->count; i++)
    if (o->cost[i] <= limit) cand[n++] = (uint16_t)i;
  while (o->error[cur] > least) {
    // The steepest descent to a dearer, strictly better option; among equal
    // slopes the smaller step, among equal options the earlier. Only those
    // options can follow: the candidates shrink to them at every step.
    const int64_t c0 = o->cost[cur], e0 = o->error[cur];
    int next = -1, k = 0;
    int64_t bs = 0, bc = 1;
    for (int j = 0; j < n; j++) {
      const int i = cand[j];
      const int64_t c = o->cost[i] - c0, s = e0 - o->error[i];
      if (c <= 0 || s <= 0) continue;
      cand[k++] = (uint16_t)i;
      if (next < 0 || s * bc > bs * c || (s * bc == bs * c && c < bc)) {
        next = i;
        bs = s;
        bc = c;
      }
    }
    n = k;
    if (next < 0) break;  // cannot happen: the option with the least error qualifies
    keep[m++] = (uint16_t)next;
    cur = next;
  }
  Reorder(o, keep, m);
}

// Options by rising cost, then rising error, then place (insertion sort:
// lists are short and mostly in order or in reverse).
static int Sorted(const VmkOptions* o, uint16_t* order) {
  const int n = o->count;
  for (int i = 0; i < n; i++) {
    const int32_t c = o->cost[i], e = o->error[i];
    int j = i;
    for (; j > 0; j--) {
      const int k = order[j - 1];
      if (o->cost[k] < c || (o->cost[k] == c && o->error[k] <= e)) break;
      order[j] = order[j - 1];
    }
    order[j] = (uint16_t)i;
  }
  return n;
}

// The staircase in sorted order: the first option, then each one dearer
// and strictly better than the last one kept, until the error reaches 0;
// the same options the walk of VmkParetoRef keeps.
static int Staircase(const VmkOptions* o, uint16_t* keep) {
  uint16_t order[VMK_WORK_OPTIONS];
  order[0] = 0;
  const int n = Sorted(o, order);
  int m = 0;
  keep[m++] = order[0];
  for (int k = 1; k < n && o->error[keep[m - 1]] > 0; k++) {
    const int i = order[k], last = keep[m - 1];
    if (o->cost[i] > o->cost[last] && o->error[i] < o->error[last]) keep[m++] = (uint16_t)i;
  }
  return m;
}

void VmkPareto(VmkOptions* o) {
  if (!o->count) return;
  uint16_t keep[VMK_WORK_OPTIONS];
  Reorder(o, keep, Staircase(o, keep));
}

void VmkThin(VmkOptions* o, int n) {
  const int count = o->count;
  if (count <= n) return;
  uint16_t keep[VMK_WORK_OPTIONS];
  for (int k = 0; k < n; k++) keep[k] = (uint16_t)(k * (count - 1) / (n - 1));
  Reorder(o, keep, n);
}
