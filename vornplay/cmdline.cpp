// Working command line: the stored part, cancellations, switches, names.
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vornplay/player.h"

// ---------------------------------------------------------------- stored line
// A packaging tool finds the marker in a copy of the program and writes a
// command line (at most 511 characters, then "~" or a 0) into the text.
struct StoredArea {
  char marker[24];
  char text[PLAYER_STORED];
};
static constexpr StoredArea MakeStored() {
  StoredArea a{};
  const char m[] = "KOR:VORNPLAY:CMDLINE:01";
  for (unsigned i = 0; i < sizeof m; i++) a.marker[i] = m[i];
  for (unsigned i = 0; i < PLAYER_STORED; i++) a.text[i] = '~';
  return a;
}
__attribute__((used)) static const StoredArea kStored = MakeStored();

const char* PlayerStoredLine(void) {
  static char copy[PLAYER_STORED + 1];
  // Read through volatile: the bytes may have been patched in the file.
  const volatile char* p = kStored.text;
  for (int i = 0; i < PLAYER_STORED; i++) copy[i] = p[i];
  copy[PLAYER_STORED] = 0;
  return copy;
}

// ---------------------------------------------------------------- help
const char* PlayerHelpText(void) {
  return "VornPlay 1.0q - Vorn Video Player for the KOR video tool kit\n"
         "  SYNTAX: VornPlay <Vorn1 Vorn2 ...> [/Switches]:\n"
         "    /P  \t- Preload the entire Vorn video into memory.\n"
         "    /L##\t- Loop the animation (just/L for infinite).\n"
         "    /F#.#\t- Use this frame rate (just /F for fast).\n"
         "    /T##\t- Play the specified sound track.\n"
         "    /Z  \t- Use waveOut instead of DirectSound for audio output.\n"
         "    /S  \t- Show the playback summary when finished.\n"
         "    /X##\t- Specifies the X coordinate of the playback.\n"
         "    /Y##\t- Specifies the Y coordinate of the playback.\n"
         "    /W#.#\t- Stretch to this width in pixels (can be slow). Use negative numbers for\n"
         "         \t    scaling (i.e. for 2x, use '/w-2').  For full screen, use -1 ('/w-1').\n"
         "    /H#.#\t- Stretch to this height in pixels (can be slow).\n"
         "    /R   \t- Fill the screen with a black background.\n"
         "    /C   \t- Hide the cursor when in the Vorn window.\n"
         "    /M##\t- Simulate this read speed (in bytes/second).\n"
         "    /E##\t- Specified the amount of memory for read buffering.\n"
         "    /G  \t- Don't load the read buffer when opening the Vorn (faster opening).\n"
         "    /K  \t- Do not use multi-threaded device reading.\n"
         "    /U##\t- Disable controls: 1=pause, 2=skip, 4=quit.\n"
         "    /N  \t- Never skip frames when falling behind.\n"
         "    /Q  \t- Show run-time playback statistics.\n"
         "    /J  \t- Don't pause the video when the focus is lost.\n"
         "    /I# \t- Window style: 0=normal, 1=no caption, 2=nothing.  Add 100 for always-on-top.\n"
         "    /A##\t- Display options: 1=2x height doubled, 2=2x height interlaced, 3=2x width doubled,\n"
         "        \t    4=2x width and height interlaced, 5=2x width and height doubled,\n"
         "        \t    6=1x height interlaced, 7=force none. Add 100 for grayscale.\n"
         "    /D##\t- Display resolution: 1=320x200, 2=320x240, 3=320x400, 4=400x300, 5=480x360,\n"
         "        \t    6=512x384, 7=640x400, 8=640x480, 9=800x600, 10=960x720, 11=1024x768,\n"
         "        \t    12=1152x864, 13=1280x1024. To set the color depth, add: 0 for 16-bit,\n"
         "        \t    100 for 24-bit, 200 for 32-bit, 300 for 8-bit, 400 for at least\n"
         "        \t    high-color (16, 32, then 24), 500 to try true-color (32, 24, then 16),\n"
         "        \t    and 600 for true-color only (32, then 24).\n"
         "    /B##\t- Blitting style: 0=Automatic, 1=DirectDraw primary display (best quality,\n"
         "        \t    very fast), 2=DIBSection (best quality, most compatible), 3=YV12 overlay,\n"
         "        \t    4=YUY2 overlay, 5=UYVY overlay, 6=YV12 off-screen, 7=YUY2 off-screen,\n"
         "        \t    8=UYVY off-screen, 9=DirectDraw RGB video memory off-screen,\n"
         "        \t    10=DirectDraw RGB system memory off-screen.\n";
}

