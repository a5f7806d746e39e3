// Commands of the kor front end. Each takes its own argv (argv[0] is the
// command name) and returns the process exit code.
#pragma once

#include <stdio.h>

struct KorCommand {
  const char* name;
  const char* help;
  int (*run)(int argc, char** argv);
};

int KorCmdHelp(int argc, char** argv);
int KorCmdInfo(int argc, char** argv);
int KorCmdConvert(int argc, char** argv);
// kor convert to a .wav file: track `track` (-1: the first with sound).
int KorConvertWav(const char* in, const char* out, int track);
int KorCmdEncode(int argc, char** argv);
int KorCmdConvertAny(int argc, char** argv);
int KorCmdMix(int argc, char** argv);
int KorCmdTune(int argc, char** argv);
int KorCmdDemo(int argc, char** argv);
