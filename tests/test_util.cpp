#include "test_util.h"

#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

static std::vector<std::string> g_dirs;
static std::mutex g_mutex;

static void RemoveDirs() {
  for (const std::string& d : g_dirs) {
    std::string cmd = "rm -rf '" + d + "'";
    if (system(cmd.c_str()) != 0) {
    }
  }
}

std::string TestTempDir() {
  const char* t = getenv("TMPDIR");
  std::string tmpl = std::string(t && *t ? t : "/tmp") + "/kortest.XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back(0);
  if (!mkdtemp(buf.data())) abort();
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_dirs.empty()) atexit(RemoveDirs);
  g_dirs.push_back(buf.data());
  return buf.data();
}

std::vector<unsigned char> TestReadFile(const std::string& path) {
  std::vector<unsigned char> out;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return out;
  unsigned char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  fclose(f);
  return out;
}

bool TestWriteFile(const std::string& path, const void* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data, 1, size, f) == size;
  return fclose(f) == 0 && ok;
}

std::string TestVectorsDir() {
  const char* e = getenv("KOR_VECTORS");
  std::string d = e && *e ? e : KOR_VECTORS_DIR;
  struct stat st;
  if (stat(d.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "";
  return d;
}
