// Files on POSIX descriptors.
#include "platform/plat.h"

#include <errno.h>
#include <signal.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

PlatFile PlatFileOpen(const char* name, unsigned mode) {
  if (!name || !*name) return PLAT_FILE_INVALID;
  int flags = O_CLOEXEC;
  if ((mode & PLAT_FILE_READ) && (mode & PLAT_FILE_WRITE))
    flags |= O_RDWR;
  else if (mode & PLAT_FILE_WRITE)
    flags |= O_WRONLY;
  else
    flags |= O_RDONLY;
  if (mode & PLAT_FILE_CREATE) flags |= O_CREAT | O_TRUNC;
  int fd;
  do fd = open(name, flags, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return PLAT_FILE_INVALID;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    errno = EISDIR;
    return PLAT_FILE_INVALID;
  }
  if (mode & PLAT_FILE_EXCLUSIVE) flock(fd, LOCK_EX | LOCK_NB);
  if (mode & PLAT_FILE_SEQUENTIAL) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return fd;
}

void PlatFileClose(PlatFile f) {
  if (f >= 0) close(f);
}

uint32_t PlatFileRead(PlatFile f, void* dst, uint32_t n) {
  if (f < 0) return 0;
  uint32_t done = 0;
  while (done < n) {
    ssize_t r = read(f, (char*)dst + done, n - done);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += (uint32_t)r;
  }
  return done;
}

uint32_t PlatFileWrite(PlatFile f, const void* src, uint32_t n) {
  if (f < 0) return 0;
  uint32_t done = 0;
  while (done < n) {
    ssize_t r = write(f, (const char*)src + done, n - done);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += (uint32_t)r;
  }
  return done;
}

int64_t PlatFileSeek(PlatFile f, int64_t offset, int whence) {
  if (f < 0) return -1;
  int w = whence == 1 ? SEEK_CUR : whence == 2 ? SEEK_END : SEEK_SET;
  off_t r = lseek(f, (off_t)offset, w);
  return r < 0 ? -1 : (int64_t)r;
}

int64_t PlatFileTell(PlatFile f) { return PlatFileSeek(f, 0, 1); }

int64_t PlatFileSize(PlatFile f) {
  struct stat st;
  if (f < 0 || fstat(f, &st) != 0) return -1;
  return (int64_t)st.st_size;
}

int PlatFileCommit(PlatFile f) { return f >= 0 && fsync(f) == 0; }

// Seconds between 1601-01-01 and 1970-01-01.
static const uint64_t kEpochDelta = 11644473600ull;

uint64_t PlatFileGetTime(PlatFile f) {
  struct stat st;
  if (f < 0 || fstat(f, &st) != 0) return 0;
  return ((uint64_t)st.st_mtim.tv_sec + kEpochDelta) * 10000000ull + (uint64_t)st.st_mtim.tv_nsec / 100;
}

int PlatFileSetTime(PlatFile f, uint64_t filetime) {
  if (f < 0) return 0;
  uint64_t units = filetime >= kEpochDelta * 10000000ull ? filetime - kEpochDelta * 10000000ull : 0;
  struct timespec ts[2];
  ts[0].tv_sec = (time_t)(units / 10000000ull);
  ts[0].tv_nsec = (long)(units % 10000000ull) * 100;
  ts[1] = ts[0];
  // Linux keeps no settable creation time: access and modification are set.
  return futimens(f, ts) == 0;
}

int PlatFileDelete(const char* name) {
  if (!name) return 2;
  if (unlink(name) == 0) return 0;
  return errno == ENOENT || errno == ENOTDIR ? 1 : 2;
}

int PlatFileRename(const char* existing, const char* newname) {
  if (!existing || !newname) return 2;
  struct stat st;
  if (lstat(existing, &st) != 0) return errno == ENOENT || errno == ENOTDIR ? 1 : 2;
  // MoveFile fails when the target exists; keep that.
  if (lstat(newname, &st) == 0) return 2;
  if (rename(existing, newname) == 0) return 0;
  return errno == ENOENT ? 1 : 2;
}

int PlatFileExists(const char* name) {
  struct stat st;
  return name && *name && stat(name, &st) == 0;
}

int PlatIsDirectory(const char* name) {
  struct stat st;
  return name && *name && stat(name, &st) == 0 && S_ISDIR(st.st_mode);
}

int PlatFullPath(const char* name, char* out, size_t size) {
  if (!name || !out || size == 0) return 0;
  char buf[PATH_MAX * 2];
  size_t len = 0;
  if (name[0] != '/') {
    if (!getcwd(buf, PATH_MAX)) return 0;
    len = strlen(buf);
  }
  // Walk the components, resolving "." and ".." textually.
  const char* p = name;
  while (*p) {
    while (*p == '/') p++;
    if (!*p) break;
    const char* e = p;
    while (*e && *e != '/') e++;
    size_t n = (size_t)(e - p);
    if (n == 1 && p[0] == '.') {
    } else if (n == 2 && p[0] == '.' && p[1] == '.') {
      while (len > 0 && buf[len - 1] != '/') len--;
      if (len > 0) len--;
    } else {
      if (len + 1 + n >= sizeof buf) return 0;
      buf[len++] = '/';
      memcpy(buf + len, p, n);
      len += n;
    }
    p = e;
  }
  if (len == 0) buf[len++] = '/';
  // A trailing separator in the input is kept (it names a directory).
  size_t in = strlen(name);
  if (in > 0 && name[in - 1] == '/' && buf[len - 1] != '/') buf[len++] = '/';
  buf[len] = 0;
  if (len + 1 > size) return 0;
  memcpy(out, buf, len + 1);
  return 1;
}

int PlatProgramPath(char* out, size_t size) {
  if (!out || size == 0) return 0;
  ssize_t n = readlink("/proc/self/exe", out, size - 1);
  if (n <= 0) return 0;
  out[n] = 0;
  return 1;
}

void PlatTempDir(char* out, size_t size) {
  const char* t = getenv("TMPDIR");
  if (!t || !*t) t = "/tmp";
  snprintf(out, size, "%s%s", t, t[strlen(t) - 1] == '/' ? "" : "/");
}

int PlatChangeDir(const char* name) { return name && *name && chdir(name) == 0; }

int PlatSameFile(const char* a, const char* b) {
  struct stat sa, sb;
  if (!a || !b || stat(a, &sa) != 0 || stat(b, &sb) != 0) return 0;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

uint32_t PlatFileWriteNoSignal(PlatFile f, const void* src, uint32_t n) {
  // Block SIGPIPE for this thread, write, and take back a SIGPIPE the write
  // raised (one that was already pending stays for its owner).
  sigset_t pipe_set, old, pending;
  sigemptyset(&pipe_set);
  sigaddset(&pipe_set, SIGPIPE);
  sigpending(&pending);
  bool was_pending = sigismember(&pending, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_set, &old);
  uint32_t done = PlatFileWrite(f, src, n);
  if (done < n && !was_pending) {
    struct timespec zero = {0, 0};
    sigtimedwait(&pipe_set, nullptr, &zero);
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return done;
}
