// The default reader: a file read through a read-ahead ring filled one
// VORN_READ_STEP at a time, with direct reads for what the ring lacks and a
// simulated device speed.
//
// Locking: a read-ahead step holds both 8-bit locks; every other operation
// holds the busy lock and waits until the read-ahead lock is free. Copying
// frame data that is already in the ring takes no lock: the ring is a
// single-producer single-consumer queue whose fill and free counts change
// only by atomic additions.
#include <string.h>

#include "vorn/internal.h"

static void Service(VornReader* r) {
  if (r->handle) VornServiceSound(r->handle);
}

static int32_t Load(const volatile int32_t* p) { return PlatAtomicLoad(p); }

static void TakeBusy(VornReader* r) {
  PlatAtomicInc8(&r->busyLock);
  while (__atomic_load_n(&r->readAheadLock, __ATOMIC_SEQ_CST) != 0) {
    PlatSleep(1);
    Service(r);
  }
}

static void ReleaseBusy(VornReader* r) { PlatAtomicDec8(&r->busyLock); }

static void RecomputeTarget(VornReader* r) {
  uint32_t left = r->fileSize > r->logicalPos ? r->fileSize - r->logicalPos : 0;
  PlatAtomicStore(&r->fillTarget, (int32_t)(left < r->ringSize ? left : r->ringSize));
}

static void EmptyRing(VornReader* r) {
  PlatAtomicStore(&r->fill, 0);
  PlatAtomicStore(&r->freeBytes, (int32_t)r->ringSize);
  r->readPtr = r->writePtr = r->ringStart;
  PlatAtomicStore(&r->atEnd, 0);
}

// After a timed read of b bytes that began at t0 (microseconds): wait until
// the read has taken as long as the simulated device would. The debt is kept
// in microseconds so that fractions of a millisecond add up over many reads.
static void Simulate(VornReader* r, uint32_t bytes, uint64_t t0) {
  if (!r->speed) return;
  uint64_t now = PlatClockUs();
  int64_t owed = ((int64_t)bytes * 1000000 + r->speed - 1) / r->speed;
  int64_t debt = (int64_t)r->debt + owed - (int64_t)(now - t0);
  while (debt > 0) {
    PlatSleep(1);
    Service(r);
    uint64_t t = PlatClockUs();
    debt -= (int64_t)(t - now);
    now = t;
  }
  r->debt = debt < INT32_MIN ? INT32_MIN : (int32_t)debt;
}

static uint32_t DeviceRead(VornReader* r, void* dst, uint32_t bytes) {
  uint32_t t0 = PlatClockMs();
  uint32_t n = PlatFileRead(r->file, dst, bytes);
  r->readTime += PlatClockMs() - t0;
  r->bytesRead += n;
  r->physicalPos += n;
  return n;
}

static uint32_t ReadHeader(VornReader* r, uint32_t offset, void* dst, uint32_t bytes) {
  TakeBusy(r);
  uint32_t n = 0;
  int ok = 1;
  if (offset != VORN_READ_HERE && offset != r->physicalPos) {
    ok = PlatFileSeek(r->file, r->baseOffset + offset, 0) >= 0;
    if (ok) r->physicalPos = offset;
  }
  if (ok) n = DeviceRead(r, dst, bytes);
  r->logicalPos = r->physicalPos;
  // Whatever the ring held belongs to the old position.
  EmptyRing(r);
  RecomputeTarget(r);
  ReleaseBusy(r);
  return n;
}

// Copies what the ring holds, up to n bytes; returns the count.
static uint32_t CopyFromRing(VornReader* r, uint8_t* dst, uint32_t n) {
  int32_t fill = Load(&r->fill);
  uint32_t take = fill > 0 ? ((uint32_t)fill < n ? (uint32_t)fill : n) : 0;
  uint32_t done = 0;
  while (done < take) {
    uint32_t run = (uint32_t)(r->ringEnd - r->readPtr);
    if (run > take - done) run = take - done;
    memcpy(dst + done, r->readPtr, run);
    done += run;
    r->readPtr += run;
    if (r->readPtr == r->ringEnd) r->readPtr = r->ringStart;
  }
  r->logicalPos += take;
  PlatAtomicAdd(&r->fill, -(int32_t)take);
  PlatAtomicAdd(&r->freeBytes, (int32_t)take);
  return take;
}

static uint32_t ReadFrame(VornReader* r, uint32_t, uint32_t offset, void* dst, uint32_t bytes) {
  if (Load(&r->readError)) return 0;
  uint32_t t0 = PlatClockMs();
  int locked = 0;
  if (offset != r->logicalPos) {
    TakeBusy(r);
    locked = 1;
    if (offset < r->logicalPos || offset > r->physicalPos) {
      PlatFileSeek(r->file, r->baseOffset + offset, 0);
      r->physicalPos = r->logicalPos = offset;
      EmptyRing(r);
    } else {
      // Skip forward inside the ring.
      uint32_t k = offset - r->logicalPos;
      r->logicalPos = offset;
      PlatAtomicAdd(&r->fill, -(int32_t)k);
      PlatAtomicAdd(&r->freeBytes, (int32_t)k);
      uint32_t ahead = (uint32_t)(r->ringEnd - r->readPtr);
      r->readPtr = k < ahead ? r->readPtr + k : r->ringStart + (k - ahead);
    }
  }
  uint8_t* out = (uint8_t*)dst;
  uint32_t done = CopyFromRing(r, out, bytes);
  if (done < bytes && !locked) {
    TakeBusy(r);
    locked = 1;
    done += CopyFromRing(r, out + done, bytes - done);
  }
  if (done < bytes) {
    // The ring is empty and the read-ahead stopped: the physical position is
    // the logical one.
    uint64_t t1 = PlatClockUs();
    uint32_t want = bytes - done;
    uint32_t n = DeviceRead(r, out + done, want);
    if (n < want) PlatAtomicStore(&r->readError, 1);
    r->logicalPos += n;
    done += n;
    Simulate(r, n, t1);
  }
  r->frameReadTime += PlatClockMs() - t0;
  RecomputeTarget(r);
  if (locked) ReleaseBusy(r);
  return done;
}

