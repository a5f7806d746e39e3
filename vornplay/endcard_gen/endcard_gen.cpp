// Writes the end card as a C++ source with its bytes.
#include <stdio.h>
#include <stdint.h>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::vector<uint8_t> file;
  FILE* f = fopen(argv[1], "w");
  if (!f) return 1;
  fprintf(f, "// Made by endcard_gen.\n#include \"vornplay/endcard.h\"\n\nconst uint8_t kVornEndCard[] = {\n");
  for (size_t i = 0; i < file.size(); i++) fprintf(f, "%s0x%02x,%s", i % 16 ? "" : "  ", file[i], i % 16 == 15 ? "\n" : " ");
  fprintf(f, "0};\nconst size_t kVornEndCardBytes = %zu;\n", file.size());
  return fclose(f) == 0 ? 0 : 1;
}
