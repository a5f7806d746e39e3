// Back ends of the window and sound layer, chosen once by PlatVideoInit.
#pragma once

#include <SDL.h>

#include "platform/plat.h"

struct PlatBackEnd {
  const char* name;
  // Called after a window is created (the dummy back end starts its script).
  void (*windowCreated)(PlatWindow* w);
  void (*windowShown)(PlatWindow* w, int show);
  int (*poll)(PlatWindow* w, PlatEvent* e);
  PlatSound* (*soundOpen)(uint32_t rate, uint32_t bits, uint32_t channels, uint32_t samples,
                          PlatSoundProc proc, void* user);
  void (*soundPlay)(PlatSound* s, int on);
  void (*soundLock)(PlatSound* s, int lock);
  void (*soundClose)(PlatSound* s);
};

extern const PlatBackEnd kPlatSdlBackEnd;
extern const PlatBackEnd kPlatDummyBackEnd;
// The back end in use (chosen on first use).
const PlatBackEnd* PlatBack(void);

struct PlatWindow {
  SDL_Window* win;
  SDL_Renderer* renderer;   // while a texture surface exists
  SDL_Surface* backdrop;    // client pixels outside the picture, renderer mode
  SDL_Texture* backdropTex;
  PlatSurface* shown;       // the texture surface composed over the backdrop
  PlatRect shownDst;
  unsigned flags;
  uint32_t created;         // PlatClockMs at creation
  // Dummy back end: the script and where it stands.
  char* script;
  const char* scriptPos;
  int focusPending;
};

// Hands a block the device played to the test tap.
void PlatSoundTapCall(const uint8_t* data, uint32_t bytes, uint32_t rate, uint32_t bits,
                      uint32_t channels);
// The event script (script.cpp): loads it for a new window; replays due events.
void PlatScriptStart(PlatWindow* w);
int PlatScriptPoll(PlatWindow* w, PlatEvent* e);
// Window id lookup for the SDL event source.
PlatWindow* PlatWindowFromId(uint32_t id);
