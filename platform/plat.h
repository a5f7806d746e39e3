// Platform layer: the operating-system services the kit needs, behind one
// flat interface. POSIX backs files, threads and clocks; SDL2 backs windows,
// surfaces, sound devices and message boxes, with dummy drivers for headless
// runs.
#pragma once

#include <stddef.h>
#include <stdint.h>

// ---------------------------------------------------------------- files
// A file is a POSIX descriptor. Mode bits of PlatFileOpen:
enum {
  PLAT_FILE_READ = 0x01,        // open for reading
  PLAT_FILE_WRITE = 0x02,       // open for writing
  PLAT_FILE_CREATE = 0x04,      // create, truncating an existing file
  PLAT_FILE_SEQUENTIAL = 0x08,  // sequential-scan hint (posix_fadvise)
  PLAT_FILE_SHARE_READ = 0x10,  // others may read meanwhile
  PLAT_FILE_SHARE_WRITE = 0x20, // others may write meanwhile
  PLAT_FILE_EXCLUSIVE = 0x40,   // shared with nobody
};
typedef int PlatFile;
#define PLAT_FILE_INVALID (-1)

// Sharing has no mandatory equivalent on Linux: an exclusive file takes an
// advisory lock (flock) and the sharing bits are otherwise accepted as hints.
PlatFile PlatFileOpen(const char* name, unsigned mode);
void PlatFileClose(PlatFile f);
// Read or write up to n bytes, retrying short transfers; returns the count
// moved (less than n at end of file or on error), never negative.
uint32_t PlatFileRead(PlatFile f, void* dst, uint32_t n);
uint32_t PlatFileWrite(PlatFile f, const void* src, uint32_t n);
// whence: 0 from start, 1 from current, 2 from end. Returns the new
// position, or -1 on failure.
int64_t PlatFileSeek(PlatFile f, int64_t offset, int whence);
int64_t PlatFileTell(PlatFile f);
int64_t PlatFileSize(PlatFile f);
int PlatFileCommit(PlatFile f);  // force to disk; 1 on success
// Windows-style file times: 100 ns units since 1601-01-01.
uint64_t PlatFileGetTime(PlatFile f);
int PlatFileSetTime(PlatFile f, uint64_t filetime);  // all times; 1 on success
// 0 success, 1 not found, 2 any other failure.
int PlatFileDelete(const char* name);
int PlatFileRename(const char* existing, const char* newname);
int PlatFileExists(const char* name);       // 1 for a regular file or directory
int PlatIsDirectory(const char* name);
// Absolute, normalised form of a path ("." and ".." removed); 1 on success.
int PlatFullPath(const char* name, char* out, size_t size);
// Path of the running program (/proc/self/exe); 1 on success.
int PlatProgramPath(char* out, size_t size);
// Directory for temporary files, with a trailing "/".
void PlatTempDir(char* out, size_t size);
// Changes the current directory; 1 on success.
int PlatChangeDir(const char* name);
// 1 when both names exist and are one file (same device and inode).
int PlatSameFile(const char* a, const char* b);
// PlatFileWrite for pipes and sockets that may have lost their reader: the
// write comes back short instead of raising SIGPIPE.
uint32_t PlatFileWriteNoSignal(PlatFile f, const void* src, uint32_t n);

// ---------------------------------------------------------------- threads
typedef struct PlatThread PlatThread;
typedef void (*PlatThreadProc)(void* arg);
PlatThread* PlatThreadCreate(PlatThreadProc proc, void* arg);  // null on failure
void PlatThreadJoin(PlatThread* t);  // waits for the end, frees the record
void PlatSleep(uint32_t ms);
uint32_t PlatCpuCount(void);

