// korutil: the media utility library. Every function declared here is
// exported from libkorutil.so with C linkage (see exports.map).
//
// Strings are NUL-terminated and changed in place in the caller's buffers.
// Paths use "/" as the separator; there are no drive letters.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// A window handle across the library boundary. Here it is a file
// descriptor that the receiving program reads (see CopyData).
typedef intptr_t KORWindow;

// Size of the fixed name fields (127 characters and the NUL).
#define KOR_NAME_SIZE 128
// Longest full path the path routines write (255 characters and the NUL).
#define KOR_PATH_SIZE 256

// ---------------------------------------------------------------- memory
// 32-byte aligned blocks; null for 0 or -1 bytes and on failure (a negative
// count is a failure). Failure shows "Error: ran out of memory!".
void* kormalloc(int32_t bytes);
void korfree(void* block);

// ---------------------------------------------------------------- switches
// A switch is "/" and a letter (any case; pass it in upper case) directly
// followed by its value, and is removed from the line when parsed. The "/"
// must begin a word (start of the line or after a blank), so that the "/"
// inside a path is never taken for a switch.
int32_t GetSwitch(char* line, int32_t letter);
int32_t GetSwitchNum(char* line, int32_t letter, int32_t def);
void GetSwitchFractional(char* line, int32_t letter, int32_t* num, int32_t* den, int32_t def_num,
                         int32_t def_den);
// The value runs to the closing quote when quoted, else to the next blank.
// dst must hold KOR_NAME_SIZE bytes: a longer value is left in the line
// (where it fails as a name) and the default is copied, cut to fit.
int32_t GetSwitchStr(char* line, int32_t letter, char* dst, const char* def);
// "/-X" drops every earlier X switch; a "/-" at the end cuts the line.
void RemoveMinusSwitches(char* line);

// ---------------------------------------------------------------- strings
// A blank is any byte whose signed value is at most 32 (not the NUL).
// The token routines move the first word of src to dst (which must hold as
// many bytes as src); src keeps the rest, one "," after the word dropped.
void GetAndRemoveFirst(char* dst, char* src);
void GetAndRemoveFirstQuoted(char* dst, char* src);
char* RemoveQuotes(char* text);
char* Trim(char* text);
char* TrimAscii(char* text);
char* TrimL(char* text);
char* findchar(const char* text, int32_t ch);
// Writes the decimal form and returns the position of its NUL.
char* u32toa(char* buf, uint32_t value);
uint32_t atou32(const char* text);

// ---------------------------------------------------------------- rates
// Reads "[-]a[.b][;[-]c[.d]]" into a reduced fraction; returns the position
// after the number.
char* atofr(const char* text, int32_t* num, int32_t* den);
void GCDNums(int32_t* num, int32_t* den);
// Rate value to a frame period in 10-us units: positive is frames per
// second, -1500..-1 milliseconds, below -1500 10-us units; at least 5.
int32_t MakeFrameRate(int32_t rate);

// ---------------------------------------------------------------- format and time
// Both write into buf and return it: CommaNum needs 14 bytes,
// GetElapsedTime 40.
char* CommaNum(char* buf, uint32_t value);
char* GetElapsedTime(char* buf, uint32_t ms);
// Milliseconds since the first call (monotonic clock).
uint32_t KORTimerRead(void);
// Writes one record to the descriptor `window`: code and size as
// little-endian 32-bit words, then the bytes. 1 on success, 0 on failure.
int32_t CopyData(KORWindow window, KORWindow sender, uint32_t code, int32_t size, const void* data);

// ---------------------------------------------------------------- paths
char* HasExtension(const char* name);
// Full path in place; name must hold KOR_PATH_SIZE bytes. Null (name kept)
// when it cannot be expanded or would not fit.
char* ExpandFileName(char* name);
char* AddBackslash(char* path);
// Rewrites path (KOR_PATH_SIZE bytes) as its full path without a trailing
// "/" and tests for a directory; with stay it also changes into it.
int32_t IsDirectory(char* path, int32_t stay);
// Rebuilds path (KOR_PATH_SIZE bytes) from the chosen pieces of its full
// path. The drive piece is always empty.
char* GetFilePieces(char* path, int32_t drive, int32_t dir, int32_t name, int32_t ext);
// '/' for any path (one root, no drive letters); 0 for an empty one.
char GetDrive(const char* path);
// dir + "/" + a 12-character 8.3-style name; dst must hold KOR_NAME_SIZE
// bytes. Null (dst empty) when the result would not fit.
char* GetTempName(char* dst, const char* dir, const char* prefix, uint32_t value);
int32_t CheckForDup(const char* in_name, const char* out_name);
int32_t overwrite(const char* name, int32_t use_dialog);

