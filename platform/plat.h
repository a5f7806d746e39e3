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

// ---------------------------------------------------------------- windows
// One window with a client area, moved and sized by its client area. Two
// back ends share the SDL window code and differ in their event source and
// sound device: "sdl" (a display) and "dummy" (headless: SDL's dummy video
// driver, events replayed from a script, a sound device paced by a thread
// of its own). PlatVideoInit picks "dummy" when PlatHasDisplay() is 0.
typedef struct PlatWindow PlatWindow;
typedef struct PlatRect {
  int32_t x, y, w, h;
} PlatRect;

// Window creation flags.
enum {
  PLAT_WIN_NOCAPTION = 0x01,  // borderless
  PLAT_WIN_TOPMOST = 0x02,    // stays above all others
  PLAT_WIN_NOCURSOR = 0x04,   // the cursor is hidden over the window
};

enum {
  PLAT_EVENT_NONE,
  PLAT_EVENT_CLOSE,    // the user closed the window
  PLAT_EVENT_CHAR,     // code: character (13 Enter, 27 Esc, 32 Space, ...)
  PLAT_EVENT_FOCUS,    // keyboard focus gained
  PLAT_EVENT_UNFOCUS,  // keyboard focus lost
  PLAT_EVENT_PAINT,    // the client area must be redrawn
  PLAT_EVENT_MOVED,    // x, y: new client position on the screen
  PLAT_EVENT_CLICK,    // left button released at client x, y
};
typedef struct PlatEvent {
  int32_t type, code, x, y;
} PlatEvent;

// Starts the video back end; 1 on success. Nested calls are counted.
int PlatVideoInit(void);
void PlatVideoQuit(void);
// "sdl" or "dummy" (after PlatVideoInit).
const char* PlatBackEndName(void);
// Size and bits per pixel (32 for 4-byte pixels) of the current screen mode.
void PlatScreenSize(int32_t* width, int32_t* height, int32_t* bits);

PlatWindow* PlatWindowCreate(const char* title, unsigned flags);
void PlatWindowDestroy(PlatWindow* w);
// Places the client area; a size of 0 keeps the current one.
void PlatWindowPlace(PlatWindow* w, int32_t x, int32_t y, int32_t width, int32_t height);
void PlatWindowGetPlace(PlatWindow* w, int32_t* x, int32_t* y, int32_t* width, int32_t* height);
// Frame thickness around the client area.
void PlatWindowFrame(PlatWindow* w, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom);
void PlatWindowShow(PlatWindow* w, int show);
// Covers the whole screen (1) or is a normal window again (0).
void PlatWindowFullscreen(PlatWindow* w, int on);
// Switches the screen to a mode of that size and depth for this window (full
// screen); depth 0 takes any depth. 1 on success. PlatWindowRestoreMode goes
// back to the desktop mode.
int PlatWindowSetMode(PlatWindow* w, int32_t width, int32_t height, int32_t bits);
void PlatWindowRestoreMode(PlatWindow* w);
// Next event of the window; 0 when none is waiting.
int PlatWindowPoll(PlatWindow* w, PlatEvent* e);
// Fills a client rectangle with a 0xRRGGBB colour / copies 0x00RRGGBB pixels
// to it, and shows the result.
void PlatWindowFill(PlatWindow* w, const PlatRect* r, uint32_t rgb);
void PlatWindowDraw(PlatWindow* w, int32_t x, int32_t y, int32_t width, int32_t height,
                    const uint32_t* pixels, int32_t pitch);
// Reads back client pixels as 0x00RRGGBB (what the screen shows); 1 on
// success. For tests and screenshots.
int PlatWindowRead(PlatWindow* w, const PlatRect* r, uint32_t* out);
// Headless event script: lines "MS EVENT [ARGS]", MS milliseconds after the
// window's creation; EVENT is one of char N, key space|enter|esc|dot|C,
// focus, unfocus, paint, click X Y, move X Y, close. $KOR_PLAT_SCRIPT names
// a script file; PlatScriptSet (text or null) replaces it for later windows.
void PlatScriptSet(const char* text);

// ---------------------------------------------------------------- surfaces
// Pixel memory the caller writes and the window shows.
typedef struct PlatSurface PlatSurface;
enum {
  PLAT_SURFACE_WINDOW = 1,  // the window's own pixels, written in place
  PLAT_SURFACE_MEMORY = 2,  // memory in the window's format, scaled onto it
  PLAT_SURFACE_TEXTURE = 3, // texture of the best renderer there is
  PLAT_SURFACE_ACCEL = 4,   // texture of an accelerated renderer
  PLAT_SURFACE_SOFT = 5,    // texture of the software renderer
};
#define PLAT_FOURCC(a, b, c, d) \
  ((uint32_t)(a) | (uint32_t)(b) << 8 | (uint32_t)(c) << 16 | (uint32_t)(d) << 24)
typedef struct PlatPixelFormat {
  uint32_t fourcc;  // 0 for RGB
  uint32_t bits;    // bits per pixel (RGB)
  uint32_t red, green, blue, alpha;  // masks (RGB)
} PlatPixelFormat;

// A surface of width x height pixels; fourcc 0 is RGB in the window's or
// renderer's format, else "YV12", "YUY2" or "UYVY" (texture kinds). Null on
// failure. PLAT_SURFACE_WINDOW ignores the size: it is the client area.
PlatSurface* PlatSurfaceCreate(PlatWindow* w, int kind, uint32_t fourcc, int32_t width,
                               int32_t height);
void PlatSurfaceDestroy(PlatSurface* s);
void PlatSurfaceFormat(PlatSurface* s, PlatPixelFormat* f);
// Pixel size of the memory (YUV surfaces round the picture size up to even).
void PlatSurfaceSize(PlatSurface* s, int32_t* width, int32_t* height);
// Pixels keep their content between locks. YV12: the Y plane (pitch x
// height), then V and U (pitch / 2 x height / 2 each).
int PlatSurfaceLock(PlatSurface* s, uint8_t** pixels, int32_t* pitch);
void PlatSurfaceUnlock(PlatSurface* s);
// Shows n source rectangles scaled into the client rectangles dst.
void PlatSurfaceShow(PlatSurface* s, const PlatRect* src, const PlatRect* dst, int n);

// ---------------------------------------------------------------- sound
// A sound device pulling PCM (8-bit unsigned or 16-bit signed, interleaved)
// from a callback on a thread of its own, in blocks of `samples` frames.
typedef struct PlatSound PlatSound;
typedef void (*PlatSoundProc)(void* user, uint8_t* out, uint32_t bytes);
PlatSound* PlatSoundOpen(uint32_t rate, uint32_t bits, uint32_t channels, uint32_t samples,
                         PlatSoundProc proc, void* user);
void PlatSoundPlay(PlatSound* s, int on);  // starts (1) or pauses (0) the callbacks
// Holds the callback off while the caller changes shared state.
void PlatSoundLock(PlatSound* s);
void PlatSoundUnlock(PlatSound* s);
void PlatSoundClose(PlatSound* s);
// Tests see every block the device played. Returns the previous tap.
typedef void (*PlatSoundTap)(const uint8_t* data, uint32_t bytes, uint32_t rate, uint32_t bits,
                             uint32_t channels);
PlatSoundTap PlatSoundSetTap(PlatSoundTap tap);
