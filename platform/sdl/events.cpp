// The display back end: SDL events and an SDL audio device.
#include <stdlib.h>

#include "platform/backend.h"

static int SdlPoll(PlatWindow* w, PlatEvent* e) {
  if (PlatScriptPoll(w, e)) return 1;
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
    switch (ev.type) {
      case SDL_QUIT:
        e->type = PLAT_EVENT_CLOSE;
        return 1;
      case SDL_TEXTINPUT:
        // Space and the dot come as text; one character per event is enough
        // for the keys the players read.
        if (ev.text.text[0]) {
          e->type = PLAT_EVENT_CHAR;
          e->code = (uint8_t)ev.text.text[0];
          return 1;
        }
        break;
      case SDL_KEYDOWN: {
        SDL_Keycode k = ev.key.keysym.sym;
        int code = k == SDLK_RETURN || k == SDLK_KP_ENTER ? 13 : k == SDLK_ESCAPE ? 27 : k == SDLK_BACKSPACE ? 8 : 0;
        if (code) {
          e->type = PLAT_EVENT_CHAR;
          e->code = code;
          return 1;
        }
        break;
      }
      case SDL_MOUSEBUTTONUP:
        if (ev.button.button == SDL_BUTTON_LEFT && PlatWindowFromId(ev.button.windowID) == w) {
          e->type = PLAT_EVENT_CLICK;
          e->x = ev.button.x;
          e->y = ev.button.y;
          return 1;
        }
        break;
      case SDL_WINDOWEVENT:
        if (PlatWindowFromId(ev.window.windowID) != w) break;
        switch (ev.window.event) {
          case SDL_WINDOWEVENT_CLOSE: e->type = PLAT_EVENT_CLOSE; return 1;
          case SDL_WINDOWEVENT_FOCUS_GAINED: e->type = PLAT_EVENT_FOCUS; return 1;
          case SDL_WINDOWEVENT_FOCUS_LOST: e->type = PLAT_EVENT_UNFOCUS; return 1;
          case SDL_WINDOWEVENT_EXPOSED: e->type = PLAT_EVENT_PAINT; return 1;
          case SDL_WINDOWEVENT_MOVED:
            e->type = PLAT_EVENT_MOVED;
            e->x = ev.window.data1;
            e->y = ev.window.data2;
            return 1;
        }
        break;
    }
  }
  return 0;
}

static void SdlShown(PlatWindow*, int) {}

struct PlatSound {
  SDL_AudioDeviceID dev;
  PlatSoundProc proc;
  void* user;
  uint32_t rate, bits, channels;
};

static void SdlCallback(void* arg, Uint8* out, int len) {
  PlatSound* s = (PlatSound*)arg;
  s->proc(s->user, out, (uint32_t)len);
  PlatSoundTapCall(out, (uint32_t)len, s->rate, s->bits, s->channels);
}

static PlatSound* SdlSoundOpen(uint32_t rate, uint32_t bits, uint32_t channels, uint32_t samples,
                               PlatSoundProc proc, void* user) {
  if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
  PlatSound* s = (PlatSound*)calloc(1, sizeof(PlatSound));
  if (!s) return nullptr;
  s->proc = proc;
  s->user = user;
  s->rate = rate;
  s->bits = bits;
  s->channels = channels;
  SDL_AudioSpec want = {}, have = {};
  want.freq = (int)rate;
  want.format = bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
  want.channels = (Uint8)channels;
  want.samples = (Uint16)(samples > 32768 ? 32768 : samples);
  want.callback = SdlCallback;
  want.userdata = s;
  s->dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (!s->dev) {
    free(s);
    return nullptr;
  }
  return s;
}

static void SdlSoundPlay(PlatSound* s, int on) { SDL_PauseAudioDevice(s->dev, on ? 0 : 1); }
static void SdlSoundLock(PlatSound* s, int lock) {
  if (lock)
    SDL_LockAudioDevice(s->dev);
  else
    SDL_UnlockAudioDevice(s->dev);
}
static void SdlSoundClose(PlatSound* s) {
  SDL_CloseAudioDevice(s->dev);
  free(s);
}

const PlatBackEnd kPlatSdlBackEnd = {"sdl", PlatScriptStart, SdlShown, SdlPoll,
                                     SdlSoundOpen, SdlSoundPlay, SdlSoundLock, SdlSoundClose};