// ---------------------------------------------------------------- status (terminal form)
// Messages go to standard error; questions are asked on the terminal, where
// only an explicit yes counts (no terminal: No).
void StatusMessage(const char* text, int32_t error);
int32_t StatusAsk(const char* question, int32_t default_no);
int32_t KORDialogAsk(const char* text, int32_t type);

// ---------------------------------------------------------------- buffered bit files
// One buffer that serves reading or writing, and one little-endian bit
// stream, least significant bit first.
typedef struct KORFile {
  int32_t handle;          // OS file; -1 once closed
  int32_t write_failed;    // set when a write moved fewer bytes than asked
  char name[KOR_NAME_SIZE];
  uint8_t* buffer;         // allocated at the first transfer; null when unbuffered
  uint32_t buffer_size;    // 0: unbuffered
  uint32_t limit;          // read: bytes of the last fill; write: room in the buffer
  uint32_t index;          // read: next byte to hand out; write: bytes waiting
  uint32_t file_pos;       // file offset just behind the buffer's contents
  uint32_t known_size;     // last measured size; KOR_SIZE_UNKNOWN before
  uint32_t bit_count;      // read: bits used of the partial byte; write: bits waiting
  uint32_t bit_buffer;     // read: the partial byte; write: the waiting bits
  int32_t writing;         // 1 while the buffer holds data to write
} KORFile;

#define KOR_SIZE_UNKNOWN 0xFFFFFFFFu
enum { KORFILE_READ = 250, KORFILE_READWRITE = 251 };

uint32_t korfilesize(const char* name);
void LogString(const char* log_name, const char* text);

// Buffer sizes count by magnitude; names over 127 characters are refused.
KORFile* KORFileOpen(int32_t buffer_size, const char* name, int32_t mode);
KORFile* KORFileCreate(int32_t buffer_size, const char* name);
KORFile* KORFileCreateWithRead(int32_t buffer_size, const char* name);
void KORFileClose(KORFile* f);

// Counts are signed: a negative one moves nothing.
int32_t KORFileGetNB(KORFile* f, void* dst, int32_t count);
int32_t KORFileGet(KORFile* f, void* dst, int32_t count);
uint32_t KORFileGet8(KORFile* f);
uint32_t KORFileGet16(KORFile* f);
uint32_t KORFileGet32(KORFile* f);
char* KORFileGetLine(KORFile* f, char* buf, int32_t size);

int32_t KORFilePutNB(KORFile* f, const void* src, int32_t count);
int32_t KORFilePut(KORFile* f, const void* src, int32_t count);
uint32_t KORFilePut8(KORFile* f, uint32_t value);
uint32_t KORFilePut16(KORFile* f, uint32_t value);
uint32_t KORFilePut32(KORFile* f, uint32_t value);

uint32_t KORFileGetBits(KORFile* f, int32_t n);
uint32_t KORFilePutBits(KORFile* f, uint32_t value, int32_t n);
uint32_t KORFileBitPos(KORFile* f);
void KORFileByteAlign(KORFile* f);
void KORFileAlign(KORFile* f, int32_t alignment);

uint32_t KORFileGetPos(KORFile* f);
uint32_t KORFileSetPos(KORFile* f, uint32_t offset);
int32_t KORFileIsInBuffer(KORFile* f, uint32_t offset);
uint32_t KORFileSize(KORFile* f);
uint8_t KORFileAtEnd(KORFile* f);
void KORFileFlush(KORFile* f, int32_t force);

const char* KORFileGetName(KORFile* f, char* dst);
uint32_t KORFileGetTime(KORFile* f);
void KORFileSetTime(KORFile* f, uint32_t high);
// 0 done, 1 not found, 2 other failure.
int32_t KORFileErase(const char* name);
int32_t KORFileRename(const char* new_name, const char* existing_name);

// ---------------------------------------------------------------- sound input
// Progress and messages of the readers: level 0 progress, 1 a new activity
// or information, 2 an error. For per-frame progress a non-zero result
// cancels.
typedef int32_t (*KORCallback)(const char* text, int32_t level);

// Source kinds (SFile.kind).
enum {
  SFILE_WAVE = 1,    // RIFF WAVE PCM, or raw PCM when raw flags are given
  SFILE_WENDER = 2,  // a Wender sound track
  SFILE_AVI = 3,     // an AVI sound stream
  SFILE_LIST = 4,    // a list file or a numbered pattern
  SFILE_QT = 5,      // a QuickTime sound track
  SFILE_VORN = 6,    // a Vorn sound track
};

