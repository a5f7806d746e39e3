// libvornmake.so exports exactly its interface, and its allocator honours an
// installed pair of functions.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <set>
#include <string>

#include "vornmake/vornmake.h"

namespace {

TEST(Exports, TheSharedLibraryExportsExactlyItsInterface) {
  const std::string lib = std::string(KOR_BIN_DIR) + "/../lib/libvornmake.so";
  FILE* p = popen(("nm -D --defined-only '" + lib + "' 2>/dev/null").c_str(), "r");
  ASSERT_TRUE(p);
  std::set<std::string> names;
  char line[512];
  while (fgets(line, sizeof line, p)) {
    char addr[64], type[8], name[400];
    if (sscanf(line, "%63s %7s %399s", addr, type, name) == 3) names.insert(name);
  }
  pclose(p);
  const std::set<std::string> want = {"KORSetMemory",       "kormalloc", "korfree",          "KORTimerRead",
                                      "VornMakeSetMaxCPUs", "VornMake",  "VornMakePutVideo", "VornMakeFlush", "VornMix",
                                      "VornMakeClose"};
  EXPECT_EQ(names, want);
}

int g_allocs, g_frees;
void* Alloc(uint32_t bytes) {
  g_allocs++;
  return malloc(bytes);
}
void Free(void* block) {
  g_frees++;
  free(block);
}
void* Refuse(uint32_t) { return (void*)-1; }

TEST(Exports, AllocatorUsesTheInstalledFunctionsAndAligns) {
  KORSetMemory(Alloc, Free);
  void* a = kormalloc(100);
  KORSetMemory(nullptr, nullptr);
  void* b = kormalloc(100);
  ASSERT_TRUE(a && b);
  EXPECT_EQ((uintptr_t)a % 32, 0u);
  EXPECT_EQ((uintptr_t)b % 32, 0u);
  memset(a, 1, 100);
  korfree(a);  // goes to the function installed when it was allocated
  korfree(b);
  EXPECT_EQ(g_allocs, 1);
  EXPECT_EQ(g_frees, 1);
  EXPECT_EQ(kormalloc(0), nullptr);
  EXPECT_EQ(kormalloc(-1), nullptr);
  KORSetMemory(Refuse, Free);
  EXPECT_EQ(kormalloc(10), nullptr);  // no fallback after a refusal
  KORSetMemory(nullptr, nullptr);
  korfree(nullptr);
}

}  // namespace
