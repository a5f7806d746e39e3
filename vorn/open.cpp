// Opening and closing Vorn files: header, track tables, frame index, the
// grouped buffers, the reader, the sound track and the background thread.
//
// Every file may be hostile. Beyond what the format needs, the open refuses
// headers whose sizes cannot be met (picture over 16384 pixels either way,
// tables or index past the data or the file's end, index entries that go
// backwards or past the data size, a largest-frame size below a frame's
// size), and bounds every allocation by what the file can hold.
#include <stdio.h>
#include <string.h>

#include "vorn/alloc.h"
#include "vorn/audio.h"
#include "vorn/internal.h"

// Largest picture side; beyond it the buffers alone would need gigabytes.
static const uint32_t kMaxSide = 16384;
// Most frames in one second: sizes the per-frame history rings.
static const uint64_t kMaxOneSecond = 10000;
// Largest decoded-sound ring (the sound-buffer entry of a track).
static const uint32_t kMaxSoundRing = 1u << 26;

static char g_error[256];
static int64_t g_presetRate = -1, g_presetDivisor = -1;
static int64_t g_presetTrack = -1;
static int64_t g_presetSpeed = -1;
static int64_t g_presetBuffer = -1;
static const size_t kNoSize = (size_t)-1;
static size_t g_memorySize = kNoSize;
static VornReaderOpen g_customReader;

void VornSetError(const char* text) { snprintf(g_error, sizeof g_error, "%s", text); }

extern "C" const char* VornErrorText(void) { return g_error; }

extern "C" void VornPresetFrameRate(int32_t rate, int32_t divisor) {
  g_presetRate = rate;
  g_presetDivisor = divisor;
}

extern "C" void VornPresetTrack(int32_t id) { g_presetTrack = id; }
extern "C" void VornPresetReadSpeed(int32_t bytesPerSecond) { g_presetSpeed = bytesPerSecond; }
extern "C" void VornPresetReadBuffer(int32_t bytes) { g_presetBuffer = bytes; }
extern "C" void VornPresetMemorySize(size_t bytes) { g_memorySize = bytes; }
extern "C" void VornSetCustomReader(VornReaderOpen open) { g_customReader = open; }

static uint32_t Clamp32(uint64_t v) { return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)v; }
static uint32_t Offset(const VornHandle* h, uint32_t i) { return VornIndexEntry(h, i) & ~1u; }

static void CloseReader(VornReader* r) {
  if (r->close) r->close(r);
  r->readHeader = nullptr;
  r->readFrame = nullptr;
  r->bufferSize = nullptr;
  r->setInfo = nullptr;
  r->idle = nullptr;
  r->close = nullptr;
}

static void ParseHeader(const uint8_t* b, VornHeader* hd) {
  memcpy(hd->magic, b, 4);
  uint32_t* f = &hd->dataSize;
  for (int i = 0; i < 10; i++) f[i] = VornLe32(b + 4 + 4 * i);
}

// The revision's handle flags; -1 for no Vorn magic.
static int64_t Revision(const VornHeader& hd) {
  if (memcmp(hd.magic, "VRN", 3) != 0) return -1;
  switch (hd.magic[3]) {
    case 'f':
    case 'g':
      return VORN_FLAG_OLD_CODING | VORN_FLAG_CB_FIRST;
    case 'h':
      return VORN_FLAG_OLD_CODING;
    case 'i':
      return 0;
  }
  return -1;
}

// Sizes the header promises that no file can keep; length is the number of
// bytes present (-1 unknown). Null when the header is usable.
static const char* CheckHeader(const VornHeader& hd, int64_t length) {
  if (hd.width == 0 || hd.height == 0 || hd.width > kMaxSide || hd.height > kMaxSide)
    return "The picture size in the file is out of range (1 to 16384 pixels).";
  if (hd.rateDivisor == 0 || ((uint64_t)hd.rate + hd.rateDivisor / 2) / hd.rateDivisor > kMaxOneSecond)
    return "The frame rate in the file is out of range.";
  if (hd.dataSize > 0xFFFFFFFFu - 8) return "The data size in the file is out of range.";
  if (hd.frames > hd.indexEntries) return "The file has more frames than its frame index holds.";
  uint64_t fileSize = (uint64_t)hd.dataSize + 8;
  uint64_t tablesEnd = VORN_HEADER_BYTES + 12 * (uint64_t)hd.trackCount;
  // Every track also has a packet word in every frame.
  if (tablesEnd + 4 * (uint64_t)hd.trackCount > fileSize)
    return "The track count does not fit the file's size.";
  uint64_t indexEnd = tablesEnd + 4 * ((uint64_t)hd.indexEntries + 1);
  if (indexEnd > fileSize) return "The frame index runs past the end of the file.";
  if (length >= 0 && (uint64_t)length < indexEnd)
    return "The file ends before the end of its frame index.";
  return nullptr;
}

