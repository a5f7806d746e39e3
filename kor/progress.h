// A one-line progress bar on a terminal: frames done, frames per second and
// time left. Silent when standard error is not a terminal.
#pragma once

#include <stdint.h>

struct KorProgress {
  int on;
  uint32_t total;
  uint64_t startUs, lastUs;
};

void KorProgressStart(KorProgress* p, uint32_t total);
// Redraws at most ten times a second (always for the last frame).
void KorProgressUpdate(KorProgress* p, uint32_t done);
// Ends the line.
void KorProgressEnd(KorProgress* p);
