// Message boxes: SDL when a display exists, else standard error.
#include "platform/plat.h"

#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

static PlatMessageBoxHook g_hook;
static PlatAskHook g_ask_hook;

PlatAskHook PlatAskTerminalSetHook(PlatAskHook hook) {
  PlatAskHook old = g_ask_hook;
  g_ask_hook = hook;
  return old;
}

PlatMessageBoxHook PlatMessageBoxSetHook(PlatMessageBoxHook hook) {
  PlatMessageBoxHook old = g_hook;
  g_hook = hook;
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
  if (g_ask_hook) return g_ask_hook(question ? question : "") ? 1 : 0;
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
  if (g_hook) return g_hook(caption, text, flags);
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