// ---------------------------------------------------------------- switches
static bool Space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A token starting with '/' is a path rather than switches when it names
// something that exists, or lies in a folder that exists.
static bool PathToken(const char* token, size_t len) {
  char buf[PLAYER_LINE];
  if (len == 0 || len >= sizeof buf) return false;
  memcpy(buf, token, len);
  buf[len] = 0;
  if (PlatFileExists(buf)) return true;
  char* slash = strrchr(buf, '/');
  if (!slash || slash == buf) return false;
  *slash = 0;
  return PlatIsDirectory(buf) != 0;
}

// Index of the first switch '/' at or after from (outside quotes, in a token
// that starts with '/' and is not a path), or -1.
static int NextSwitch(const char* text, int from) {
  bool quoted = false;
  int tokenStart = -1;
  bool switchToken = false;
  for (int i = 0; text[i]; i++) {
    char c = text[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (Space(c)) {
      tokenStart = -1;
      continue;
    }
    if (tokenStart < 0) {
      tokenStart = i;
      size_t len = 0;
      while (text[i + len] && !Space(text[i + len])) len++;
      switchToken = c == '/' && !PathToken(text + i, len);
    }
    if (c == '/' && switchToken && i >= from) return i;
  }
  return -1;
}

static void Cut(char* text, int at, int n) { memmove(text + at, text + at + n, strlen(text + at + n) + 1); }

// First switch with this letter (any case); -1 when none.
static int FindSwitch(const char* text, char letter) {
  for (int i = NextSwitch(text, 0); i >= 0; i = NextSwitch(text, i + 1))
    if (tolower((unsigned char)text[i + 1]) == tolower((unsigned char)letter)) return i;
  return -1;
}

// Cancellations: "/-X" removes every earlier "/X" with its argument, then
// itself.
static void Cancel(char* text) {
  for (int i = NextSwitch(text, 0); i >= 0; i = NextSwitch(text, i)) {
    if (text[i + 1] != '-') {
      i++;
      continue;
    }
    char letter = text[i + 2];
    if (!letter) {
      text[i] = 0;  // a "/-" at the very end
      break;
    }
    for (int j = FindSwitch(text, letter); j >= 0 && j < i; j = FindSwitch(text, letter)) {
      int end = j + 2;
      if (text[end] == '"') {
        const char* q = strchr(text + end + 1, '"');
        end = q ? (int)(q - text) + 1 : (int)strlen(text);
      } else {
        while ((unsigned char)text[end] >= '!' && text[end] != '/') end++;
      }
      Cut(text, j, end - j);
      i -= end - j;
    }
    Cut(text, i, 3);
  }
}

static int64_t Gcd(int64_t a, int64_t b) {
  if (a < 0) a = -a;
  if (b < 0) b = -b;
  while (b) {
    int64_t t = a % b;
    a = b;
    b = t;
  }
  return a ? a : 1;
}

// One decimal number "[-]int[.frac]" as num/den; returns the characters used.
static int Decimal(const char* t, int64_t* num, int64_t* den) {
  int i = 0;
  bool neg = t[0] == '-';
  if (neg) i++;
  if (!isdigit((unsigned char)t[i])) return 0;
  int64_t n = 0, d = 1;
  for (; isdigit((unsigned char)t[i]); i++)
    if (n < 100000000) n = n * 10 + (t[i] - '0');
  if (t[i] == '.') {
    i++;
    for (; isdigit((unsigned char)t[i]); i++)
      if (d < 100000000) {
        n = n * 10 + (t[i] - '0');
        d *= 10;
      }
  }
  int64_t g = Gcd(n, d);
  *num = neg ? -(n / g) : n / g;
  *den = d / g;
  return i;
}

int PlayerParseRational(const char* text, int32_t* num, int32_t* den) {
  int64_t n, d;
  int used = Decimal(text, &n, &d);
  if (!used) return 0;
  if (text[used] == ';') {
    int64_t n2, d2;
    int more = Decimal(text + used + 1, &n2, &d2);
    if (more) used += 1 + more;
    if (more && n2 != 0) {
      // (n/d) / (n2/d2), reduced after each step.
      int64_t a = n * d2, b = d * n2;
      if (b < 0) {
        a = -a;
        b = -b;
      }
      int64_t g = Gcd(a, b);
      n = a / g;
      d = b / g;
    }
  }
  if (d == 0) d = 1;
  while (n > INT32_MAX || n < -INT32_MAX || d > INT32_MAX) {
    n /= 2;
    d /= 2;
    if (d == 0) d = 1;
  }
  *num = (int32_t)n;
  *den = (int32_t)d;
  return used;
}

enum Form { kFlag, kNumber, kRational, kNumberOrFlag, kRationalOrFlag };

static bool StartsNumber(const char* t) {
  return isdigit((unsigned char)t[0]) || (t[0] == '-' && isdigit((unsigned char)t[1]));
}

// Looks for the switch in its form(s), cuts it out and returns 1 (value in
// *a, *b), or 0 when absent or not in that form.
static int Take(char* text, char letter, Form form, int32_t* a, int32_t* b) {
  int at = FindSwitch(text, letter);
  if (at < 0) return 0;
  const char* arg = text + at + 2;
  if ((form == kNumber || form == kNumberOrFlag) && StartsNumber(arg)) {
    char* end;
    long v = strtol(arg, &end, 10);
    *a = (int32_t)(v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : v);
    Cut(text, at, (int)(end - text) - at);
    return 1;
  }
  if ((form == kRational || form == kRationalOrFlag) && StartsNumber(arg)) {
    int used = PlayerParseRational(arg, a, b);
    Cut(text, at, 2 + used);
    return 1;
  }
  if ((form == kFlag || form == kNumberOrFlag || form == kRationalOrFlag) &&
      (unsigned char)arg[0] < '0') {
    *a = 1;
    *b = 0;
    Cut(text, at, 2);
    return 2;  // the bare flag
  }
  return 0;
}

static void Append(char* line, const char* more, uint32_t limit) {
  size_t n = strlen(line), m = strlen(more);
  if (!m) return;
  if (n && n + 1 < limit) line[n++] = ' ';
  if (n + m >= limit) m = limit - 1 - n;  // the working buffer's limit
  memcpy(line + n, more, m);
  line[n + m] = 0;
}

int PlayerParse(PlayerState* st, const char* stored, const char* cmdline) {
  PlayerSwitches& s = st->sw;
  s = PlayerSwitches{};
  s.loops = 1;
  s.rateNum = s.rateDen = -1;
  s.x = s.y = -3000;
  s.readBuffer = -1;
  char* line = st->line;
  line[0] = 0;
  if (stored) {
    size_t n = strcspn(stored, "~");
    if (n > PLAYER_STORED - 1) n = PLAYER_STORED - 1;
    memcpy(line, stored, n);
    line[n] = 0;
  }
  Append(line, cmdline ? cmdline : "", PLAYER_LINE);
  Cancel(line);
  int32_t a = 0, b = 0;
  if (Take(line, '!', kFlag, &a, &b)) {
    char ini[256];
    PlatProfileString("KOR Video Tools", "VornQuickPlay", "", ini, sizeof ini);
    Append(line, ini, PLAYER_LINE);
    s.quick = 1;
  }
  uint32_t open = 0;
  if (Take(line, 'P', kFlag, &a, &b)) s.preload = 1, open |= VORN_OPEN_PRELOAD;
  int r = Take(line, 'L', kNumberOrFlag, &a, &b);
  if (r) s.loops = r == 2 ? 0 : a;
  r = Take(line, 'F', kRationalOrFlag, &a, &b);
  if (r == 2) {
    s.rateNum = s.rateDen = 0;
  } else if (r) {
    s.rateNum = a;
    s.rateDen = b;
  }
  if (r) open |= VORN_OPEN_RATE;
  if (Take(line, 'T', kNumber, &a, &b) && a) s.track = a, open |= VORN_OPEN_TRACK;
  if (Take(line, 'Z', kFlag, &a, &b)) s.waveOut = 1;
  if (Take(line, 'S', kFlag, &a, &b)) s.summary = 1;
  if (Take(line, 'X', kNumber, &a, &b)) s.x = a;
  if (Take(line, 'Y', kNumber, &a, &b)) s.y = a;
  if (Take(line, 'W', kRational, &a, &b)) s.wNum = a, s.wDen = b;
  if (Take(line, 'H', kRational, &a, &b)) s.hNum = a, s.hDen = b;
  if (Take(line, 'R', kFlag, &a, &b)) s.fullScreen = 1;
  if (Take(line, 'C', kFlag, &a, &b)) s.hideCursor = 1;
  if (Take(line, 'M', kNumber, &a, &b) && a) s.readSpeed = a, open |= VORN_OPEN_SIMULATE;
  if (Take(line, 'E', kNumber, &a, &b)) {
    s.readBuffer = a;
    if (a != -1) open |= VORN_OPEN_IOSIZE;
  }
  if (Take(line, 'G', kFlag, &a, &b)) s.noFill = 1, open |= VORN_OPEN_NOFILL;
  if (Take(line, 'K', kFlag, &a, &b)) s.noThread = 1, open |= VORN_OPEN_NOTHREAD;
  if (Take(line, 'U', kNumber, &a, &b)) s.controls = a;
  if (Take(line, 'N', kFlag, &a, &b)) s.neverSkip = 1, open |= VORN_OPEN_NOSKIP;
  if (Take(line, 'Q', kFlag, &a, &b)) s.stats = 1;
  if (Take(line, 'J', kFlag, &a, &b)) s.noFocusPause = 1;
  if (Take(line, 'I', kNumber, &a, &b)) s.windowStyle = a;
  if (Take(line, 'A', kNumber, &a, &b)) {
    s.displayOption = a;
    int32_t opt = a % 100;
    if (opt > 7) opt = 7;
    if (opt > 0) open |= VORN_OPEN_OPTION(opt);
    if (a / 100 == 1) open |= VORN_OPEN_GRAY;
  }
  bool badMode = false;
  if (Take(line, 'D', kNumber, &a, &b)) {
    s.videoMode = a;
    if (a) badMode = a < 0 || a % 100 < 1 || a % 100 > 13 || a / 100 > 6;
  }
  if (Take(line, 'B', kNumber, &a, &b)) s.style = a;
  if (Take(line, '#', kNumber, &a, &b)) s.parent = a;
  st->openFlags = open;
  // Anything left that looks like a switch was unknown or repeated.
  if (NextSwitch(line, 0) >= 0 || badMode) return 0;
  const char* p = line;
  while (Space(*p)) p++;
  return *p != 0;
}

int PlayerTakeName(char* text, char* out, uint32_t size) {
  char* p = text;
  while (Space(*p)) p++;
  if (!*p) {
    text[0] = 0;
    return 0;
  }
  char* start = p;
  char* end;
  if (*p == '"') {
    start = ++p;
    while (*p && *p != '"') p++;
    end = p;
    if (*p) p++;
  } else {
    while (*p && !Space(*p)) p++;
    end = p;
  }
  size_t n = (size_t)(end - start);
  if (n >= size) n = size - 1;
  memcpy(out, start, n);
  out[n] = 0;
  while (Space(*p)) p++;
  if (*p == ',') p++;
  memmove(text, p, strlen(p) + 1);
  return 1;
}

int32_t PlayerClassify(int32_t num, int32_t den, int32_t size, uint32_t bit, int32_t screen,
                       uint32_t* bits) {
  *bits = 0;
  if (num == 0 || den == 0) return size;
  int32_t target;
  if (num > 0)
    target = num / den;
  else if (num == -1 && den == 1)
    target = screen;
  else
    target = (int32_t)((int64_t)size * -num / den);
  if (target != size) *bits = PlayerStretchKind(target, size, bit);
  return target;
}
