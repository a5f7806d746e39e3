// Internal types of the encoder: planes, options, block records, the cost
// model and the session handle.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "vornmake/vornmake.h"

struct KORFile;

// Planes in coding order within the encoder (the file has Cr before Cb).
enum { VMK_Y = 0, VMK_CR = 1, VMK_CB = 2, VMK_ALPHA = 3, VMK_PLANES = 4 };

// Block types of the bitstream, and the encoder's own "four blocks" for a
// 16 x 16 region left to its 8 x 8 blocks.
enum {
  VMK_SKIP = 0,
  VMK_SCALED = 1,
  VMK_MOTION = 2,
  VMK_RUN = 3,
  VMK_RESIDUE = 4,
  VMK_INTRA = 5,
  VMK_FILL = 6,
  VMK_INTER = 7,
  VMK_PATTERN = 8,
  VMK_RAW = 9,
  VMK_FOUR = 15,
};

// Inter DC values go to a bundle whose chunks start with a 10-bit magnitude
// and a sign: the quantiser's -1024 is taken as -1023.
enum { VMK_INTER_DC_LIMIT = 1023 };

// Cost units: 256 per bit.
enum { VMK_BIT = 256, VMK_BYTE = 2048 };

// Elements priced by the cost model.
enum {
  VMK_EL_TYPE,     // block type
  VMK_EL_SUBTYPE,  // sub-block type of a scaled block
  VMK_EL_PATTERN,  // the 64 pattern bits of one block
  VMK_EL_MOTION,   // one motion offset (x and y)
  VMK_EL_INTRADC,
  VMK_EL_INTERDC,
  VMK_EL_RUN,  // one run length
  VMK_ELEMENTS
};

struct VmkCostModel {
  uint32_t bits[VMK_ELEMENTS][4];   // history, oldest first
  uint32_t count[VMK_ELEMENTS][4];
  int32_t cost[VMK_ELEMENTS];       // cost units per element
  int32_t colour;                   // cost of one colour this frame
  int32_t colourEstimate;           // the entropy estimate it came from
  int32_t colourBias;
};

// Option lists: blocks keep up to 32 options, regions 31.
enum { VMK_MAX_OPTIONS = 32, VMK_MAX_REGION_OPTIONS = 31, VMK_WORK_OPTIONS = 1024 };

struct VmkBlock {
  int32_t cost[VMK_MAX_OPTIONS];
  int32_t error[VMK_MAX_OPTIONS];
  uint16_t param[VMK_MAX_OPTIONS];
  uint8_t type[VMK_MAX_OPTIONS];
  uint8_t count;
  uint8_t chosen;
  int8_t mvx, mvy;  // motion offset, -15..15
  // The decision.
  uint8_t finalType;
  uint8_t subType;  // top-left block of a scaled region: the region's coding
  uint8_t covered;  // 1: part of a scaled region other than its top-left block
  uint16_t finalParam;
  int32_t finalCost;
  int32_t finalError;
};

// A raw option list during analysis.
struct VmkOptions {
  int32_t count;
  int32_t cost[VMK_WORK_OPTIONS];
  int32_t error[VMK_WORK_OPTIONS];
  uint16_t param[VMK_WORK_OPTIONS];
  uint8_t type[VMK_WORK_OPTIONS];
};

// One plane's geometry and samples; pitch = width.
struct VmkPlane {
  uint8_t* data;
  uint32_t width, height;  // padded to multiples of 8
};

enum { VMK_MAX_WINDOW = 64 };

struct VmkTrack {
  uint32_t id;
  uint32_t sampleRate;
  uint32_t bits;
  uint32_t channels;
  uint32_t sourceBytes;      // PCM taken from the source (half for 8-bit tracks)
  uint32_t compressedBytes;  // sound bytes written
  uint32_t format;           // format-table word
  uint32_t largestPacket;    // sound-buffer entry
  uint32_t leadIn;
  uint32_t bytesPerSecond;
  uint32_t bytesLeft;
  uint32_t bytesDone;
  int32_t quality;
  void* encoder;  // sound encoder state (none yet: tracks write empty packets)
  uint32_t silence;
  intptr_t user;
  VornMakeSoundCallback callback;
  intptr_t savedUser;
  VornMakeSoundCallback savedCallback;
  uint32_t frames;  // the file's frame count: the last frame takes what is left
};

