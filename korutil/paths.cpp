// Paths and names. POSIX forms: "/" separates, there are no drive letters,
// and full paths are at most KOR_PATH_SIZE bytes.
#include <stdio.h>
#include <string.h>

#include "korutil/korutil.h"
#include "platform/plat.h"

extern "C" char* HasExtension(const char* name) {
  if (!name) return nullptr;
  const char* base = strrchr(name, '/');
  return (char*)strrchr(base ? base + 1 : name, '.');
}

// Full path of name into out (KOR_PATH_SIZE bytes); false when it will not fit.
static bool FullPath(const char* name, char* out) {
  return name && *name && PlatFullPath(name, out, KOR_PATH_SIZE);
}

extern "C" char* ExpandFileName(char* name) {
  char full[KOR_PATH_SIZE];
  if (!FullPath(name, full)) return nullptr;
  strcpy(name, full);
  return name;
}

extern "C" char* AddBackslash(char* path) {
  // "/" is the separator here; there is no drive form like "C:".
  if (!Trim(path)) return path;
  size_t n = strlen(path);
  if (n > 0 && path[n - 1] != '/') {
    path[n] = '/';
    path[n + 1] = 0;
  }
  return path;
}

extern "C" int32_t IsDirectory(char* path, int32_t stay) {
  if (!path || !*path) return 0;
  char full[KOR_PATH_SIZE];
  if (FullPath(path, full)) {
    size_t n = strlen(full);
    if (n > 1 && full[n - 1] == '/') full[n - 1] = 0;  // the root keeps its "/"
    strcpy(path, full);
  }
  // Only a caller that wants to stay changes the process's directory; the
  // others get a stat test, which leaves other threads' relative paths alone.
  if (stay) return PlatChangeDir(path);
  return PlatIsDirectory(path);
}

extern "C" char* GetFilePieces(char* path, int32_t drive, int32_t dir, int32_t name, int32_t ext) {
  if (!path) return nullptr;
  char full[KOR_PATH_SIZE];
  if (!FullPath(path, full)) {
    if (strlen(path) >= sizeof full) return nullptr;
    strcpy(full, path);
  }
  size_t len = strlen(full);
  // A directory is all directory piece (with its "/"), no name or extension.
  size_t dir_len = len, name_len = 0;
  const char* ext_at = full + len;
  if (!PlatIsDirectory(full)) {
    const char* slash = strrchr(full, '/');
    dir_len = slash ? (size_t)(slash + 1 - full) : 0;
    const char* dot = HasExtension(full);
    if (dot) ext_at = dot;
    name_len = (size_t)(ext_at - (full + dir_len));
  }
  bool add_slash = dir_len > 0 && full[dir_len - 1] != '/';
  char out[KOR_PATH_SIZE + 1];
  size_t o = 0;
  (void)drive;  // no drive letters: the drive piece is empty
  if (dir) {
    memcpy(out, full, dir_len);
    o = dir_len;
    if (add_slash) out[o++] = '/';
  }
  if (name) {
    memcpy(out + o, full + dir_len, name_len);
    o += name_len;
  }
  if (ext) {
    size_t n = strlen(ext_at);
    memcpy(out + o, ext_at, n);
    o += n;
  }
  if (o >= KOR_PATH_SIZE) return nullptr;
  out[o] = 0;
  strcpy(path, out);
  return path;
}

extern "C" char GetDrive(const char* path) {
  // One root and no drive letters: every path is on "/".
  return path && *path ? '/' : 0;
}

extern "C" char* GetTempName(char* dst, const char* dir, const char* prefix, uint32_t value) {
  if (!dst) return nullptr;
  // Character i is 'A' + hex digit i of value (digits past its 32 bits are
  // 0), the prefix over the front, "." at 8: an 8.3 name of 12 characters.
  char name[13];
  for (int i = 0; i < 12; i++) name[i] = (char)('A' + (((uint64_t)value >> (4 * i)) & 15));
  if (prefix) {
    size_t n = strnlen(prefix, 8);
    memcpy(name, prefix, n);
  }
  name[8] = '.';
  name[12] = 0;
  if (!dir) dir = "";
  size_t dlen = strlen(dir);
  bool slash = dlen > 0 && dir[dlen - 1] != '/';
  if (dlen + (slash ? 1 : 0) + 12 >= KOR_NAME_SIZE) {
    *dst = 0;
    return nullptr;
  }
  snprintf(dst, KOR_NAME_SIZE, "%s%s%s", dir, slash ? "/" : "", name);
  return dst;
}

extern "C" int32_t CheckForDup(const char* in_name, const char* out_name) {
  if (!in_name || !out_name) return 1;
  char a[KOR_PATH_SIZE], b[KOR_PATH_SIZE];
  if (!FullPath(in_name, a)) snprintf(a, sizeof a, "%s", in_name);
  if (!FullPath(out_name, b)) snprintf(b, sizeof b, "%s", out_name);
  // Names here are case-sensitive; two names of one file (links) are the
  // same file too.
  if (strcmp(a, b) == 0 || PlatSameFile(a, b)) {
    StatusMessage("Output filename must be different than the input filename.", 1);
    return 0;
  }
  return 1;
}

extern "C" int32_t overwrite(const char* name, int32_t use_dialog) {
  if (!name || !PlatFileExists(name)) return 1;
  char q[KOR_PATH_SIZE + 32];
  snprintf(q, sizeof q, "File %.*s exists, overwrite?", KOR_PATH_SIZE - 1, name);
  if (use_dialog) return KORDialogAsk(q, 0) == 1;
  return StatusAsk(q, 1);
}
