// Number and duration formatting.
#include <string.h>

#include "korutil/korutil.h"

extern "C" char* CommaNum(char* buf, uint32_t value) {
  if (!buf) return buf;
  char digits[12];
  size_t n = (size_t)(u32toa(digits, value) - digits);
  char* p = buf;
  for (size_t i = 0; i < n; i++) {
    if (i > 0 && (n - i) % 3 == 0) *p++ = ',';
    *p++ = digits[i];
  }
  *p = 0;
  return buf;
}

static char* Amount(char* p, uint32_t n, const char* unit) {
  p = u32toa(p, n);
  *p++ = ' ';
  size_t len = strlen(unit);
  memcpy(p, unit, len);
  p += len;
  if (n != 1) *p++ = 's';
  *p = 0;
  return p;
}

extern "C" char* GetElapsedTime(char* buf, uint32_t ms) {
  if (!buf) return buf;
  if (ms < 1000) {
    Amount(buf, ms, "millisecond");
  } else if (ms < 60000) {
    Amount(buf, ms / 1000, "second");
  } else if (ms < 3600000) {
    char* p = Amount(buf, ms / 60000, "minute");
    *p++ = ' ';
    Amount(p, ms % 60000 / 1000, "second");
  } else {
    char* p = Amount(buf, ms / 3600000, "hour");
    *p++ = ' ';
    Amount(p, ms % 3600000 / 60000, "minute");
  }
  return buf;
}
