// kor convert: the direction follows the output's extension; a ".vrn"
// output encodes, anything else decodes a Vorn file.
#include <string.h>
#include <strings.h>

#include "kor/kor.h"

void KorEncodeUsage(FILE* out);

static bool EndsWith(const char* s, const char* ext) {
  size_t n = strlen(s), e = strlen(ext);
  return n >= e && !strcasecmp(s + n - e, ext);
}

int KorCmdConvertAny(int argc, char** argv) {
  // The second name that is not an option (or an option's value) is the
  // output.
  int names = 0;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (!strcmp(a, "--help") || !strcmp(a, "-h")) {
      KorCmdConvert(argc, argv);
      printf("\n");
      KorEncodeUsage(stdout);
      return 0;
    }
    if (a[0] == '-' && a[1] == '-') {
      if (strcmp(a, "--grey") && strcmp(a, "--gray") && strcmp(a, "--quiet")) i++;
      continue;
    }
    if (++names == 2) return EndsWith(a, ".vrn") ? KorCmdEncode(argc, argv) : KorCmdConvert(argc, argv);
  }
  return KorCmdConvert(argc, argv);
}
