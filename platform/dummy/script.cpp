// The headless back end: windows on SDL's dummy video driver, events replayed
// from a script at their times, and a sound device paced by its own thread.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <mutex>

#include "platform/backend.h"

static char* g_script;  // from PlatScriptSet
static bool g_scriptSet;

void PlatScriptSet(const char* text) {
  free(g_script);
  g_script = text ? strdup(text) : nullptr;
  g_scriptSet = text != nullptr;
}

static char* LoadScript() {
  if (g_scriptSet) return g_script ? strdup(g_script) : nullptr;
  const char* path = getenv("KOR_PLAT_SCRIPT");
  if (!path || !*path) return nullptr;
  FILE* f = fopen(path, "rb");
  if (!f) return nullptr;
  size_t cap = 4096, n = 0;
  char* buf = (char*)malloc(cap);
  size_t got;
  while (buf && (got = fread(buf + n, 1, cap - n - 1, f)) > 0) {
    n += got;
    if (n + 1 >= cap) buf = (char*)realloc(buf, cap *= 2);
  }
  fclose(f);
  if (buf) buf[n] = 0;
  return buf;
}

static void DummyCreated(PlatWindow* w) {
  w->script = LoadScript();
  w->scriptPos = w->script;
}

// A shown window gets the focus, as on a desktop.
static void DummyShown(PlatWindow* w, int show) {
  if (show) w->focusPending = 1;
}

// Parses one script line into e; returns its time, or -1 at the end.
static long NextLine(const char** pos, PlatEvent* e) {
  while (**pos) {
    const char* line = *pos;
    const char* end = strchr(line, '\n');
    *pos = end ? end + 1 : line + strlen(line);
    char buf[128];
    size_t len = (size_t)((end ? end : *pos) - line);
    if (len >= sizeof buf) len = sizeof buf - 1;
    memcpy(buf, line, len);
    buf[len] = 0;
    long ms;
    char word[32] = "", arg[32] = "";
    int a = 0, b = 0;
    int got = sscanf(buf, "%ld %31s %31s %d", &ms, word, arg, &b);
    if (got < 2 || buf[0] == '#') continue;
    *e = PlatEvent{};
    if (!strcasecmp(word, "char")) {
      e->type = PLAT_EVENT_CHAR;
      e->code = atoi(arg);
    } else if (!strcasecmp(word, "key")) {
      e->type = PLAT_EVENT_CHAR;
      e->code = !strcasecmp(arg, "space") ? ' '
                : !strcasecmp(arg, "enter") ? 13
                : !strcasecmp(arg, "esc")   ? 27
                : !strcasecmp(arg, "dot")   ? '.'
                                            : (uint8_t)arg[0];
    } else if (!strcasecmp(word, "focus")) {
      e->type = PLAT_EVENT_FOCUS;
    } else if (!strcasecmp(word, "unfocus")) {
      e->type = PLAT_EVENT_UNFOCUS;
    } else if (!strcasecmp(word, "paint")) {
      e->type = PLAT_EVENT_PAINT;
    } else if (!strcasecmp(word, "close")) {
      e->type = PLAT_EVENT_CLOSE;
    } else if (!strcasecmp(word, "click") || !strcasecmp(word, "move")) {
      a = atoi(arg);
      e->type = word[0] == 'c' || word[0] == 'C' ? PLAT_EVENT_CLICK : PLAT_EVENT_MOVED;
      e->x = a;
      e->y = got >= 4 ? b : 0;
    } else {
      continue;
    }
    return ms;
  }
  return -1;
}

static int DummyPoll(PlatWindow* w, PlatEvent* e) {
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  if (w->focusPending) {
    w->focusPending = 0;
    e->type = PLAT_EVENT_FOCUS;
    return 1;
  }
  if (!w->scriptPos) return 0;
  const char* at = w->scriptPos;
  PlatEvent next;
  long ms = NextLine(&at, &next);
  if (ms < 0) {
    w->scriptPos = nullptr;
    return 0;
  }
  if ((long)(PlatClockMs() - w->created) < ms) return 0;
  w->scriptPos = at;
  *e = next;
  if (e->type == PLAT_EVENT_MOVED) {
    SDL_SetWindowPosition(w->win, e->x, e->y);
  }
  return 1;
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

const PlatBackEnd kPlatDummyBackEnd = {"dummy", DummyCreated, DummyShown, DummyPoll,
                                       DummySoundOpen, DummySoundPlay, DummySoundLock,
                                       DummySoundClose};
