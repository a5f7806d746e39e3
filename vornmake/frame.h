// The frame encoder: analysis, allocation, merging and writing of one frame.
#pragma once

#include <stdint.h>

#include "vornmake/vmk.h"

// Encodes window slot `slot` with a video budget of `budget` bytes into the
// handle's bitstream buffers and builds the next reference pictures.
// lengths and errors receive each plane's bitstream length and error (0 for
// planes the file does not code). Returns 1, or 0 on failure (no memory,
// abort requested, or a plane that would not fit its buffer).
int VmkEncodeFrame(VornMakeHandle* h, uint32_t slot, uint32_t budget, int key,
                   uint32_t lengths[VMK_PLANES], uint32_t errors[VMK_PLANES]);

// Reports a stage to the callback (progress frame -1); a non-zero answer
// asks the handle to stop.
void VmkStageReport(VornMakeHandle* h, const char* text);
