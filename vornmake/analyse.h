// Block analysis: motion search and the coding options of 8 x 8 blocks and
// 16 x 16 regions, with the helpers the plane writer shares with it.
#pragma once

#include <stdint.h>

#include "vornmake/dsp.h"
#include "vornmake/vmk.h"

// What one plane's analysis reads; nothing in it changes during a stage.
struct VmkAnalysis {
  const uint8_t* src;  // source plane
  const uint8_t* ref;  // current reference picture of the plane (readable 64
                       // bytes past its end: the motion search reads ahead)
  uint32_t width, height;
  int key;
  const VmkCostModel* model;
  const VmkDsp* dsp;
};

// Per-thread work space.
struct VmkScratch {
  VmkOptions raw;
  VmkOptions runs;
};

// Exhaustive search within +-15 (and the padded plane) for the block at
// (x0, y0): the first offset in visiting order with the smallest sum of
// absolute differences.
void VmkMotionSearch(const VmkAnalysis* a, uint32_t x0, uint32_t y0, int8_t* mvx, int8_t* mvy);

// Option list of the 8 x 8 block at (x0, y0) with the motion offset already
// in the record.
void VmkBlockOptions(const VmkAnalysis* a, uint32_t x0, uint32_t y0, VmkBlock* block,
                     VmkScratch* s);

// Option list of the 16 x 16 region at (x0, y0).
void VmkRegionOptions(const VmkAnalysis* a, uint32_t x0, uint32_t y0, VmkBlock* region,
                      VmkScratch* s);

// ---- shared with the plane writer

// 16 x 16 samples reduced to 8 x 8: each 2 x 2 group becomes the mean of its
// two middle values, rounded down.
void VmkReduceRegion(const uint8_t* src, uint32_t pitch, uint8_t* out);

// The run scan whose order best suits the block (values in block positions).
uint32_t VmkRunScan(const uint8_t* v);

// Cuts the scanned values into runs of at most 16 whose range stays within
// t and gives every value its run's median. Returns the smallest range that
// forced a cut, or 256 when none did.
uint32_t VmkRunMerge(const uint8_t* scanned, uint32_t t, uint8_t* out);

// Splits scanned values into the coded runs: for each run, its length and
// whether it is a fill run; returns the number of runs. The values left
// (position 63 alone) are those from the returned end position on.
struct VmkRun {
  uint8_t start, length, fill;
};
int VmkRunSplit(const uint8_t* v, VmkRun* runs, int* end);

// Samples taking the nearer of two pattern values (the upper on a tie):
// bit i of the result is 1 when sample i takes upper.
uint64_t VmkPatternBits(const uint8_t* v, uint32_t lower, uint32_t upper);
