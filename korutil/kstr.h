// Small string helpers shared by the library's sources.
#pragma once

// A blank: a byte whose signed value is at most 32 (control characters,
// space and 128-255), the NUL excepted.
static inline bool KorBlank(char c) { return (signed char)c <= 32 && c != 0; }
static inline bool KorDigit(char c) { return c >= '0' && c <= '9'; }
static inline int KorUpper(int c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }
