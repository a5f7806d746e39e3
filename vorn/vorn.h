// Vorn format and decoder: the interface the players, korutil and vornmake
// build against.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/plat.h"
#include "vorn/expand.h"

#ifdef __cplusplus
extern "C" {
#endif

// ---------------------------------------------------------------- file layout
// The 44-byte header at the start of the Vorn data (little-endian).
typedef struct VornHeader {
  char magic[4];          // "VRNf", "VRNg", "VRNh" or "VRNi"
  uint32_t dataSize;      // size of the Vorn data minus 8
  uint32_t frames;        // frames that can be played
  uint32_t largestFrame;  // bytes of the largest frame
  uint32_t indexEntries;  // index entries reserved (the index holds one more)
  uint32_t width, height; // picture size in pixels
  uint32_t rate, rateDivisor;
  uint32_t videoFlags;    // VORN_VIDEO_*
  uint32_t trackCount;
} VornHeader;

enum { VORN_HEADER_BYTES = 44 };

// Video flags of the header.
enum {
  VORN_VIDEO_GRAY = 0x00020000,          // luminance only
  VORN_VIDEO_ALPHA = 0x00100000,         // an alpha plane in every frame
  VORN_VIDEO_OPTION_MASK = 0x70000000,   // default display option 1-6
};
#define VORN_OPTION_SHIFT 28

// Track format word: sample rate in bits 0-15.
enum {
  VORN_TRACK_RATE_MASK = 0x0000FFFF,
  VORN_TRACK_STEREO = 0x20000000,
  VORN_TRACK_16BIT = 0x40000000,
  VORN_TRACK_SOUND = 0x80000000u,
};

// Little-endian 32-bit word at any alignment.
static inline uint32_t VornLe32(const void* p) {
  const uint8_t* b = (const uint8_t*)p;
  return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

// ---------------------------------------------------------------- open flags
enum {
  VORN_OPEN_RATE = 0x00001000,      // frame rate from VornPresetFrameRate
  VORN_OPEN_PRELOAD = 0x00002000,   // read all frame data during open
  VORN_OPEN_TRACK = 0x00004000,     // track whose ID VornPresetTrack stored
  VORN_OPEN_GRAY = 0x00020000,      // decode luminance only
  VORN_OPEN_NOSKIP = 0x00080000,    // never skip copies when late
  VORN_OPEN_ALPHA = 0x00100000,     // decode the alpha plane when there is one
  VORN_OPEN_NOFILL = 0x00200000,    // do not fill the read buffer during open
  VORN_OPEN_SIMULATE = 0x00400000,  // read at the speed VornPresetReadSpeed stored
  VORN_OPEN_HANDLE = 0x00800000,    // name is an open descriptor (VORN_FD_NAME)
  VORN_OPEN_IOSIZE = 0x01000000,    // read buffer from VornPresetReadBuffer
  VORN_OPEN_CUSTOMIO = 0x02000000,  // reader from VornSetCustomReader
  VORN_OPEN_MEMORY = 0x04000000,    // name points at a whole file in memory
  VORN_OPEN_NOTHREAD = 0x08000000,  // no background reader thread
};
// Display option in bits 28-30: 0 the file's, 1-6 that option, 7 none.
#define VORN_OPEN_OPTION(n) ((uint32_t)(n) << VORN_OPTION_SHIFT)
// The name argument for VORN_OPEN_HANDLE: a descriptor positioned at the
// Vorn data (the reader does not close it).
#define VORN_FD_NAME(fd) ((const char*)(intptr_t)(fd))

// Handle flags beside the open flags: the revision, for the video decoder
// and the frame converters.
enum {
  VORN_FLAG_OLD_CODING = 0x00008000,  // revisions f, g, h: no luminance size
                                      // word, sign-magnitude colours
  VORN_FLAG_CB_FIRST = 0x00010000,    // revisions f, g: chroma order Cb, Cr
};

// ---------------------------------------------------------------- pictures
// One decoded picture (VornPlanes) is one buffer: the luminance plane (pitch
// P, R rows), then the first and the second chroma plane (pitch P / 2, R / 2
// rows each). The first chroma plane is Cb with VORN_FLAG_CB_FIRST, else Cr.
// An alpha plane is a separate buffer of pitch P and R rows.
typedef uint8_t VornPlanes;

static inline uint32_t VornPlanesBytes(uint32_t pitch, uint32_t rows) {
  return pitch * rows + 2 * (pitch / 2) * (rows / 2);
}
static inline VornPlanes* VornPlanesChroma1(VornPlanes* p, uint32_t pitch, uint32_t rows) {
  return p + pitch * rows;
}
static inline VornPlanes* VornPlanesChroma2(VornPlanes* p, uint32_t pitch, uint32_t rows) {
  return p + pitch * rows + (pitch / 2) * (rows / 2);
}

// A changed area in output pixels.
typedef struct VornRect {
  int32_t x, y, width, height;
} VornRect;

// ---------------------------------------------------------------- reader
typedef struct VornHandle VornHandle;
typedef struct VornReader VornReader;

#define VORN_READ_HERE 0xFFFFFFFFu  // read-header offset: the current position
enum { VORN_READ_STEP = 4096 };     // read-ahead step and ring granule

// The reader: six operations, then its state. The default implementation
// reads a file through a read-ahead ring; VornSetCustomReader installs an
// open function of another.
struct VornReader {
  // Bytes at an offset of the Vorn data (or VORN_READ_HERE), unbuffered.
  uint32_t (*readHeader)(VornReader* r, uint32_t offset, void* dst, uint32_t bytes);
  // One frame's bytes through the ring; returns the bytes delivered.
  uint32_t (*readFrame)(VornReader* r, uint32_t frameIndex, uint32_t offset, void* dst,
                        uint32_t bytes);
  // A requested ring size rounded up to the read-ahead step.
  uint32_t (*bufferSize)(VornReader* r, uint32_t bytes);
  // Hands over the ring memory, the Vorn data size + 8 and the simulated
  // speed (bytes per second, 0 = unlimited).
  void (*setInfo)(VornReader* r, uint8_t* ring, uint32_t ringBytes, uint32_t fileSize,
                  uint32_t speed);
  // One read-ahead step: VORN_READ_STEP after reading, 0 when there is
  // nothing to do, -1 when another operation holds a lock.
  int32_t (*idle)(VornReader* r);
  void (*close)(VornReader* r);

  VornHandle* handle;            // owner (sound is serviced while waiting)
  volatile int32_t readError;    // sticky: a read returned fewer bytes than asked
  volatile int32_t reading;      // 1 while a read-ahead read is in progress
  uint32_t bytesRead;            // from the device
  volatile int32_t decoderBusy;  // set while the decoder works on a frame
  uint32_t readTime;             // ms inside device reads
  uint32_t frameReadTime;        // ms inside readFrame
  uint32_t backgroundTime;       // ms of read-ahead while the decoder was idle
  uint32_t busyReadAheadTime;    // ms of read-ahead while the decoder was busy
  uint32_t ringSize;             // a multiple of VORN_READ_STEP
  uint32_t highestFill;
  volatile int32_t fillTarget;   // the fill the ring can reach now
  volatile int32_t fill;         // bytes in the ring
  PlatFile file;
  uint32_t physicalPos;          // next byte the file position will read
  uint32_t logicalPos;           // next byte the decoder will consume
  uint8_t* readPtr;
  volatile int32_t freeBytes;    // bytes free in the ring
  volatile uint8_t busyLock;     // interlocked 8-bit counters
  volatile uint8_t readAheadLock;
  uint8_t *ringStart, *ringEnd, *writePtr;
  uint32_t callersFile;          // 1: the descriptor is the caller's
  int64_t baseOffset;            // file position of the Vorn data
  uint32_t fileSize;             // data size + 8
  uint32_t speed;                // simulated bytes per second, 0 = unlimited
  int32_t debt;                  // simulated microseconds still to wait
  volatile int32_t atEnd;        // read-ahead met the end of the file
  int64_t length;                // bytes present from the base offset, -1 unknown
  void* user;                    // free for custom readers
};

// Opens a reader on the zero-filled record (length preset to -1); non-zero on
// success. name and flags are VornOpen's.
typedef int (*VornReaderOpen)(VornReader* r, const char* name, uint32_t flags);
// The default file reader.
int VornFileReaderOpen(VornReader* r, const char* name, uint32_t flags);
// Fills the process-wide reader slot used by the next open with
// VORN_OPEN_CUSTOMIO (every open empties it). The record is moved into the
// handle after the header is read: keep no pointer to it (use its user
// field). The idle operation runs on the background thread unless the open
// has VORN_OPEN_NOTHREAD; setting length bounds the buffers to the data.
void VornSetCustomReader(VornReaderOpen open);

// ---------------------------------------------------------------- sound output
// The sound back end of the playing track. VornOpen zero-fills the record,
// sets rate, bits and channels and calls the installed track-open function,
// which fills in the operations (one left null does nothing; a null ready
// never takes sound), the shared fields below and its own state (backEnd),
// and returns 1; on failure it returns 0 with everything of its own
// released (the decoder then calls nothing on the record).
//
// Playing: the back end starts playing by itself once it holds enough
// segments (its priming). When the device had to play silence because no
// segment came in time, it sets `underrun`; the decoder then pads its ring
// with silence (at most every 750 ms), counts a sound skip and restarts the
// playback clock, so that the pictures wait for the sound.
//
// The decoder keeps the track's decoded sound (16-bit, channels interleaved)
// in a ring and moves it into the back end's segments (VornFeedSound): while
// ready() is 1 and the ring holds more than segmentSourceBytes (at the end of
// the file: anything), it calls getSegment(), fills the segment from the
// ring, converting to 8-bit unsigned samples for an 8-bit track, and
// commit()s it.
//
// Threads: the decoder never runs two operations of one record at the same
// time. ready, getSegment, commit, pause and startStop are called with the
// handle's sound-ring lock held, on the player's thread or the decoder's
// background thread; close is called by VornClose after the background
// thread has ended. A back end with a device thread of its own (an audio
// callback) guards what it shares with that thread itself. No operation may
// call back into the decoder.
struct VornSoundOut {
  // 1 when a segment can be filled now. Never blocks.
  int (*ready)(VornSoundOut* s);
  // Called only after ready() returned 1: the segment to fill (*data, *bytes
  // of output-format sound, the same size for every segment); 1, or 0 when
  // there is none after all.
  int (*getSegment)(VornSoundOut* s, uint8_t** data, uint32_t* bytes);
  // Queues the segment got last with bytes (<= its size, a whole number of
  // sample frames) of sound; fewer bytes than the segment's size happen at
  // the end of the sound: only those are played (or the rest is silence).
  // Returns 1.
  int (*commit)(VornSoundOut* s, uint32_t bytes);
  // For the player (its scales); the decoder never calls them.
  void (*setVolume)(VornSoundOut* s, uint32_t volume);
  void (*setPan)(VornSoundOut* s, uint32_t pan);
  // on 1: hold the play position, keeping what is queued; on 0: go on.
  void (*pause)(VornSoundOut* s, int on);
  // start 0: stop playing and drop everything queued; afterwards ready()
  // may hand out segments again, which are held until start. start 1: play
  // again (from the segments committed since, once primed as after the
  // open). Returns the resulting state: 1 playing (or priming), 0 stopped.
  // A freshly opened back end is started: it begins to play by itself once
  // it has been given enough segments.
  int (*startStop)(VornSoundOut* s, int start);
  // Stops and releases everything of the back end. Called once.
  void (*close)(VornSoundOut* s);

  // Set by the back end at open, except where said:
  uint32_t segmentSourceBytes;  // decoded 16-bit bytes one segment takes: the
                                // segment's bytes, doubled for 8-bit output
  volatile int32_t underrun;    // set (PlatAtomicStore 1) whenever the device
                                // had to play silence because no segment came
                                // in time; the decoder clears it
  uint32_t open;                // set by the decoder: 1 while the track is open
  uint32_t latency;             // ms of sound queued ahead of the play position
                                // once playing (0-750); the decoder keeps
                                // 750 ms less this in hand at start-up
  uint32_t rate, bits, channels;  // set by the decoder before the open call:
                                  // the output format asked for
  void* backEnd;                // the back end's own state
};
// Opens a track on a back end: (record, rate in Hz, 8 or 16 bits, 1 or 2
// channels, handle flags, handle) -> 1 on success. The rate follows a
// changed frame rate; the handle is not yet fully set up (keep the pointer
// only for identification).
typedef int (*VornSoundTrackOpen)(VornSoundOut* s, uint32_t rate, uint32_t bits,
                                  uint32_t channels, uint32_t handleFlags, VornHandle* h);
// A sound system: returns its track-open function, or null.
typedef VornSoundTrackOpen (*VornSoundSystem)(void* arg);
// Installs the back end the next opens use; 0 when a different system is
// asked for while tracks are open (a null system removes it).
int VornSelectSoundOutput(VornSoundSystem system, void* arg);
// Moves decoded sound from the ring into the back end; does nothing when
// another thread is at it. The background thread calls it every 10 ms, and
// the decoder's calls call it too.
void VornFeedSound(VornHandle* h);

// Audio decoder instance of the playing track (the audio decoder's own).
typedef struct VornAudio VornAudio;

// ---------------------------------------------------------------- handle
enum { VORN_RINGS = 7, VORN_BUNDLES = 9, VORN_MAX_RECTS = 8 };

// History rings of per-frame values (one entry per frame, newest first).
enum {
  VORN_RING_TIME,        // frame start time
  VORN_RING_AUDIO,       // audio time
  VORN_RING_VIDEO,       // video time
  VORN_RING_BLIT,        // blit time
  VORN_RING_FRAMEREAD,   // reader's frame-read time
  VORN_RING_BACKGROUND,  // reader's read-ahead time while the decoder was idle
  VORN_RING_BUSY,        // reader's read-ahead time while the decoder was busy
};

struct VornHandle {
  // Public head.
  uint32_t width, height;    // output size (doubled by display options)
  uint32_t frames;
  uint32_t frameNumber;      // current frame, 1-based; -1 before the first
  uint32_t lastFrameNumber;  // before the last positioning
  uint32_t rate, rateDivisor;
  uint32_t readError;        // sticky; no frame is decoded once set
  uint32_t flags;            // open flags as adjusted, display option, revision
  uint32_t videoFlags;
  uint32_t dataSize;
  VornRect rects[VORN_MAX_RECTS];
  int32_t rectCount;         // -1 until computed for the current frame

  // Decoder part.
  uint32_t newest;                  // 0/1: the picture holding the newest frame
  VornPlanes* pictures[2];
  uint8_t* alphas[2];               // null unless the alpha plane is decoded
  uint32_t pitch, rows;             // luminance plane (picture size rounded to 16)
  uint32_t chromaWidth, chromaHeight;
  uint8_t* blockMap;                // one byte per 16 x 16 block, then a 0
  uint32_t blocksPerRow, blockCount;
  uint32_t largestFrame;            // header field
  uint32_t indexEntries;
  uint32_t trackCount;
  uint32_t peakSecondBytes;         // most data in any one second
  uint32_t peakSecondFrame;         // 0-based frame where that second starts
  uint32_t paused;
  PlatThread* thread;               // background reader
  volatile int32_t runFlag;         // 0 none, 1 running, 0 stop asked, 2 ended
  const uint8_t* frame;             // the current frame's data
  uint32_t frameBytes;              // its size
  uint8_t* preloaded;               // preloaded frame data (owned)
  const uint8_t* index;             // frame index, (indexEntries + 1) words
  const uint8_t* dataBase;          // memory or preload: the first frame's data
  uint32_t dataBytes;               // bytes present at dataBase
  uint8_t* frameBuffer;             // reader: buffer of frameBufferBytes
  uint32_t frameBufferBytes;
  uint8_t* ringMemory;              // the reader's ring
  uint32_t ringRequest;             // requested ring size
  uint32_t allKey;                  // every frame a key frame: one picture buffer
  uint8_t* pictureBlock;            // the grouped picture allocation

  // Reader part.
  VornReader reader;

  // Sound and timing part.
  uint32_t framesPlayed;
  uint32_t clockStart, clockStartFrame;
  uint32_t playStart, frameStart, decodeEnd;
  uint32_t slowest, secondSlowest, slowestFrame, secondSlowestFrame;
  uint32_t videoTime, audioTime, blitTime;
  uint32_t skippedBlits, soundSkips;
  uint32_t keepMap;                 // a skipped copy: keep the block map
  uint32_t lastDecodedFrame;
  uint32_t* rings[VORN_RINGS];      // VORN_RING_*, oneSecond entries each
  uint32_t skipThreshold;           // ms: two frame durations
  uint32_t openTime;                // ms VornOpen took
  uint32_t totalMemory;             // bytes of every block allocated
  uint32_t fileRate, fileRateDivisor;
  uint32_t oneSecond;               // frames in one second, at least 1
  int32_t soundTrack;               // -1 = none
  const uint8_t* trackBuffers;      // track tables: trackCount words each
  const uint8_t* trackFormats;
  const uint8_t* trackIds;
  VornSoundOut sound;
  uint32_t soundRunning;
  uint8_t *soundRing, *soundRingEnd, *soundWrite, *soundRead;
  volatile int32_t soundFill;
  uint32_t soundRingSize;
  volatile uint8_t soundLock;
  uint32_t soundTo8Bit;             // convert the 16-bit sound for 8-bit output
  uint32_t soundStartFill;          // bytes of 750 ms less the back end's latency
  uint32_t soundEndFrame;           // last frame before the final 3/4 second
  uint32_t nextRepair;              // time of the next allowed underrun repair
  VornAudio* audio;
  uint8_t* bundles[VORN_BUNDLES];   // the video decoder's bundle buffers
  uint32_t decodeWidth, decodeHeight;  // header picture size
};

// Frame index entry i (offset of frame i + 1; bit 0: key frame).
static inline uint32_t VornIndexEntry(const VornHandle* h, uint32_t i) {
  return VornLe32(h->index + 4 * (size_t)i);
}
static inline uint32_t VornTrackBuffer(const VornHandle* h, uint32_t t) {
  return VornLe32(h->trackBuffers + 4 * (size_t)t);
}
static inline uint32_t VornTrackFormat(const VornHandle* h, uint32_t t) {
  return VornLe32(h->trackFormats + 4 * (size_t)t);
}
static inline uint32_t VornTrackId(const VornHandle* h, uint32_t t) {
  return VornLe32(h->trackIds + 4 * (size_t)t);
}
// The newest decoded picture and alpha plane (alpha: null unless decoded).
static inline VornPlanes* VornCurrentPlanes(const VornHandle* h) { return h->pictures[h->newest]; }
static inline uint8_t* VornCurrentAlpha(const VornHandle* h) { return h->alphas[h->newest]; }

// ---------------------------------------------------------------- functions
// Opens a Vorn file: by name, by descriptor (VORN_OPEN_HANDLE), from memory
// (VORN_OPEN_MEMORY; see VornPresetMemorySize) or through a custom reader
// (VORN_OPEN_CUSTOMIO). Null on failure, with VornErrorText set.
VornHandle* VornOpen(const char* name, uint32_t flags);
void VornClose(VornHandle* h);
// The last open error; empty when none.
const char* VornErrorText(void);

// Values for the next open that asks for them (they start at -1; the open
// that takes one resets it).
void VornPresetFrameRate(int32_t rate, int32_t divisor);  // VORN_OPEN_RATE
void VornPresetTrack(int32_t id);                          // VORN_OPEN_TRACK; -1 none
void VornPresetReadSpeed(int32_t bytesPerSecond);          // VORN_OPEN_SIMULATE
void VornPresetReadBuffer(int32_t bytes);                  // VORN_OPEN_IOSIZE
// Size of the memory the next VORN_OPEN_MEMORY open reads (0 is an empty
// block); nothing past it is read, and frames beyond it are not decoded.
// Without it the header's data size is trusted. Taken (and cleared) by every
// memory open.
void VornPresetMemorySize(size_t bytes);

// Positions on frame n (0 means 1; past the last frame means the last) and
// reads it.
void VornSeekFrame(VornHandle* h, uint32_t n);
// Decodes the current frame into the picture buffer not holding the newest;
// 0 after decoding (or when this frame was already decoded), 1 when a read
// error stopped decoding.
uint32_t VornDecodeFrame(VornHandle* h);
// Goes to the next frame, or to frame 1 after the last.
void VornAdvanceFrame(VornHandle* h);

// ---------------------------------------------------------------- pacing
// Per frame: VornTooEarly until 0, VornDecodeFrame, VornCopyFrame,
// VornChangedRects, show the rectangles, VornAdvanceFrame.
//
// 1 while it is too early for the next frame (or paused, or the sound is
// stopped), 0 when the caller should decode now.
uint32_t VornTooEarly(VornHandle* h);
// Converts the newest picture into dest (copy flags: format code and
// VORN_COPY_* of vorn/convert.h; the handle adds its display option,
// luminance-only and chroma-order bits). pitch < 0 is a bottom-up buffer.
// 0 when converted in time; 1 when late: with a playing track and not
// never-skip (VORN_COPY_NEVER_SKIP or VORN_OPEN_NOSKIP) nothing is converted
// and the changed areas add up until the next converted copy.
uint32_t VornCopyFrame(VornHandle* h, void* dest, int32_t pitch, int32_t height, int32_t x,
                       int32_t y, uint32_t flags);
// Changed areas of the last decoded frame, in output pixels, into
// h->rects; returns their count (0-8). Copy flags: VORN_RECTS_NONE gives 0,
// VORN_RECTS_ONE one bounding rectangle.
enum { VORN_RECTS_ONE = 0x08000000, VORN_RECTS_NONE = 0x04000000 };
int32_t VornChangedRects(VornHandle* h, uint32_t flags);
// Pauses (on non-zero) or resumes; returns the new state (0 or 1).
uint32_t VornSetPaused(VornHandle* h, uint32_t on);

// Statistics over the last k frames (VornReadRecent). Times in ms.
typedef struct VornRecent {
  uint32_t frame;                       // frame number shown
  uint32_t rate, rateDivisor;           // in use
  uint32_t frames;                      // k: frames in the window
  uint32_t windowTime;                  // at least 1
  uint32_t videoTime, audioTime;
  uint32_t frameReadTime;
  uint32_t backgroundTime;              // read-ahead while the decoder was idle
  uint32_t busyReadAheadTime;           // read-ahead while it was busy
  uint32_t blitTime;
  uint32_t fillTarget, fill;            // read buffer
  uint32_t dataRate;                    // bytes per second
} VornRecent;

// Statistics of the whole playback (VornReadTotals). Times in ms.
typedef struct VornTotals {
  uint32_t width, height;
  uint32_t playTime;                    // since the first decoded frame
  uint32_t fileRate, fileRateDivisor;
  uint32_t rate, rateDivisor;           // in use
  uint32_t openTime;
  uint32_t frames, framesPlayed;
  uint32_t skippedFrames;               // always 0: only copies are skipped
  uint32_t skippedBlits, soundSkips;
  uint32_t blitTime, frameReadTime, videoTime, audioTime;
  uint32_t backgroundTime, busyReadAheadTime;
  uint32_t deviceSpeed;                 // bytes per second
  uint32_t slowest, secondSlowest;
  uint32_t slowestFrame, secondSlowestFrame;
  uint32_t averageDataRate;             // bytes per second
  uint32_t averageFrameSize;
  uint32_t totalMemory;
  uint32_t readBufferSize, highestFill;
  uint32_t peakSecondBytes, peakSecondFrame;  // the frame is 1-based
} VornTotals;

// k 0 (or at least the frames in one second) means one second less a frame.
void VornReadRecent(VornHandle* h, VornRecent* r, uint32_t k);
void VornReadTotals(VornHandle* h, VornTotals* t);

// Finds the packet of track `track` in a frame's data: *packet (after its
// length word, null when empty) and *packetBytes. Returns the offset of the
// video data, or -1 when the packets do not fit the frame.
int64_t VornFramePacket(const uint8_t* frame, uint32_t frameBytes, uint32_t trackCount,
                        uint32_t track, const uint8_t** packet, uint32_t* packetBytes);

// ---------------------------------------------------------------- memory
// The decoder's allocator: zero-filled blocks aligned to 32 bytes. An
// installed pair (both non-null) is used instead of the runtime heap.
typedef void* (*VornAllocFn)(size_t bytes);
typedef void (*VornFreeFn)(void* block);
void VornSetMemory(VornAllocFn alloc, VornFreeFn free);
void* VornAlloc(size_t bytes);
void VornFree(void* block);

#ifdef __cplusplus
}
#endif