// Stages timed in the handle's stageUs.
enum {
  VMK_STAGE_PREPARE,     // conversion of the caller's picture
  VMK_STAGE_RATE,        // complexity, smoothing, cost models
  VMK_STAGE_SCRATCH,     // the frame's work memory
  VMK_STAGE_COLOUR,      // colour cost estimates
  VMK_STAGE_BLOCKS,      // motion search, block and region options (parallel)
  VMK_STAGE_ALLOCATE,    // allocation over the blocks
  VMK_STAGE_MERGE,       // merging regions and their allocation
  VMK_STAGE_WRITE,       // plane writers
  VMK_STAGE_RECORD,      // plane errors, sound and the frame record
  VMK_STAGES
};

// Called after every frame with the encoder's reconstruction (tests).
typedef void (*VmkFrameHook)(void* user, uint32_t frame, const VmkPlane* recon, uint32_t planes);

struct VornMakeHandle {
  int32_t failed;
  uint32_t framesDeclared;
  uint32_t framesDone;
  uint32_t bytesWritten;
  int32_t progressFrame;
  char outputName[256];
  char tempName[256];
  int32_t width;
  uint32_t height;
  uint32_t rateNum, rateDen;
  uint32_t flags;  // VORNMAKE_GREY, VORNMAKE_ALPHA
  uint32_t* frameOffsets;
  uint32_t* frameErrors;
  int32_t inputPitch;
  uint32_t inputWidth, inputHeight;
  uint32_t windowSize;
  uint32_t paddedWidth, paddedHeight;
  uint32_t chromaWidth, chromaHeight;  // padded chroma size
  VmkTrack* tracks;
  uint32_t trackCount;
  uint32_t keyInterval;
  int32_t keyCountdown;
  uint32_t scaleMode;
  KORFile* file;
  uint32_t* target;   // request tables, pointing at the first free slot
  uint32_t* maximum;
  uint32_t* key;
  uint32_t targets[VMK_MAX_WINDOW];
  uint32_t maximums[VMK_MAX_WINDOW];
  uint32_t keys[VMK_MAX_WINDOW];
  int64_t budgetCarry;
  uint32_t windowFill;
  // Complexity of each waiting slot, kept while the planes it was measured on
  // stay as they are; -1 when not known.
  int64_t complexity[VMK_MAX_WINDOW];
  uint8_t* slots[VMK_PLANES][VMK_MAX_WINDOW];
  uint8_t* previous[VMK_PLANES];
  uint8_t* scratch[2];
  uint32_t refSelect;
  uint8_t* reference[2][VMK_PLANES];
  uint8_t* bitstream[VMK_PLANES];
  uint32_t bitstreamSize[VMK_PLANES];
  uint32_t largestFrame;
  volatile int32_t cancel;
  VmkCostModel model[VMK_PLANES];
  VornMakeCallback callback;
  uint32_t nextFlushSize, nextFlushTime;
  volatile uint8_t writersBusy;
  volatile uint8_t flushing;
  // Statistics of the last frame: its video budget and the last step its
  // allocations took (bytes, rounded up).
  uint32_t lastBudget, lastStep;
  // The frame encoder's work memory, kept from frame to frame.
  uint8_t* work;
  uint64_t workSize;
  // Microseconds spent in each stage so far (VMK_STAGE_...), for the bench.
  uint64_t stageUs[VMK_STAGES];
  // Test hook.
  VmkFrameHook frameHook;
  void* frameHookUser;
};

// Plane geometry of a handle: padded width and height of plane p.
static inline uint32_t VmkPlaneWidth(const VornMakeHandle* h, int p) {
  return p == VMK_CR || p == VMK_CB ? h->chromaWidth : h->paddedWidth;
}
static inline uint32_t VmkPlaneHeight(const VornMakeHandle* h, int p) {
  return p == VMK_CR || p == VMK_CB ? h->chromaHeight : h->paddedHeight;
}
// Whether the file codes plane p.
static inline int VmkPlaneCoded(const VornMakeHandle* h, int p) {
  if (p == VMK_ALPHA) return (h->flags & VORNMAKE_ALPHA) != 0;
  if (p == VMK_CR || p == VMK_CB) return (h->flags & VORNMAKE_GREY) == 0;
  return 1;
}

static inline uint32_t VmkBitLength(uint32_t v) { return v ? 32 - (uint32_t)__builtin_clz(v) : 0; }
