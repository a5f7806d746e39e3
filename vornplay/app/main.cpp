// vornplay: the Vorn player program.
#include <string.h>

#include <string>

#include "vornplay/player.h"

int main(int argc, char** argv) {
  // One command line as the player parses it; arguments with white space
  // are quoted so they stay one name.
  std::string line;
  for (int i = 1; i < argc; i++) {
    if (!line.empty()) line += ' ';
    bool quote = strpbrk(argv[i], " \t") != nullptr && argv[i][0] != '"';
    if (quote) line += '"';
    line += argv[i];
    if (quote) line += '"';
  }
  return VornPlayRun(nullptr, line.c_str());
}
