// The background reader thread: read-ahead steps and sound service while the
// handle's run flag is 1; on leaving it sets the flag to 2.
#include "vorn/internal.h"

static void ThreadProc(void* arg) {
  VornHandle* h = (VornHandle*)arg;
  uint32_t lastService = PlatClockMs();
  while (PlatAtomicLoad(&h->runFlag) == 1) {
    if ((h->flags & VORN_OPEN_NOTHREAD) || !VornUsesReader(h)) {
      PlatSleep(10);
    } else {
      VornReader* r = &h->reader;
      r->idle(r);
      int64_t fill = PlatAtomicLoad(&r->fill), target = PlatAtomicLoad(&r->fillTarget);
      // Back off above half the reachable fill, run flat out below it.
      if ((fill + 1) * 100 / (target + 1) > 50) PlatSleep(5);
    }
    uint32_t now = PlatClockMs();
    if (now - lastService >= 10 && h->soundTrack >= 0) {
      lastService = now;
      VornFeedSound(h);
    }
  }
  PlatAtomicStore(&h->runFlag, 2);
}

int VornThreadStart(VornHandle* h) {
  PlatAtomicStore(&h->runFlag, 1);
  h->thread = PlatThreadCreate(ThreadProc, h);
  if (!h->thread) PlatAtomicStore(&h->runFlag, 0);
  return h->thread != nullptr;
}

void VornThreadStop(VornHandle* h) {
  if (PlatAtomicLoad(&h->runFlag) == 1) {
    PlatAtomicStore(&h->runFlag, 0);
    while (PlatAtomicLoad(&h->runFlag) == 0) PlatSleep(1);
  }
  if (h->thread) PlatThreadJoin(h->thread);
  h->thread = nullptr;
}
