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
// The same in parts: the histogram of samples from .. to - 1 (added to
// hist; returns how many were counted), then the cost from the summed
// histograms.
uint32_t VmkColourHistogram(const uint8_t* src, const uint8_t* ref, uint32_t from, uint32_t to, uint32_t hist[256]);
void VmkColourCostFrom(VmkCostModel* m, const uint32_t hist[256], uint32_t total);
// Corrects the colour bias from what the plane's colours cost.
void VmkColourBias(VmkCostModel* m, const VmkPlaneStats* s);

// Entropy in bytes of a histogram (each value's bits capped at 32).
uint32_t VmkEntropyBytes(const uint32_t* hist, uint32_t total);
// The histogram of the samples from .. to - 1 of a plane that differ from
// a previous plane by more than t (added to hist); returns how many were
// counted.
uint32_t VmkChangedHistogram(const uint8_t* plane, const uint8_t* previous, uint32_t from, uint32_t to, uint32_t t,
                             uint32_t hist[256]);
