// Fork and join over the processors: a stage hands out its items one at a
// time through an atomic counter to the calling thread and count - 1 more.
#pragma once

#include <stdint.h>

#include "platform/plat.h"

struct VmkStage {
  uint32_t items;
  volatile int32_t next;
  // Runs on every thread: claims items with VmkStageClaim until none is left.
  void (*worker)(VmkStage* stage);
};

// Takes the processor count from the system, once.
void VmkCpuInit(void);
uint32_t VmkCpuCount(void);

// Runs the stage's worker on the processor count's threads and returns when
// every item is done.
void VmkStageRun(VmkStage* stage);

// The next item number, or a number >= items when the stage is done.
static inline uint32_t VmkStageClaim(VmkStage* s) { return (uint32_t)(PlatAtomicAdd(&s->next, 1) - 1); }