// Checks the played part of the index and notes the largest frame. Null when
// it is usable.
static const char* CheckIndex(const VornHandle* h, uint32_t indexEnd, uint32_t* maxFrame) {
  uint32_t prev = Offset(h, 0);
  if (prev < indexEnd) return "The frame index points into the file's header.";
  uint32_t most = 0;
  for (uint32_t i = 1; i <= h->frames; i++) {
    uint32_t o = Offset(h, i);
    if (o < prev) return "The frame index goes backwards.";
    if (o - prev > most) most = o - prev;
    prev = o;
  }
  if ((uint64_t)prev > (uint64_t)h->dataSize + 8) return "A frame runs past the end of the data.";
  if (most > h->largestFrame) return "The largest-frame size in the file is smaller than a frame.";
  *maxFrame = most;
  return nullptr;
}

// Most data in any E consecutive frames and where it starts; whether every
// frame is a key frame.
static void ScanIndex(VornHandle* h) {
  uint32_t e = h->oneSecond, frames = h->frames;
  uint32_t best = 0, bestFrame = 0;
  if (frames > e) {
    for (uint32_t i = 0; i + e + 1 <= frames; i++) {
      uint32_t d = Offset(h, i + e) - Offset(h, i);
      if (d > best) {
        best = d;
        bestFrame = i;
      }
    }
  }
  if (frames <= e || best == 0) {
    best = Clamp32((uint64_t)(Offset(h, frames) - Offset(h, 0)) * e / frames);
    bestFrame = 0;
  }
  h->peakSecondBytes = best;
  h->peakSecondFrame = bestFrame;
  h->allKey = 1;
  for (uint32_t i = 0; i < frames; i++)
    if (!(VornIndexEntry(h, i) & 1)) h->allKey = 0;
}

// Display option and output size.
static void ApplyDisplayOption(VornHandle* h, uint32_t openFlags) {
  uint32_t opt = (openFlags >> VORN_OPTION_SHIFT) & 7;
  uint32_t fileOpt = (h->videoFlags >> VORN_OPTION_SHIFT) & 7;
  if (opt == 7)
    opt = 0;
  else if (opt == 0)
    opt = fileOpt == 7 ? 0 : fileOpt;
  h->flags |= opt << VORN_OPTION_SHIFT;
  if (opt == 3 || opt == 4 || opt == 5) h->width *= 2;
  if (opt == 1 || opt == 2 || opt == 4 || opt == 5) h->height *= 2;
}

static int AllocPictures(VornHandle* h) {
  VornGroup g;
  VornGroupStart(&g, 0);
  size_t plane = (size_t)h->pitch * h->rows;
  size_t picture = plane + 2 * (size_t)h->chromaWidth * h->chromaHeight;
  if (h->flags & VORN_OPEN_ALPHA) {
    VornGroupAddPointer(&g, (void**)&h->alphas[0], plane);
    if (!h->allKey) VornGroupAddPointer(&g, (void**)&h->alphas[1], plane);
  }
  if (!h->allKey) VornGroupAddPointer(&g, (void**)&h->pictures[1], picture);
  VornGroupAddPointer(&g, (void**)&h->pictures[0], picture);
  size_t total = 0;
  h->pictureBlock = (uint8_t*)VornGroupAlloc(&g, &total);
  if (!h->pictureBlock) return 0;
  h->totalMemory += (uint32_t)total;
  // Every frame stands alone: both slots are one buffer.
  if (h->allKey) {
    h->pictures[1] = h->pictures[0];
    h->alphas[1] = h->alphas[0];
  }
  return 1;
}

