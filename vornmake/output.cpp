#include "vornmake/output.h"

#include "korutil/korutil.h"
#include "platform/plat.h"
#include "vornmake/sound.h"

// A writer that finds a flush pending steps back while it waits, so that the
// flush, which waits for no writer to be busy, can go ahead.
void VmkWriterEnter(VornMakeHandle* h) {
  for (;;) {
    PlatAtomicInc8(&h->writersBusy);
    if (!__atomic_load_n(&h->flushing, __ATOMIC_SEQ_CST)) return;
    PlatAtomicDec8(&h->writersBusy);
    PlatSleep(1);
  }
}

void VmkWriterLeave(VornMakeHandle* h) { PlatAtomicDec8(&h->writersBusy); }

static void PutTables(VornMakeHandle* h) {
  for (uint32_t i = 0; i < h->trackCount; i++) KORFilePut32(h->file, h->tracks[i].largestPacket);
  for (uint32_t i = 0; i < h->trackCount; i++) KORFilePut32(h->file, h->tracks[i].format);
  for (uint32_t i = 0; i < h->trackCount; i++) KORFilePut32(h->file, h->tracks[i].id);
}

void VmkWriteHead(VornMakeHandle* h) {
  VmkWriterEnter(h);
  KORFile* f = h->file;
  KORFilePutNB(f, "VRNi", 4);
  KORFilePut32(f, 0);
  KORFilePut32(f, h->framesDone);
  KORFilePut32(f, 0);
  KORFilePut32(f, h->framesDeclared);
  KORFilePut32(f, (uint32_t)h->width);
  KORFilePut32(f, h->height);
  KORFilePut32(f, h->rateNum);
  KORFilePut32(f, h->rateDen);
  KORFilePut32(f, (h->scaleMode << 28) | h->flags);
  KORFilePut32(f, h->trackCount);
  PutTables(h);
  for (uint32_t i = 0; i <= h->framesDeclared; i++) KORFilePut32(f, 0);
  VmkWriterLeave(h);
}

uint32_t VmkRecordBegin(VornMakeHandle* h, int key) {
  VmkWriterEnter(h);
  uint32_t start = KORFileGetPos(h->file);
  h->frameOffsets[h->framesDone] = start | (key ? 1 : 0);
  VmkWriterLeave(h);
  h->progressFrame = (int32_t)h->framesDone + 1;
  if (h->callback && h->callback(1, h, "Compressing")) h->cancel = 1;
  return start;
}

uint32_t VmkRecordEnd(VornMakeHandle* h, uint32_t start, const uint32_t lengths[VMK_PLANES],
                      uint32_t error, uint32_t* afterSound) {
  // Offsets are 32-bit: a record that would end beyond them is not written
  // and the file ends with the frames before it.
  const uint64_t video = 4 + (uint64_t)lengths[VMK_Y] + lengths[VMK_CR] + lengths[VMK_CB] +
                         ((h->flags & VORNMAKE_ALPHA) ? 4 + (uint64_t)lengths[VMK_ALPHA] : 0);
  if ((uint64_t)start + 4 * (uint64_t)h->trackCount + video > 0xFFFFFF00u) {
    if (!h->cancel && h->callback) h->callback(2, h, "The Vorn file has reached its largest size (4 GB); it ends here.");
    h->cancel = 1;
    *afterSound = start;
    return start;
  }
  VmkWriterEnter(h);
  KORFile* f = h->file;
  VmkWritePackets(h, h->framesDone);
  *afterSound = KORFileGetPos(f);
  if (h->flags & VORNMAKE_ALPHA) {
    KORFilePut32(f, lengths[VMK_ALPHA] + 4);
    KORFilePutNB(f, h->bitstream[VMK_ALPHA], (int32_t)lengths[VMK_ALPHA]);
  }
  KORFilePut32(f, lengths[VMK_Y] + 4);
  KORFilePutNB(f, h->bitstream[VMK_Y], (int32_t)lengths[VMK_Y]);
  if (!(h->flags & VORNMAKE_GREY)) {
    KORFilePutNB(f, h->bitstream[VMK_CR], (int32_t)lengths[VMK_CR]);
    KORFilePutNB(f, h->bitstream[VMK_CB], (int32_t)lengths[VMK_CB]);
  }
  const uint32_t end = KORFileGetPos(f);
  h->frameErrors[h->framesDone] = error;
  h->frameOffsets[h->framesDone + 1] = end;
  if (end - start > h->largestFrame) h->largestFrame = end - start;
  h->bytesWritten = end;
  h->framesDone++;
  if (f->write_failed) h->failed = 1;
  VmkWriterLeave(h);
  return end;
}

int VmkFlush(VornMakeHandle* h, uint32_t wait) {
  PlatAtomicInc8(&h->flushing);
  const uint32_t start = KORTimerRead();
  while (__atomic_load_n(&h->writersBusy, __ATOMIC_SEQ_CST) ||
         __atomic_load_n(&h->flushing, __ATOMIC_SEQ_CST) != 1) {
    if (KORTimerRead() - start >= wait) {
      PlatAtomicDec8(&h->flushing);
      return 0;
    }
    PlatSleep(1);
  }
  KORFile* f = h->file;
  // The writer always appends: where it stands is the end of the file.
  const uint32_t pos = KORFileGetPos(f);
  KORFileSetPos(f, 4);
  KORFilePut32(f, pos - 8);
  KORFilePut32(f, h->framesDone);
  KORFilePut32(f, h->largestFrame);
  KORFileSetPos(f, 44);
  PutTables(h);
  for (uint32_t i = 0; i <= h->framesDeclared; i++) KORFilePut32(f, h->frameOffsets[i]);
  KORFileSetPos(f, pos);
  // Forced to disk before the file is given back, so that no writer touches
  // the buffer meanwhile.
  KORFileFlush(f, 1);
  if (f->write_failed) h->failed = 1;
  PlatAtomicDec8(&h->flushing);
  return 1;
}
