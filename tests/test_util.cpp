#include "test_util.h"

#include <stdio.h>
#include <string.h>
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

static uint32_t Le32(const std::vector<unsigned char>& d, size_t at) {
  return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | (uint32_t)d[at + 3] << 24;
}

bool TestReadWav(const std::vector<unsigned char>& d, TestWav* wav) {
  if (d.size() < 12 || memcmp(d.data(), "RIFF", 4) || memcmp(d.data() + 8, "WAVE", 4)) return false;
  bool fmt = false;
  for (size_t at = 12; at + 8 <= d.size();) {
    uint32_t size = Le32(d, at + 4);
    if (size > d.size() - at - 8) return false;
    if (!memcmp(d.data() + at, "fmt ", 4) && size >= 16) {
      fmt = (d[at + 8] | d[at + 9] << 8) == 1;
      wav->channels = d[at + 10] | d[at + 11] << 8;
      wav->rate = Le32(d, at + 12);
      wav->bits = d[at + 22] | d[at + 23] << 8;
    } else if (!memcmp(d.data() + at, "data", 4)) {
      wav->data.assign(d.begin() + at + 8, d.begin() + at + 8 + size);
      return fmt;
    }
    at += 8 + size + (size & 1);
  }
  return false;
}