static void* CountedAlloc(VornHandle* h, size_t bytes) {
  void* p = VornAlloc(bytes);
  if (p) h->totalMemory += (uint32_t)bytes;
  return p;
}

// Frame data: preloaded, or read through the ring. length is the byte count
// present (-1 unknown); allocations never exceed it.
static int SetUpFrameData(VornHandle* h, uint32_t request, uint32_t speed, int64_t length,
                          uint32_t maxFrame) {
  VornReader* r = &h->reader;
  uint32_t first = Offset(h, 0);
  uint32_t fileSize = h->dataSize + 8;
  uint32_t rounded = r->bufferSize(r, request);
  if ((uint64_t)rounded * 10 >= (uint64_t)h->dataSize * 9) h->flags |= VORN_OPEN_PRELOAD;
  uint32_t present = fileSize - first;
  if (length >= 0 && (uint64_t)length < fileSize)
    present = (uint64_t)length > first ? (uint32_t)length - first : 0;

  if (h->flags & VORN_OPEN_PRELOAD) {
    h->preloaded = (uint8_t*)CountedAlloc(h, present ? present : 1);
    if (!h->preloaded) return 0;
    r->setInfo(r, nullptr, 0, fileSize, speed);
    uint32_t readTime = r->readTime, frameReadTime = r->frameReadTime;
    uint32_t got = r->readFrame(r, 0, first, h->preloaded, present);
    r->readTime = readTime;
    r->frameReadTime = frameReadTime;
    // A short preload keeps what it read: the frames inside it decode, and
    // the first frame past it sets the read error when it is positioned.
    PlatAtomicStore(&r->readError, 0);
    h->dataBase = h->preloaded;
    h->dataBytes = got;
    CloseReader(r);
    return 1;
  }
  // Frames larger than what the file holds can never be read whole.
  h->frameBufferBytes = maxFrame < present ? maxFrame : present;
  h->frameBuffer = (uint8_t*)CountedAlloc(h, h->frameBufferBytes ? h->frameBufferBytes : 1);
  if (!h->frameBuffer) return 0;
  uint32_t ring = rounded;
  if (length >= 0 && (uint64_t)ring > (uint64_t)length + VORN_READ_STEP)
    ring = r->bufferSize(r, Clamp32((uint64_t)length));
  h->ringRequest = request;
  h->ringMemory = ring ? (uint8_t*)CountedAlloc(h, ring) : nullptr;
  r->setInfo(r, h->ringMemory, h->ringMemory ? ring : 0, fileSize, speed);
  return 1;
}

