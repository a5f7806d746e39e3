// kor: the command-line front end of the KOR video tool kit.
#include <stdio.h>
#include <string.h>

#include "kor/kor.h"

static const KorCommand kCommands[] = {
    {"help", "show this help", KorCmdHelp},
    {"info", "describe a Vorn file", KorCmdInfo},
    {"convert", "decode a Vorn file to YUV4MPEG2 (or its sound to WAV), or encode one", KorCmdConvertAny},
    {"mix", "replace, remove or add the sound tracks of a Vorn file", KorCmdMix},
    {"tune", "write a short generated piece of music as a WAV file", KorCmdTune},
    {"demo", "draw, encode, measure and play a clip of its own", KorCmdDemo},
};

static void Usage(FILE* out) {
  fprintf(out,
          "kor - the KOR video tool kit\n"
          "\n"
          "usage: kor COMMAND [ARGUMENTS]\n"
          "\n"
          "commands:\n");
  for (const KorCommand& c : kCommands) fprintf(out, "  %-10s %s\n", c.name, c.help);
  fprintf(out, "\n'kor COMMAND --help' tells more about one command.\n");
}

int KorCmdHelp(int, char**) {
  Usage(stdout);
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 2 || !strcmp(argv[1], "--help") || !strcmp(argv[1], "-h")) {
    Usage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const KorCommand& c : kCommands)
    if (!strcmp(argv[1], c.name)) return c.run(argc - 1, argv + 1);
  fprintf(stderr, "kor: unknown command '%s' (try 'kor --help')\n", argv[1]);
  return 2;
}
