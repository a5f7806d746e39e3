// korutil: the media utility library. Every function declared here is
// exported from libkorutil.so with C linkage (see exports.map).
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---------------------------------------------------------------- memory
void* kormalloc(int32_t bytes);
void korfree(void* block);

#ifdef __cplusplus
}
#endif
