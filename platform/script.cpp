// Scripted events: a list of timed events replayed into a window, for
// headless runs and for driving a real window from a file.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

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

void PlatScriptStart(PlatWindow* w) {
  w->script = LoadScript();
  w->scriptPos = w->script;
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

int PlatScriptPoll(PlatWindow* w, PlatEvent* e) {
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
  if (e->type == PLAT_EVENT_MOVED) SDL_SetWindowPosition(w->win, e->x, e->y);
  return 1;
}
