// Command-line switches: "/" and a letter followed directly by the value.
// The "/" must begin a word, so "dir/t-1.avi" holds no T switch.
#include <string.h>

#include "korutil/korutil.h"
#include "korutil/kstr.h"

typedef bool (*ValueTest)(const char* value);

static bool WordStart(const char* line, size_t i) { return i == 0 || KorBlank(line[i - 1]); }

// First "/X" at the start of a word whose value passes the test.
static char* FindSwitch(char* line, int32_t letter, ValueTest test) {
  if (!line) return nullptr;
  int want = KorUpper(letter & 0xFF);
  for (size_t i = 0; line[i]; i++) {
    if (line[i] != '/' || !line[i + 1] || !WordStart(line, i)) continue;
    if (KorUpper((unsigned char)line[i + 1]) == want && test(line + i + 2)) return line + i;
  }
  return nullptr;
}

// Removes [from, to) from the string.
static void Cut(char* from, const char* to) { memmove(from, to, strlen(to) + 1); }

// End of a switch's value: past the closing quote of a quoted value, else
// the next blank.
static const char* ValueEnd(const char* v) {
  if (*v == '"') {
    const char* q = strchr(v + 1, '"');
    if (q) return q + 1;
  }
  while (*v && !KorBlank(*v)) v++;
  return v;
}

static bool EndsSwitch(const char* v) { return (signed char)*v < '0'; }
static bool StartsNumber(const char* v) { return KorDigit(v[0]) || (v[0] == '-' && KorDigit(v[1])); }
static bool StartsFraction(const char* v) { return StartsNumber(v) || (v[0] == '.' && KorDigit(v[1])); }
static bool HasValue(const char* v) { return *v && !KorBlank(*v); }

extern "C" int32_t GetSwitch(char* line, int32_t letter) {
  char* s = FindSwitch(line, letter, EndsSwitch);
  if (!s) return 0;
  Cut(s, s + 2);
  return 1;
}

extern "C" int32_t GetSwitchNum(char* line, int32_t letter, int32_t def) {
  char* s = FindSwitch(line, letter, StartsNumber);
  if (!s) return def;
  const char* p = s + 2;
  bool neg = *p == '-';
  if (neg) p++;
  uint32_t v = 0;  // wraps like a 32-bit register
  while (KorDigit(*p)) v = v * 10 + (uint32_t)(*p++ - '0');
  Cut(s, p);
  return (int32_t)(neg ? 0u - v : v);
}

extern "C" void GetSwitchFractional(char* line, int32_t letter, int32_t* num, int32_t* den,
                                    int32_t def_num, int32_t def_den) {
  int32_t n = def_num, d = def_den;
  char* s = FindSwitch(line, letter, StartsFraction);
  if (s) Cut(s, atofr(s + 2, &n, &d));
  if (num) *num = n;
  if (den) *den = d;
}

static void CopyCut(char* dst, const char* src, size_t len) {
  if (len >= KOR_NAME_SIZE) len = KOR_NAME_SIZE - 1;
  memcpy(dst, src, len);
  dst[len] = 0;
}

extern "C" int32_t GetSwitchStr(char* line, int32_t letter, char* dst, const char* def) {
  char* s = FindSwitch(line, letter, HasValue);
  if (s) {
    const char* v = s + 2;
    const char* end = ValueEnd(v);
    bool quoted = *v == '"' && end > v + 1 && end[-1] == '"';
    const char* from = quoted ? v + 1 : v;
    size_t len = (size_t)(end - from) - (quoted ? 1 : 0);
    // A value too long for a name field stays in the line, where it fails
    // as a name instead of being cut into a different one.
    if (len < KOR_NAME_SIZE) {
      if (dst) CopyCut(dst, from, len);
      Cut(s, end);
      return 1;
    }
  }
  if (dst) CopyCut(dst, def ? def : "", def ? strlen(def) : 0);
  return 0;
}

extern "C" void RemoveMinusSwitches(char* line) {
  if (!line) return;
  size_t i = 0;
  while (line[i]) {
    if (line[i] != '/' || line[i + 1] != '-' || !WordStart(line, i)) {
      i++;
      continue;
    }
    char x = line[i + 2];
    if (!x) {
      line[i] = 0;  // "/-" at the end cuts the line
      return;
    }
    if (KorBlank(x)) {
      Cut(line + i, line + i + 2);
      continue;
    }
    int want = KorUpper((unsigned char)x);
    size_t j = 0;
    while (j < i) {
      if (line[j] == '/' && WordStart(line, j) && KorUpper((unsigned char)line[j + 1]) == want) {
        const char* end = ValueEnd(line + j + 2);
        if (end > line + i) end = line + i;
        i -= (size_t)(end - (line + j));
        Cut(line + j, end);
        continue;
      }
      j++;
    }
    Cut(line + i, line + i + 3);
  }
}
