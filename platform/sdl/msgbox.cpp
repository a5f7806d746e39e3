// Message boxes: SDL when a display exists, else standard error.
#include "platform/plat.h"

#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

// The hooks are one table per process although each shared library carries
// its own copy of this layer: the first copy to install a hook publishes its
// table's address with the process id in $KOR_PLAT_HOOKS, and every copy
// uses the published table (a child process ignores an inherited one).
struct PlatHooks {
  PlatMessageBoxHook box;
  PlatAskHook ask;
};
static PlatHooks g_own_hooks;

static PlatHooks* Hooks(bool publish) {
  const char* e = getenv("KOR_PLAT_HOOKS");
  unsigned long pid;
  void* table;
  if (e && sscanf(e, "%lu:%p", &pid, &table) == 2 && pid == (unsigned long)getpid())
    return (PlatHooks*)table;
  if (!publish) return nullptr;
  char value[64];
  snprintf(value, sizeof value, "%lu:%p", (unsigned long)getpid(), (void*)&g_own_hooks);
  setenv("KOR_PLAT_HOOKS", value, 1);
  return &g_own_hooks;
}

PlatAskHook PlatAskTerminalSetHook(PlatAskHook hook) {
  PlatHooks* h = Hooks(true);
  PlatAskHook old = h->ask;
  h->ask = hook;
  return old;
}

PlatMessageBoxHook PlatMessageBoxSetHook(PlatMessageBoxHook hook) {
  PlatHooks* h = Hooks(true);
  PlatMessageBoxHook old = h->box;
  h->box = hook;
  return old;
}

int PlatHasDisplay(void) {
  const char* headless = getenv("KOR_HEADLESS");
  if (headless && *headless && strcmp(headless, "0") != 0) return 0;
  const char* drv = getenv("SDL_VIDEODRIVER");
  if (drv && (strcasecmp(drv, "dummy") == 0 || strcasecmp(drv, "offscreen") == 0)) return 0;
  const char* x = getenv("DISPLAY");
  const char* w = getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}

int PlatAskTerminal(const char* question) {
  PlatHooks* h = Hooks(false);
  if (h && h->ask) return h->ask(question ? question : "") ? 1 : 0;
  fprintf(stderr, "%s [y/N] ", question ? question : "");
  fflush(stderr);
  FILE* tty = fopen("/dev/tty", "r");
  if (!tty) {
    fputs("n\n", stderr);
    return 0;
  }
  char line[64];
  int yes = 0;
  if (fgets(line, sizeof line, tty)) yes = line[0] == 'y' || line[0] == 'Y';
  fclose(tty);
  return yes;
}

static int ShowSdl(const char* caption, const char* text, unsigned flags) {
  bool inited = SDL_WasInit(SDL_INIT_VIDEO) != 0;
  if (!inited && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return -1;
  SDL_MessageBoxButtonData yesno[2] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, PLAT_ID_YES, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, PLAT_ID_NO, "No"},
  };
  SDL_MessageBoxButtonData ok[1] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, PLAT_ID_OK, "OK"}};
  unsigned icon = flags & 0xF0;
  SDL_MessageBoxData data = {};
  data.flags = icon == PLAT_MB_ICONERROR     ? SDL_MESSAGEBOX_ERROR
               : icon == PLAT_MB_ICONWARNING ? SDL_MESSAGEBOX_WARNING
                                             : SDL_MESSAGEBOX_INFORMATION;
  data.title = caption ? caption : "";
  data.message = text ? text : "";
  bool ask = (flags & 0x0F) == PLAT_MB_YESNO;
  data.numbuttons = ask ? 2 : 1;
  data.buttons = ask ? yesno : ok;
  int button = -1;
  int r = SDL_ShowMessageBox(&data, &button);
  if (!inited) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (r != 0) return -1;
  if (button < 0) return ask ? PLAT_ID_NO : PLAT_ID_OK;
  return button;
}

int PlatMessageBox(const char* caption, const char* text, unsigned flags) {
  PlatHooks* h = Hooks(false);
  if (h && h->box) return h->box(caption, text, flags);
  bool ask = (flags & 0x0F) == PLAT_MB_YESNO;
  if (PlatHasDisplay()) {
    int r = ShowSdl(caption, text, flags);
    if (r >= 0) return r;
  }
  if (ask) {
    fprintf(stderr, "%s:\n", caption ? caption : "");
    return PlatAskTerminal(text) ? PLAT_ID_YES : PLAT_ID_NO;
  }
  fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  fflush(stderr);
  return PLAT_ID_OK;
}
