// Tokens, quotes, trimming and decimal numbers.
#include <string.h>

#include "korutil/korutil.h"
#include "korutil/kstr.h"

extern "C" char* TrimL(char* text) {
  if (!text) return text;
  char* p = text;
  while (KorBlank(*p)) p++;
  if (p != text) memmove(text, p, strlen(p) + 1);
  return text;
}

extern "C" char* Trim(char* text) {
  if (!text) return text;
  TrimL(text);
  size_t n = strlen(text);
  while (n > 0 && KorBlank(text[n - 1])) n--;
  text[n] = 0;
  return text;
}

extern "C" char* TrimAscii(char* text) { return Trim(text); }

extern "C" char* RemoveQuotes(char* text) {
  if (!Trim(text)) return text;
  size_t n = strlen(text);
  if (n >= 2 && text[0] == '"' && text[n - 1] == '"') {
    memmove(text, text + 1, n - 2);
    text[n - 2] = 0;
  }
  return text;
}

static void TakeFirst(char* dst, char* src, bool quoted) {
  if (!dst) return;
  *dst = 0;
  if (!src) return;
  TrimL(src);
  const char* from = src;
  char* p = src;
  size_t len;
  const char* close = quoted && *p == '"' ? strchr(p + 1, '"') : nullptr;
  if (close) {
    from = p + 1;
    len = (size_t)(close - from);
    p = (char*)close + 1;
  } else {
    while (*p && !KorBlank(*p)) p++;
    len = (size_t)(p - src);
  }
  memmove(dst, from, len);
  dst[len] = 0;
  // The blanks after the token and one "," go with it.
  while (KorBlank(*p)) p++;
  if (*p == ',') p++;
  memmove(src, p, strlen(p) + 1);
  TrimL(src);
  Trim(dst);
}

extern "C" void GetAndRemoveFirst(char* dst, char* src) { TakeFirst(dst, src, false); }
extern "C" void GetAndRemoveFirstQuoted(char* dst, char* src) { TakeFirst(dst, src, true); }

extern "C" char* findchar(const char* text, int32_t ch) {
  if (!text || (char)ch == 0) return nullptr;
  return (char*)strchr(text, (char)ch);
}

extern "C" char* u32toa(char* buf, uint32_t value) {
  if (!buf) return buf;
  char tmp[10];
  int n = 0;
  do {
    tmp[n++] = (char)('0' + value % 10);
    value /= 10;
  } while (value);
  while (n) *buf++ = tmp[--n];
  *buf = 0;
  return buf;
}

extern "C" uint32_t atou32(const char* text) {
  if (!text) return 0;
  while (KorBlank(*text)) text++;
  uint32_t v = 0;
  while (KorDigit(*text)) v = v * 10 + (uint32_t)(*text++ - '0');
  return v;
}
