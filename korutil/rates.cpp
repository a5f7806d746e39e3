// Frame-rate fractions and rate values.
#include "korutil/korutil.h"
#include "korutil/kstr.h"

typedef unsigned __int128 u128;

static uint32_t Gcd(uint32_t a, uint32_t b) {
  while (b) {
    uint32_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}

extern "C" void GCDNums(int32_t* num, int32_t* den) {
  if (!num || !den || *num == 0 || *den == 0) return;
  for (;;) {
    uint32_t an = *num < 0 ? 0u - (uint32_t)*num : (uint32_t)*num;
    uint32_t ad = *den < 0 ? 0u - (uint32_t)*den : (uint32_t)*den;
    uint32_t g = Gcd(an, ad);
    if (g <= 1) return;
    *num /= (int32_t)g;
    *den /= (int32_t)g;
  }
}

// "[-]digits[.digits]" as n / d. The whole part saturates above 32 bits and
// fraction digits past nine are dropped, so n stays below 2^63.
static const char* ReadDecimal(const char* p, uint64_t* n, uint64_t* d, bool* neg) {
  *n = 0;
  *d = 1;
  *neg = *p == '-';
  if (*neg) p++;
  for (; KorDigit(*p); p++)
    if (*n < (1ull << 32)) *n = *n * 10 + (uint64_t)(*p - '0');
  if (*p == '.') {
    for (p++; KorDigit(*p); p++) {
      if (*d >= 1000000000ull) continue;
      *n = *n * 10 + (uint64_t)(*p - '0');
      *d *= 10;
    }
  }
  return p;
}

static bool StartsNumber(const char* p) { return KorDigit(*p) || *p == '.' || *p == '-'; }

static u128 Gcd128(u128 a, u128 b) {
  while (b) {
    u128 t = a % b;
    a = b;
    b = t;
  }
  return a;
}

extern "C" char* atofr(const char* text, int32_t* num, int32_t* den) {
  int32_t rn = 0, rd = 1;
  const char* p = text;
  if (p && StartsNumber(p)) {
    uint64_t n1, d1, n2 = 1, d2 = 1;
    bool neg1, neg2 = false;
    p = ReadDecimal(p, &n1, &d1, &neg1);
    if (*p == ';' && StartsNumber(p + 1)) p = ReadDecimal(p + 1, &n2, &d2, &neg2);
    // (n1 / d1) / (n2 / d2), reduced, then brought into 32 bits.
    u128 n = (u128)n1 * d2, d = (u128)d1 * n2;
    u128 g = n && d ? Gcd128(n, d) : 1;
    n /= g;
    d /= g;
    while (d > 0x7FFFFFFF || (n > 0x7FFFFFFF && d > 1)) {
      n >>= 1;
      d >>= 1;
    }
    if (n > 0x7FFFFFFF) n = 0x7FFFFFFF;
    rn = (int32_t)n;
    rd = d ? (int32_t)d : 1;
    if (neg1 != neg2) rn = -rn;
    GCDNums(&rn, &rd);
  }
  if (num) *num = rn;
  if (den) *den = rd;
  return (char*)p;
}

extern "C" int32_t MakeFrameRate(int32_t rate) {
  int64_t v = rate, r;
  if (v == 0) return 0;
  if (v < -1500)
    r = -v;
  else if (v < 0)
    r = -v * 100;
  else
    r = 100000 / v;
  if (r < 5) r = 5;
  if (r > 0x7FFFFFFF) r = 0x7FFFFFFF;
  return (int32_t)r;
}
