// Bit-plane coding of coefficients and residues: a list of (index, mode)
// entries walked once per plane.
#include "vorn/coef.h"

#include <string.h>

#include "vorn/tables.h"

namespace {

struct Entry {
  uint8_t index;
  uint8_t mode;
};

// Entries are only ever added for distinct indexes (each group is expanded
// once), so at most 64 go in front and 13 at the back whatever the data.
struct List {
  Entry e[192];
  int start;
  int end;
};

inline void ListInit(List* l, const Entry* first, int n) {
  l->start = l->end = 96;
  for (int i = 0; i < n; i++) l->e[l->end++] = first[i];
}

// One pass over the list. value(index) reads a value now; it returns false
// to stop reading at once.
template <class Value>
bool ListPass(VornBits* b, List* l, Value value) {
  auto group = [&](int idx) {
    for (int k = 0; k < 4; k++) {
      if (VornBitsGet1(b)) {
        if (l->start > 0) l->e[--l->start] = Entry{(uint8_t)(idx + k), 3};
      } else if (!value(idx + k)) {
        return false;
      }
    }
    return true;
  };
  for (int i = l->start; i < l->end;) {
    Entry& e = l->e[i];
    if ((e.index == 0 && e.mode == 0) || !VornBitsGet1(b)) {
      i++;
      continue;
    }
    int idx = e.index;
    switch (e.mode) {
      case 0:
        e = Entry{(uint8_t)(idx + 4), 1};
        if (!group(idx)) return false;
        break;  // looks at the same entry again
      case 1:
        e.mode = 2;
        if (l->end + 3 <= (int)(sizeof l->e / sizeof l->e[0])) {
          l->e[l->end++] = Entry{(uint8_t)(idx + 4), 2};
          l->e[l->end++] = Entry{(uint8_t)(idx + 8), 2};
          l->e[l->end++] = Entry{(uint8_t)(idx + 12), 2};
        }
        break;
      case 2:
        e = Entry{0, 0};
        i++;
        if (!group(idx)) return false;
        break;
      default:
        e = Entry{0, 0};
        i++;
        if (!value(idx)) return false;
        break;
    }
  }
  return true;
}

}  // namespace

void VornReadCoefs(VornBits* b, int16_t coef[64]) {
  for (int i = 1; i < 64; i++) coef[kVornCoefOrder[i]] = 0;
  int planes = (int)VornBitsGet(b, 4);
  static const Entry kFirst[6] = {{4, 0}, {24, 0}, {44, 0}, {1, 3}, {2, 3}, {3, 3}};
  List l;
  ListInit(&l, kFirst, 6);
  for (int bit = planes - 1; bit >= 0; bit--) {
    int mask = 1 << bit;
    ListPass(b, &l, [&](int idx) {
      int v;
      if (bit >= 1) {
        v = (int)VornBitsGet(b, (uint32_t)bit) + mask;
        if (VornBitsGet1(b)) v = -v;
      } else {
        v = VornBitsGet1(b) ? -1 : 1;
      }
      coef[kVornCoefOrder[idx]] = (int16_t)v;
      return true;
    });
  }
}

void VornReadResidue(VornBits* b, uint32_t limit, int8_t res[64]) {
  memset(res, 0, 64);
  int c = (int)VornBitsGet(b, 3);
  int mask = 1 << c;
  static const Entry kFirst[4] = {{4, 0}, {24, 0}, {44, 0}, {0, 2}};
  List l;
  ListInit(&l, kFirst, 4);
  uint8_t nonzero[64];
  int nonzeroCount = 0;
  uint32_t applied = 0;
  for (int pass = 0; pass <= c; pass++, mask >>= 1) {
    for (int i = 0; i < nonzeroCount; i++) {
      if (!VornBitsGet1(b)) continue;
      int8_t& r = res[kVornCoefOrder[nonzero[i]]];
      r = (int8_t)(r < 0 ? r - mask : r + mask);
      if (++applied > limit) return;
    }
    bool more = ListPass(b, &l, [&](int idx) {
      res[kVornCoefOrder[idx]] = (int8_t)(VornBitsGet1(b) ? -mask : mask);
      if (nonzeroCount < 64) nonzero[nonzeroCount++] = (uint8_t)idx;
      return ++applied <= limit;
    });
    if (!more) return;
  }
}

void VornAddResidue(uint8_t* dst, uint32_t pitch, const int8_t res[64], const uint8_t* work) {
  for (int y = 0; y < 8; y++, dst += pitch)
    for (int x = 0; x < 8; x++) dst[x] = (uint8_t)(work[y * 8 + x] + res[y * 8 + x]);
}
