#include "vornmake/parallel.h"

#include "vornmake/vornmake.h"

enum { kMaxThreads = 32 };

static uint32_t g_cpuCount = 1;
static int g_cpuKnown;

void VmkCpuInit(void) {
  if (g_cpuKnown) return;
  g_cpuKnown = 1;
  uint32_t n = PlatCpuCount();
  if (n) g_cpuCount = n;
}

uint32_t VmkCpuCount(void) { return g_cpuCount; }

extern "C" uint32_t VornMakeSetMaxCPUs(uint32_t count) {
  VmkCpuInit();
  uint32_t old = g_cpuCount;
  if (count >= 1 && count <= kMaxThreads) g_cpuCount = count;
  return old;
}

static void ThreadMain(void* arg) {
  VmkStage* s = (VmkStage*)arg;
  s->worker(s);
}

void VmkStageRun(VmkStage* stage) {
  stage->next = 0;
  PlatThread* threads[kMaxThreads];
  uint32_t n = g_cpuCount > (uint32_t)kMaxThreads ? (uint32_t)kMaxThreads : g_cpuCount;
  // No more threads than items: the extra ones would find nothing to do.
  if (n > stage->items) n = stage->items ? stage->items : 1;
  uint32_t created = 0;
  for (uint32_t i = 1; i < n; i++) {
    PlatThread* t = PlatThreadCreate(ThreadMain, stage);
    if (t) threads[created++] = t;
  }
  stage->worker(stage);
  for (uint32_t i = 0; i < created; i++) PlatThreadJoin(threads[i]);
}
