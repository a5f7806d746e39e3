// Greedy rate-distortion allocation over option lists.
#pragma once

#include <stdint.h>

#include "vornmake/vmk.h"

// Every list starts at its first option; then, while budget (bytes) is left,
// the step with the best error saved per cost spent is taken (the one queued
// first among equal slopes). Lists without options are left alone. Sets
// each list's chosen option. scratch holds VmkAllocateScratch(count) bytes.
// Returns the cost of the last step taken (cost units; 0 when none).
int32_t VmkAllocate(VmkBlock* const* lists, uint32_t count, uint32_t budget, void* scratch);
uint32_t VmkAllocateScratch(uint32_t count);