static uint32_t BufferSize(VornReader*, uint32_t bytes) {
  const uint32_t most = 0xFFFFFFFFu & ~(uint32_t)(VORN_READ_STEP - 1);
  return bytes > most ? most : (bytes + VORN_READ_STEP - 1) & ~(uint32_t)(VORN_READ_STEP - 1);
}

static void SetInfo(VornReader* r, uint8_t* ring, uint32_t ringBytes, uint32_t fileSize,
                    uint32_t speed) {
  TakeBusy(r);
  r->ringSize = ring ? ringBytes & ~(uint32_t)(VORN_READ_STEP - 1) : 0;
  // The fill and free counts are 32-bit signed.
  if (r->ringSize > 0x7FFFF000u) r->ringSize = 0x7FFFF000u;
  r->ringStart = ring;
  r->ringEnd = ring ? ring + r->ringSize : nullptr;
  r->fileSize = fileSize;
  r->speed = speed;
  r->debt = 0;
  EmptyRing(r);
  RecomputeTarget(r);
  ReleaseBusy(r);
}

static int32_t Idle(VornReader* r) {
  if (Load(&r->readError)) return 0;
  uint8_t ahead = PlatAtomicInc8(&r->readAheadLock);
  uint8_t busy = PlatAtomicInc8(&r->busyLock);
  if (ahead != 1 || busy != 1) {
    PlatAtomicDec8(&r->busyLock);
    PlatAtomicDec8(&r->readAheadLock);
    PlatSleep(1);
    return -1;
  }
  int32_t result = 0;
  int wasBusy = Load(&r->decoderBusy) != 0;
  uint32_t t0 = PlatClockMs();
  uint64_t t0us = PlatClockUs();
  // The last partial step of the file is left to the frame read.
  if (Load(&r->freeBytes) < VORN_READ_STEP || Load(&r->atEnd) ||
      r->fileSize - r->physicalPos < (uint32_t)VORN_READ_STEP || r->physicalPos > r->fileSize) {
    PlatAtomicStore(&r->fillTarget, Load(&r->fill));
  } else {
    PlatAtomicStore(&r->reading, 1);
    uint32_t n = DeviceRead(r, r->writePtr, VORN_READ_STEP);
    PlatAtomicStore(&r->reading, 0);
    // A file that ends early stops the read-ahead; the frame read that needs
    // the missing bytes sets the read error, so every frame before the end
    // still decodes however far the read-ahead had got.
    if (n < (uint32_t)VORN_READ_STEP) PlatAtomicStore(&r->atEnd, 1);
    r->writePtr += n;
    if (r->writePtr == r->ringEnd) r->writePtr = r->ringStart;
    PlatAtomicAdd(&r->freeBytes, -(int32_t)n);
    int32_t fill = PlatAtomicAdd(&r->fill, (int32_t)n);
    if ((uint32_t)fill > r->highestFill) r->highestFill = (uint32_t)fill;
    Simulate(r, n, t0us);
    uint32_t spent = PlatClockMs() - t0;
    if (wasBusy || Load(&r->decoderBusy))
      r->busyReadAheadTime += spent;
    else
      r->backgroundTime += spent;
    result = n ? VORN_READ_STEP : 0;
  }
  PlatAtomicDec8(&r->busyLock);
  PlatAtomicDec8(&r->readAheadLock);
  return result;
}

static void Close(VornReader* r) {
  TakeBusy(r);
  if (!r->callersFile) PlatFileClose(r->file);
  r->file = PLAT_FILE_INVALID;
  ReleaseBusy(r);
}

extern "C" int VornFileReaderOpen(VornReader* r, const char* name, uint32_t flags) {
  memset(r, 0, sizeof *r);
  r->length = -1;
  r->file = PLAT_FILE_INVALID;
  if (flags & VORN_OPEN_HANDLE) {
    PlatFile f = (PlatFile)(intptr_t)name;
    int64_t at = f >= 0 ? PlatFileTell(f) : -1;
    if (at < 0) return 0;
    r->file = f;
    r->callersFile = 1;
    r->baseOffset = at;
  } else {
    unsigned mode = PLAT_FILE_READ | PLAT_FILE_SEQUENTIAL | PLAT_FILE_SHARE_READ;
    r->file = PlatFileOpen(name, mode);
    if (r->file == PLAT_FILE_INVALID) r->file = PlatFileOpen(name, mode | PLAT_FILE_SHARE_WRITE);
    if (r->file == PLAT_FILE_INVALID) return 0;
  }
  int64_t size = PlatFileSize(r->file);
  if (size >= 0) r->length = size > r->baseOffset ? size - r->baseOffset : 0;
  r->readHeader = ReadHeader;
  r->readFrame = ReadFrame;
  r->bufferSize = BufferSize;
  r->setInfo = SetInfo;
  r->idle = Idle;
  r->close = Close;
  return 1;
}
