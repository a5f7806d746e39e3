// Chooses the window and sound back end, and the calls that only forward.
#include "platform/backend.h"

static const PlatBackEnd* g_back;
static int g_videoUsers;
static PlatSoundTap g_tap;

const PlatBackEnd* PlatBack(void) {
  static const PlatBackEnd* const kTable[] = {&kPlatSdlBackEnd, &kPlatDummyBackEnd};
  if (!g_back) g_back = kTable[PlatHasDisplay() ? 0 : 1];
  return g_back;
}

const char* PlatBackEndName(void) { return PlatBack()->name; }

int PlatVideoInit(void) {
  if (g_videoUsers++ > 0) return 1;
  const PlatBackEnd* b = PlatBack();
  if (b == &kPlatDummyBackEnd) SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    g_videoUsers = 0;
    return 0;
  }
  return 1;
}

void PlatVideoQuit(void) {
  if (g_videoUsers <= 0 || --g_videoUsers > 0) return;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

int PlatWindowPoll(PlatWindow* w, PlatEvent* e) {
  if (!w || !e) return 0;
  *e = PlatEvent{};
  return PlatBack()->poll(w, e);
}

PlatSound* PlatSoundOpen(uint32_t rate, uint32_t bits, uint32_t channels, uint32_t samples,
                         PlatSoundProc proc, void* user) {
  if (!proc || rate == 0 || (bits != 8 && bits != 16) || channels < 1 || channels > 2) return nullptr;
  return PlatBack()->soundOpen(rate, bits, channels, samples ? samples : 1024, proc, user);
}
void PlatSoundPlay(PlatSound* s, int on) {
  if (s) PlatBack()->soundPlay(s, on);
}
void PlatSoundLock(PlatSound* s) {
  if (s) PlatBack()->soundLock(s, 1);
}
void PlatSoundUnlock(PlatSound* s) {
  if (s) PlatBack()->soundLock(s, 0);
}
void PlatSoundClose(PlatSound* s) {
  if (s) PlatBack()->soundClose(s);
}

PlatSoundTap PlatSoundSetTap(PlatSoundTap tap) {
  PlatSoundTap old = g_tap;
  __atomic_store_n(&g_tap, tap, __ATOMIC_SEQ_CST);
  return old;
}

void PlatSoundTapCall(const uint8_t* data, uint32_t bytes, uint32_t rate, uint32_t bits,
                      uint32_t channels) {
  PlatSoundTap t = __atomic_load_n(&g_tap, __ATOMIC_SEQ_CST);
  if (t) t(data, bytes, rate, bits, channels);
}