// Chooses and opens the sound track.
static void OpenSound(VornHandle* h, uint32_t openFlags) {
  int64_t track = -1;
  if (h->trackCount > 0) {
    if (openFlags & VORN_OPEN_TRACK) {
      if (g_presetTrack != -1)
        for (uint32_t t = 0; t < h->trackCount && track < 0; t++)
          if (VornTrackId(h, t) == (uint32_t)g_presetTrack) track = t;
    } else {
      track = 0;
    }
  }
  g_presetTrack = -1;
  h->soundTrack = -1;
  VornSoundTrackOpen open = VornSoundBackEnd();
  if (track < 0 || !open) return;
  uint32_t format = VornTrackFormat(h, (uint32_t)track);
  if (!(format & VORN_TRACK_SOUND)) return;
  uint32_t trackRate = format & VORN_TRACK_RATE_MASK;
  uint64_t rate = trackRate;
  // Sound follows a changed frame rate: the back end plays it faster or
  // slower. The decoder keeps the track's own rate, on which its block
  // length and bands depend.
  if (h->rate && h->rateDivisor && h->fileRate)
    rate = rate * h->fileRateDivisor * h->rate / ((uint64_t)h->fileRate * h->rateDivisor);
  uint32_t bits = format & VORN_TRACK_16BIT ? 16 : 8;
  uint32_t channels = format & VORN_TRACK_STEREO ? 2 : 1;
  uint32_t want = VornTrackBuffer(h, (uint32_t)track);
  if (want > kMaxSoundRing || rate > 0x7FFFFFFF || rate == 0) return;
  VornSoundOut* s = &h->sound;
  memset(s, 0, sizeof *s);
  s->rate = (uint32_t)rate;
  s->bits = bits;
  s->channels = channels;
  if (!open(s, (uint32_t)rate, bits, channels, h->flags, h)) {
    memset(s, 0, sizeof *s);
    return;
  }
  s->rate = (uint32_t)rate;
  s->bits = bits;
  s->channels = channels;
  // The ring holds the largest packet, and never less than two of the back
  // end's segments beside it: the service sends only while the ring holds
  // more than a segment, so a ring sized to small packets alone would keep
  // the sound silent until the end of the file.
  uint64_t need = (uint64_t)want + 2 * (uint64_t)s->segmentSourceBytes;
  if (need > kMaxSoundRing) need = kMaxSoundRing > want ? kMaxSoundRing : want;
  uint32_t size = (uint32_t)((need + 255) & ~(uint64_t)255);
  if (!size) size = 256;
  h->soundRing = (uint8_t*)CountedAlloc(h, size);
  VornSoundFillDefaults(s);
  if (!h->soundRing) {
    s->close(s);
    memset(s, 0, sizeof *s);
    return;
  }
  VornSoundTrackCount(1);
  s->open = 1;
  h->soundTrack = (int32_t)track;
  h->soundTo8Bit = bits == 8;
  h->soundRingSize = size;
  h->soundRingEnd = h->soundRing + size;
  h->soundWrite = h->soundRead = h->soundRing;
  uint32_t latency = s->latency < 750 ? s->latency : 750;
  uint64_t fill = (uint64_t)channels * rate * 2 * (750 - latency) / 1000 & ~(uint64_t)3;
  h->soundStartFill = fill < size ? (uint32_t)fill : size;
  // A decoder that cannot be made leaves the track silent.
  h->audio = VornAudioOpen(trackRate, channels, 1);
  uint64_t tail = (3 * (uint64_t)h->fileRate) / (4 * (uint64_t)h->fileRateDivisor);
  h->soundEndFrame = tail < h->frames ? h->frames - (uint32_t)tail : 0;
  // The stream counts as started: the back end plays once it has enough.
  h->soundRunning = 1;
}

static VornHandle* Fail(VornHandle* h, VornReader* r, const char* text) {
  if (text) VornSetError(text);
  if (h) {
    VornClose(h);
  } else {
    CloseReader(r);
  }
  return nullptr;
}

