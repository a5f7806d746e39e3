// The window encoder: rate control over the look-ahead window.
#pragma once

#include "vornmake/vmk.h"

// Encodes and writes the oldest frame of the window, or all of them when
// last is set. Returns early when the handle is cancelled or fails.
void VmkWindowEncode(VornMakeHandle* h, int last);

// Complexity of a window slot: the entropy of its planes (key frames) or of
// the samples that changed from the previous frame.
uint32_t VmkComplexity(const VornMakeHandle* h, uint32_t slot, int key);

// Replaces the samples of a slot's planes that are within each plane's
// threshold of the current reference picture by the reference's samples.
void VmkSmooth(VornMakeHandle* h, uint32_t slot);
