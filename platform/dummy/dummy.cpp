// The headless back end: windows on SDL's dummy video driver, events from
// the script only, and a sound device paced by its own thread.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <mutex>

#include "platform/backend.h"

// A shown window gets the focus, as on a desktop.
static void DummyShown(PlatWindow* w, int show) {
  if (show) w->focusPending = 1;
}

static int DummyPoll(PlatWindow* w, PlatEvent* e) {
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  if (w->focusPending) {
    w->focusPending = 0;
    e->type = PLAT_EVENT_FOCUS;
    return 1;
  }
  return PlatScriptPoll(w, e);
}

// ---------------------------------------------------------------- sound
struct PlatSound {
  PlatSoundProc proc;
  void* user;
  uint32_t rate, bits, channels, samples, bytes;
  uint8_t* block;
  PlatThread* thread;
  volatile int32_t run, playing;
  std::recursive_mutex lock;
};

static void Pump(void* arg) {
  PlatSound* s = (PlatSound*)arg;
  uint64_t period = (uint64_t)s->samples * 1000000 / s->rate;
  uint64_t next = PlatClockUs();
  while (PlatAtomicLoad(&s->run)) {
    uint64_t now = PlatClockUs();
    if (now < next) {
      uint64_t wait = (next - now) / 1000;
      PlatSleep(wait > 5 ? 5 : wait ? (uint32_t)wait : 1);
      continue;
    }
    next += period;
    if (now > next + 4 * period) next = now + period;
    if (!PlatAtomicLoad(&s->playing)) continue;
    {
      std::lock_guard<std::recursive_mutex> g(s->lock);
      s->proc(s->user, s->block, s->bytes);
    }
    PlatSoundTapCall(s->block, s->bytes, s->rate, s->bits, s->channels);
  }
}

static PlatSound* DummySoundOpen(uint32_t rate, uint32_t bits, uint32_t channels, uint32_t samples,
                                 PlatSoundProc proc, void* user) {
  PlatSound* s = new (std::nothrow) PlatSound();
  if (!s) return nullptr;
  s->proc = proc;
  s->user = user;
  s->rate = rate;
  s->bits = bits;
  s->channels = channels;
  s->samples = samples;
  s->bytes = samples * channels * bits / 8;
  s->block = (uint8_t*)calloc(1, s->bytes);
  s->run = 1;
  s->thread = s->block ? PlatThreadCreate(Pump, s) : nullptr;
  if (!s->thread) {
    free(s->block);
    delete s;
    return nullptr;
  }
  return s;
}

static void DummySoundPlay(PlatSound* s, int on) { PlatAtomicStore(&s->playing, on ? 1 : 0); }
static void DummySoundLock(PlatSound* s, int lock) {
  if (lock)
    s->lock.lock();
  else
    s->lock.unlock();
}
static void DummySoundClose(PlatSound* s) {
  PlatAtomicStore(&s->run, 0);
  PlatThreadJoin(s->thread);
  free(s->block);
  delete s;
}

const PlatBackEnd kPlatDummyBackEnd = {"dummy", PlatScriptStart, DummyShown, DummyPoll,
                                       DummySoundOpen, DummySoundPlay, DummySoundLock,
                                       DummySoundClose};