extern "C" VornHandle* VornOpen(const char* name, uint32_t flags) {
  uint32_t start = PlatClockMs();
  g_error[0] = 0;
  VornReaderOpen custom = g_customReader;
  g_customReader = nullptr;
  const int memory = (flags & VORN_OPEN_MEMORY) != 0;
  size_t memorySize = kNoSize;
  if (memory) {
    memorySize = g_memorySize;
    g_memorySize = kNoSize;
  }

  VornReader rd;
  memset(&rd, 0, sizeof rd);
  rd.file = PLAT_FILE_INVALID;
  rd.length = -1;
  uint8_t head[VORN_HEADER_BYTES];
  const uint8_t* mem = (const uint8_t*)name;
  int64_t length = -1;
  if (memory) {
    if (!mem) return Fail(nullptr, &rd, "Error opening file.");
    if (memorySize < VORN_HEADER_BYTES) return Fail(nullptr, &rd, "Not a Vorn file.");
    memcpy(head, mem, VORN_HEADER_BYTES);
  } else {
    VornReaderOpen open = (flags & VORN_OPEN_CUSTOMIO) && custom ? custom : VornFileReaderOpen;
    if (!open(&rd, name, flags)) {
      if (!g_error[0]) VornSetError("Error opening file.");
      return nullptr;
    }
    length = rd.length;
    if (rd.readHeader(&rd, 0, head, VORN_HEADER_BYTES) != VORN_HEADER_BYTES)
      return Fail(nullptr, &rd, "Not a Vorn file.");
  }
  VornHeader hd;
  ParseHeader(head, &hd);
  int64_t revision = Revision(hd);
  if (revision < 0) return Fail(nullptr, &rd, "Not a Vorn file.");
  if (hd.frames == 0) return Fail(nullptr, &rd, "The file doesn't contain any compressed frames yet.");
  // Without a stated size the caller vouches for the header's data size.
  if (memory) length = memorySize != kNoSize ? (int64_t)memorySize : (int64_t)hd.dataSize + 8;
  if (const char* bad = CheckHeader(hd, length)) return Fail(nullptr, &rd, bad);

  // Geometry: luminance pitch and rows are the picture size rounded to 16.
  uint32_t cw = ((hd.width + 1) / 2 + 7) & ~7u, ch = ((hd.height + 1) / 2 + 7) & ~7u;
  uint32_t pitch = 2 * cw, rows = 2 * ch;
  uint32_t blockCount = (pitch / 16) * (rows / 16);
  uint32_t oneSecond = (uint32_t)(((uint64_t)hd.rate + hd.rateDivisor / 2) / hd.rateDivisor);
  if (oneSecond < 1) oneSecond = 1;
  uint32_t t = hd.trackCount;

  VornGroup g;
  VornGroupStart(&g, sizeof(VornHandle));
  VornGroupAddField(&g, offsetof(VornHandle, blockMap), blockCount + 16);
  for (int i = 0; i < VORN_RINGS; i++)
    VornGroupAddField(&g, offsetof(VornHandle, rings) + i * sizeof(uint32_t*), 4 * (size_t)oneSecond);
  uint32_t bundleSizes[VORN_BUNDLES];
  ExpandBundleSizes(bundleSizes, pitch);
  for (int i = 0; i < VORN_BUNDLES; i++)
    VornGroupAddField(&g, offsetof(VornHandle, bundles) + i * sizeof(uint8_t*), bundleSizes[i]);
  if (!memory) {
    VornGroupAddField(&g, offsetof(VornHandle, index), 4 * ((size_t)hd.indexEntries + 1));
    VornGroupAddField(&g, offsetof(VornHandle, trackBuffers), 4 * (size_t)t);
    VornGroupAddField(&g, offsetof(VornHandle, trackFormats), 4 * (size_t)t);
    VornGroupAddField(&g, offsetof(VornHandle, trackIds), 4 * (size_t)t);
  }
  size_t total = 0;
  VornHandle* h = (VornHandle*)VornGroupAlloc(&g, &total);
  if (!h) return Fail(nullptr, &rd, "Out of memory.");
  h->totalMemory = (uint32_t)total;
  h->reader = rd;
  h->reader.handle = h;
  h->soundTrack = -1;
  h->decodeWidth = h->width = hd.width;
  h->decodeHeight = h->height = hd.height;
  h->frames = hd.frames;
  h->frameNumber = h->lastFrameNumber = 0xFFFFFFFFu;
  h->videoFlags = hd.videoFlags;
  h->dataSize = hd.dataSize;
  h->rectCount = -1;
  h->pitch = pitch;
  h->rows = rows;
  h->chromaWidth = cw;
  h->chromaHeight = ch;
  h->blocksPerRow = pitch / 16;
  h->blockCount = blockCount;
  h->largestFrame = hd.largestFrame;
  h->indexEntries = hd.indexEntries;
  h->trackCount = t;
  h->oneSecond = oneSecond;

  // Flags: the open's, luminance-only from the file, alpha only when the
  // file has it, the display option and the revision.
  h->flags = (flags | (hd.videoFlags & VORN_VIDEO_GRAY)) &
             ~((uint32_t)VORN_VIDEO_OPTION_MASK | (uint32_t)VORN_FLAG_OLD_CODING | (uint32_t)VORN_FLAG_CB_FIRST);
  if (!(hd.videoFlags & VORN_VIDEO_ALPHA)) h->flags &= ~(uint32_t)VORN_OPEN_ALPHA;
  ApplyDisplayOption(h, flags);
  h->flags |= (uint32_t)revision;

  h->fileRate = hd.rate;
  h->fileRateDivisor = hd.rateDivisor;
  h->rate = hd.rate;
  h->rateDivisor = hd.rateDivisor;
  if ((flags & VORN_OPEN_RATE) && g_presetRate >= 0 && g_presetDivisor >= 0) {
    h->rate = (uint32_t)g_presetRate;
    h->rateDivisor = (uint32_t)g_presetDivisor;
    g_presetRate = g_presetDivisor = -1;
  }

  // Tables: in place in memory, else read in file order after the header.
  uint32_t indexEnd = (uint32_t)(VORN_HEADER_BYTES + 12 * (uint64_t)t + 4 * ((uint64_t)hd.indexEntries + 1));
  if (memory) {
    h->trackBuffers = mem + VORN_HEADER_BYTES;
    h->trackFormats = mem + VORN_HEADER_BYTES + 4 * (size_t)t;
    h->trackIds = mem + VORN_HEADER_BYTES + 8 * (size_t)t;
    h->index = mem + VORN_HEADER_BYTES + 12 * (size_t)t;
  } else {
    VornReader* r = &h->reader;
    uint32_t tableBytes = 4 * t, indexBytes = indexEnd - VORN_HEADER_BYTES - 3 * tableBytes;
    if (r->readHeader(r, VORN_READ_HERE, (void*)h->trackBuffers, tableBytes) != tableBytes ||
        r->readHeader(r, VORN_READ_HERE, (void*)h->trackFormats, tableBytes) != tableBytes ||
        r->readHeader(r, VORN_READ_HERE, (void*)h->trackIds, tableBytes) != tableBytes ||
        r->readHeader(r, VORN_READ_HERE, (void*)h->index, indexBytes) != indexBytes)
      return Fail(h, nullptr, "The file ends before the end of its frame index.");
  }
  uint32_t maxFrame = 0;
  if (const char* bad = CheckIndex(h, indexEnd, &maxFrame)) return Fail(h, nullptr, bad);
  ScanIndex(h);
  if (!AllocPictures(h)) return Fail(h, nullptr, "Out of memory.");

  uint32_t request = h->peakSecondBytes;
  if ((flags & VORN_OPEN_IOSIZE) && g_presetBuffer >= 0) {
    request = (uint32_t)g_presetBuffer;
    g_presetBuffer = -1;
  }
  uint32_t speed = 0;
  if ((flags & VORN_OPEN_SIMULATE) && g_presetSpeed >= 0) {
    speed = (uint32_t)g_presetSpeed;
    g_presetSpeed = -1;
  }
  if (memory) {
    uint32_t first = Offset(h, 0);
    h->dataBase = mem + first;
    h->dataBytes = (uint64_t)length > first ? Clamp32((uint64_t)length - first) : 0;
  } else if (!SetUpFrameData(h, request, speed, length, maxFrame)) {
    return Fail(h, nullptr, "Out of memory.");
  }

  h->blockMap[blockCount] = 0;
  h->skipThreshold = h->rate ? Clamp32(2000 * (uint64_t)h->rateDivisor / h->rate) : 2000;
  VornSeekFrame(h, 1);
  h->openTime = PlatClockMs() - start;
  if (VornUsesReader(h) && !(flags & VORN_OPEN_NOFILL))
    while (h->reader.idle(&h->reader) != 0) {
    }

  OpenSound(h, flags);
  if ((!(h->flags & VORN_OPEN_NOTHREAD) && !memory) || h->soundTrack >= 0) {
    if (!VornThreadStart(h)) return Fail(h, nullptr, nullptr);
  }
  return h;
}

extern "C" void VornClose(VornHandle* h) {
  if (!h) return;
  VornSetPaused(h, 1);
  VornThreadStop(h);
  if (h->soundTrack >= 0) {
    VornSoundStop(h);
    h->sound.close(&h->sound);
    VornSoundTrackCount(-1);
    VornAudioClose(h->audio);
    h->audio = nullptr;
  }
  if (h->reader.close) CloseReader(&h->reader);
  VornFree(h->ringMemory);
  VornFree(h->frameBuffer);
  if (!(h->flags & VORN_OPEN_MEMORY)) VornFree(h->preloaded);
  VornFree(h->soundRing);
  VornFree(h->pictureBlock);
  memset(h, 0, sizeof *h);
  VornFree(h);
}
