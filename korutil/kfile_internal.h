// Shared state changes of the KORFile layer.
#pragma once

#include "korutil/korutil.h"

static inline bool KorFileClosed(const KORFile* f) { return !f || f->handle == -1; }
// The buffer is allocated at the first transfer; a failed allocation leaves
// the file unbuffered.
void KorFileAllocBuffer(KORFile* f);
// Switch modes at the current position (no-ops when already there).
void KorFileToRead(KORFile* f);
void KorFileToWrite(KORFile* f);