// PCM from a sound source, converted to the caller's rate, sample size and
// channels, and cut to a range. From SFileOpen, freed by SFileClose.
typedef struct SFile {
  char name[KOR_NAME_SIZE];
  char type[16];          // "Wave", "List", ...; empty for Vorn and raw sources
  int32_t finished;       // no more sound
  uint32_t outRate, outBits, outChannels, outBlock;
  uint32_t outSamples;    // output sample frames delivered
  uint32_t inRate, inBits, inChannels, inBlock;
  uint32_t inSamples;     // input sample frames consumed
  uint8_t* buffer;        // input bytes
  uint32_t bufferRead, bufferFill, bufferSize;
  int32_t kind;           // SFILE_*
  // Rate conversion: the pre-read next input sample, and the current value
  // and its step per output sample in 1/1024 units (left, right).
  int32_t next[2], current[2], step[2];
  int32_t primed;         // 1 once the first sample has been pre-read
  KORCallback callback;
  uint32_t left;          // input bytes of the range still to read
  uint32_t total;         // input bytes of the range
  uint32_t drop;          // decoded bytes to drop before the range (Vorn)
  uint32_t dropLeft;
  uint32_t calls;         // SFileGet calls since the open or reset
  // WAV and raw sources.
  KORFile* file;
  uint32_t dataOffset;    // start of the range in the file
  // Vorn sources: the open file, the track's decoder and the frame to read
  // next (1-based); decoded bytes waiting in `decoded`.
  void* vorn;
  void* audio;
  uint32_t track;
  uint32_t frame;
  uint8_t* decoded;
  uint32_t decodedSize, decodedRead, decodedFill;
  uint32_t framePeriod10us;  // video frame period in 10-us units; 0 without pictures
} SFile;

// Opens a sound source. rate 0 keeps the input's; bits 8 or 16, channels 1
// or 2, else the input's. start and end: milliseconds when positive, video
// frame numbers (1-based) when negative for sources with pictures (WAV and
// raw sources take the magnitude as milliseconds), 0 for the beginning and
// the end. track: for Vorn files 0 is the first track with sound, n the
// n-th track. rawFlags (0: not raw): sample rate << 3, bit 1 16-bit, bit 0
// stereo; rawOffset where the raw data starts. Null on failure (reported to
// the callback at level 2).
SFile* SFileOpen(const char* name, int32_t rate, int32_t bits, int32_t channels, int32_t start,
                 int32_t end, int32_t track, int32_t rawFlags, int32_t rawOffset,
                 KORCallback callback);
// Delivers up to bytes (rounded down to whole output blocks) into dst;
// returns the bytes delivered, fewer only at the end.
int32_t SFileGet(SFile* s, void* dst, int32_t bytes);
void SFileReset(SFile* s);
void SFileClose(SFile* s);  // null is accepted
// Reads the switches R (rate), B (bits), C (channels), S (start), E (end),
// T (track), and Y (raw format 1-5) with D (raw rate, 11025) and K (raw
// offset) from line, removing them. Any pointer may be null.
void SFileCommandLine(char* line, int32_t* rate, int32_t* bits, int32_t* channels, int32_t* start,
                      int32_t* end, int32_t* track, int32_t* rawFlags, int32_t* rawOffset);

// ---------------------------------------------------------------- Vorn decoding
// The decoder's video frame decoding and 32-bit frame conversion, as
// declared in vorn/expand.h and vorn/convert.h.
const uint8_t* ExpandVorn(uint8_t* newPicture, const uint8_t* refPicture, uint8_t* newAlpha,
                          const uint8_t* refAlpha, uint8_t* blockMap, uint32_t width,
                          uint32_t height, uint32_t pitch, uint32_t rows, const uint8_t* data,
                          uint32_t keyFrame, uint8_t* const* bundles, uint32_t handleFlags,
                          uint32_t videoFlags, uint32_t dataSize);
uint32_t ExpandBundleSizes(uint32_t* sizes, uint32_t pitch);
void YUV_init(int32_t format);
int32_t YUV_blit_32bpp(void* dest, int32_t x, int32_t y, int32_t pitch, const void* planes,
                       int32_t sx, int32_t sy, int32_t width, int32_t height, int32_t planePitch,
                       int32_t planeRows, uint32_t flags);
int32_t YUV_blit_32abpp(void* dest, int32_t x, int32_t y, int32_t pitch, const void* planes,
                        int32_t sx, int32_t sy, int32_t width, int32_t height, int32_t planePitch,
                        int32_t planeRows, const void* alpha, uint32_t flags);

#ifdef __cplusplus
}
#endif
