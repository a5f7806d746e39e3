// File size by name and the log appender.
#include <string.h>

#include "korutil/korutil.h"

extern "C" uint32_t korfilesize(const char* name) {
  KORFile* f = KORFileOpen(0, name, KORFILE_READ);
  if (!f) return 0;
  uint32_t size = KORFileSize(f);
  KORFileClose(f);
  return size;
}

extern "C" void LogString(const char* log_name, const char* text) {
  if (!text) return;
  KORFile* f = KORFileOpen(1024, log_name, KORFILE_READWRITE);
  if (f)
    KORFileSetPos(f, KORFileSize(f));
  else
    f = KORFileCreate(1024, log_name);
  if (!f) return;
  size_t n = strlen(text);
  KORFilePutNB(f, text, n > 0x7FFFFFFF ? 0x7FFFFFFF : (int32_t)n);
  KORFileClose(f);
}
