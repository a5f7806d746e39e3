// The adaptive cost model: predicted cost of each kind of bitstream element
// from the last four frames, and the colour cost from the plane's entropy.
#pragma once

#include <stdint.h>

#include "vornmake/vmk.h"
#include "vornmake/writer.h"

// Initial history of plane p (VMK_Y, VMK_CR, VMK_CB, VMK_ALPHA).
void VmkCostModelInit(VmkCostModel* m, int plane);
// Costs from the history, clamped to each element's bounds; then the history
// moves on by one frame (the newest entry stays until overwritten).
void VmkCostModelUpdate(VmkCostModel* m);
// The newest history entries from what a plane's writing cost.
void VmkCostModelReport(VmkCostModel* m, const VmkPlaneStats* s);

// Colour cost of a plane about to be coded (ref null for key frames).
void VmkColourCost(VmkCostModel* m, const uint8_t* src, const uint8_t* ref, uint32_t samples);
// Corrects the colour bias from what the plane's colours cost.
void VmkColourBias(VmkCostModel* m, const VmkPlaneStats* s);

// Entropy in bytes of a histogram (each value's bits capped at 32).
uint32_t VmkEntropyBytes(const uint32_t* hist, uint32_t total);
// Entropy of a plane, and of the samples that differ from a previous plane
// by more than t.
uint32_t VmkEntropy(const uint8_t* plane, uint32_t samples);
uint32_t VmkChangedEntropy(const uint8_t* plane, const uint8_t* previous, uint32_t samples, uint32_t t);
