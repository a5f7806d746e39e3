// win.ini settings in a plain ini file.
#include "platform/plat.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include <string>
#include <vector>

void PlatProfilePath(char* out, size_t size) {
  const char* ini = getenv("KOR_INI");
  if (ini && *ini) {
    snprintf(out, size, "%s", ini);
    return;
  }
  const char* xdg = getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) {
    snprintf(out, size, "%s/kor/win.ini", xdg);
    return;
  }
  const char* home = getenv("HOME");
  snprintf(out, size, "%s/.config/kor/win.ini", home && *home ? home : ".");
}

static std::vector<std::string> ReadLines() {
  std::vector<std::string> lines;
  char path[4096];
  PlatProfilePath(path, sizeof path);
  FILE* f = fopen(path, "r");
  if (!f) return lines;
  std::string cur;
  int c;
  while ((c = fgetc(f)) != EOF) {
    if (c == '\n') {
      lines.push_back(cur);
      cur.clear();
    } else if (c != '\r') {
      cur.push_back((char)c);
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  fclose(f);
  return lines;
}

static std::string Strip(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && (unsigned char)s[a] <= ' ') a++;
  while (b > a && (unsigned char)s[b - 1] <= ' ') b--;
  return s.substr(a, b - a);
}

// Section name of a "[name]" line, or false.
static bool SectionOf(const std::string& line, std::string* name) {
  std::string t = Strip(line);
  if (t.size() < 2 || t[0] != '[') return false;
  size_t e = t.find(']');
  if (e == std::string::npos) return false;
  *name = Strip(t.substr(1, e - 1));
  return true;
}

// Key and value of a "key=value" line, or false.
static bool KeyOf(const std::string& line, std::string* key, std::string* value) {
  std::string t = Strip(line);
  if (t.empty() || t[0] == ';' || t[0] == '#') return false;
  size_t e = t.find('=');
  if (e == std::string::npos) return false;
  *key = Strip(t.substr(0, e));
  *value = Strip(t.substr(e + 1));
  return true;
}

static bool Lookup(const char* section, const char* key, std::string* value) {
  if (!section || !key) return false;
  bool in = false;
  for (const std::string& line : ReadLines()) {
    std::string name, k, v;
    if (SectionOf(line, &name)) {
      in = strcasecmp(name.c_str(), section) == 0;
    } else if (in && KeyOf(line, &k, &v) && strcasecmp(k.c_str(), key) == 0) {
      // A value in matching quotes loses them, as on Windows.
      if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
      *value = v;
      return true;
    }
  }
  return false;
}

uint32_t PlatProfileString(const char* section, const char* key, const char* def, char* out,
                           uint32_t size) {
  if (!out || size == 0) return 0;
  std::string v;
  if (!Lookup(section, key, &v)) v = def ? def : "";
  size_t n = v.size() < size - 1 ? v.size() : size - 1;
  memcpy(out, v.data(), n);
  out[n] = 0;
  return (uint32_t)n;
}

int PlatProfileInt(const char* section, const char* key, int def) {
  std::string v;
  if (!Lookup(section, key, &v)) return def;
  return (int)strtol(v.c_str(), nullptr, 10);
}

int PlatProfileWrite(const char* section, const char* key, const char* value) {
  if (!section || !key || !value) return 0;
  std::vector<std::string> lines = ReadLines();
  std::vector<std::string> out;
  bool in = false, done = false;
  int sectionEnd = -1;
  for (const std::string& line : lines) {
    std::string name, k, v;
    if (SectionOf(line, &name)) {
      if (in && !done) sectionEnd = (int)out.size();
      in = strcasecmp(name.c_str(), section) == 0;
    } else if (in && !done && KeyOf(line, &k, &v) && strcasecmp(k.c_str(), key) == 0) {
      out.push_back(std::string(key) + "=" + value);
      done = true;
      continue;
    }
    out.push_back(line);
  }
  if (!done) {
    std::string entry = std::string(key) + "=" + value;
    if (in) sectionEnd = (int)out.size();
    if (sectionEnd >= 0) {
      out.insert(out.begin() + sectionEnd, entry);
    } else {
      out.push_back(std::string("[") + section + "]");
      out.push_back(entry);
    }
  }
  char path[4096];
  PlatProfilePath(path, sizeof path);
  // Make the folder for the default location.
  std::string dir = path;
  size_t slash = dir.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    std::string d = dir.substr(0, slash);
    for (size_t i = 1; i <= d.size(); i++)
      if (i == d.size() || d[i] == '/') mkdir(d.substr(0, i).c_str(), 0777);
  }
  FILE* f = fopen(path, "w");
  if (!f) return 0;
  for (const std::string& line : out) fprintf(f, "%s\n", line.c_str());
  return fclose(f) == 0;
}