// Interlocked counters: return the new value.
static inline int32_t PlatAtomicInc(volatile int32_t* p) { return __atomic_add_fetch(p, 1, __ATOMIC_SEQ_CST); }
static inline int32_t PlatAtomicDec(volatile int32_t* p) { return __atomic_sub_fetch(p, 1, __ATOMIC_SEQ_CST); }
static inline int32_t PlatAtomicAdd(volatile int32_t* p, int32_t v) { return __atomic_add_fetch(p, v, __ATOMIC_SEQ_CST); }
static inline uint8_t PlatAtomicInc8(volatile uint8_t* p) { return __atomic_add_fetch(p, 1, __ATOMIC_SEQ_CST); }
static inline uint8_t PlatAtomicDec8(volatile uint8_t* p) { return __atomic_sub_fetch(p, 1, __ATOMIC_SEQ_CST); }
static inline int32_t PlatAtomicLoad(const volatile int32_t* p) { return __atomic_load_n(p, __ATOMIC_SEQ_CST); }
static inline void PlatAtomicStore(volatile int32_t* p, int32_t v) { __atomic_store_n(p, v, __ATOMIC_SEQ_CST); }

// ---------------------------------------------------------------- clock
// Monotonic milliseconds since the first call of either function.
uint32_t PlatClockMs(void);
uint64_t PlatClockUs(void);
// Tests drive time with a hook returning microseconds (null: the real
// clock). Returns the hook installed before. Only this copy of the layer
// sees it (not the copies inside the shared libraries).
typedef uint64_t (*PlatClockHook)(void);
PlatClockHook PlatClockSetHook(PlatClockHook hook);

// ---------------------------------------------------------------- settings
// win.ini: the file named by $KOR_INI, else $XDG_CONFIG_HOME/kor/win.ini
// (~/.config/kor/win.ini). Section and key names match without regard to
// case. The file is read on every call, so edits show at once.
uint32_t PlatProfileString(const char* section, const char* key, const char* def, char* out,
                           uint32_t size);
int PlatProfileInt(const char* section, const char* key, int def);
// Writes (or replaces) one key; 1 on success.
int PlatProfileWrite(const char* section, const char* key, const char* value);
// The path in use.
void PlatProfilePath(char* out, size_t size);

// ---------------------------------------------------------------- debug log
// Debugger output: written to standard error only when enabled, by
// PlatDebugEnable or by a non-empty $KOR_DEBUG.
void PlatDebugEnable(int on);
int PlatDebugEnabled(void);
void PlatDebugOut(const char* text);

// ---------------------------------------------------------------- message boxes
enum {
  PLAT_MB_OK = 0x00,
  PLAT_MB_YESNO = 0x04,
  PLAT_MB_ICONERROR = 0x10,
  PLAT_MB_ICONQUESTION = 0x20,
  PLAT_MB_ICONWARNING = 0x30,
  PLAT_MB_ICONINFO = 0x40,
};
enum { PLAT_ID_OK = 1, PLAT_ID_YES = 6, PLAT_ID_NO = 7 };

// Shows a box: an SDL message box when a display is available, else the
// caption and text on standard error (a yes/no question is then asked on the
// terminal; with no terminal the answer is No). Returns PLAT_ID_*.
int PlatMessageBox(const char* caption, const char* text, unsigned flags);
// Tests capture boxes with a hook; it returns the button pressed. Returns the
// hook that was installed before. Hooks are process-wide: they also reach
// the copies of this layer inside the shared libraries.
typedef int (*PlatMessageBoxHook)(const char* caption, const char* text, unsigned flags);
PlatMessageBoxHook PlatMessageBoxSetHook(PlatMessageBoxHook hook);
// Yes/no on the terminal: the question on standard error, the answer from
// /dev/tty; 1 for yes, 0 for no or when there is no terminal.
int PlatAskTerminal(const char* question);
// Tests answer terminal questions with a hook (1 yes, 0 no). Returns the hook
// that was installed before.
typedef int (*PlatAskHook)(const char* question);
PlatAskHook PlatAskTerminalSetHook(PlatAskHook hook);
// 1 when a real display can be used (not headless, not the dummy driver).
int PlatHasDisplay(void);

// ---------------------------------------------------------------- shell
// Opens a URL with the desktop's opener; 1 when the opener was started.
int PlatOpenUrl(const char* url);
