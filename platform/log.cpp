// Debugger output on standard error.
#include "platform/plat.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int g_debug = -1;  // -1: not yet decided from the environment

void PlatDebugEnable(int on) { g_debug = on ? 1 : 0; }

int PlatDebugEnabled(void) {
  if (g_debug < 0) {
    const char* e = getenv("KOR_DEBUG");
    g_debug = e && *e && strcmp(e, "0") != 0;
  }
  return g_debug;
}

void PlatDebugOut(const char* text) {
  if (!text || !PlatDebugEnabled()) return;
  fputs(text, stderr);
  fflush(stderr);
}
