// The Vorn player: command line, file list, playback loop, end card and
// summary. The program's main only hands its command line to VornPlayRun.
#pragma once

#include <stdint.h>

#include "platform/plat.h"
#include "vornplay/display.h"
#include "vorn/vorn.h"

enum { PLAYER_LINE = 1024, PLAYER_NAME = 2048, PLAYER_STORED = 512 };

// Switch values as parsed.
typedef struct PlayerSwitches {
  int32_t preload, loops, rateNum, rateDen, track, waveOut, summary;
  int32_t x, y, wNum, wDen, hNum, hDen;
  int32_t fullScreen, hideCursor, readSpeed, readBuffer, noFill, noThread, controls;
  int32_t neverSkip, stats, noFocusPause, windowStyle, displayOption, videoMode, style;
  int32_t parent, quick;
} PlayerSwitches;

typedef struct PlayerState {
  char line[PLAYER_LINE];   // working command line: the names left
  char saved[PLAYER_LINE];  // the list, restored when it loops
  char name[PLAYER_NAME];   // current name; the summary text at exit
  char module[256];         // the program's own path
  PlayerSwitches sw;
  uint32_t openFlags, displayFlags;
  VornHandle* handle;
  PlayerDisplay* display;
  PlayerDisplay* kept;
  PlatFile file;
  PlatWindow* window;
  int32_t fileLoops, listLoops;
  uint32_t paused;
  int32_t focus, endFlag, stop, endCard;
  uint32_t deadline;
  int32_t noBlackFill;
  int32_t x, y;              // window position, then the picture's offset
  int32_t winWidth, winHeight;  // client size
  int32_t screenWidth, screenHeight;
  PlatRect statsRect;
  VornTotals summary;
  int32_t haveSummary;
  int32_t quit;
  int32_t sleepDebt;
  // What happened, for tests.
  uint32_t framesShown;      // frame steps of real files
  uint32_t endCardFrames;    // frame steps of the end card
  int32_t endCardShown;      // the end card opened
  char statsText[160];       // the last statistics line
  char lastUrl[160];         // the last page opened
  char opened[PLAYER_LINE];  // names opened, one per line
  int32_t pictureWidth, pictureHeight;  // handle size of the last file
  int32_t outputWidth, outputHeight;
  uint32_t handleFlags, rate, rateDivisor;
  uint32_t stretchFlags;     // stretch kinds asked of the last display
  char styleName[64];
  uint32_t eventFrames[32];  // frames shown when each key or focus change came
  int32_t eventCount;
} PlayerState;

// Runs the player on a stored command line (null: the program's own) and
// the process command line; returns the exit code.
int VornPlayRun(const char* stored, const char* cmdline);
// The state of the last run.
const PlayerState* VornPlayState(void);

// Builds the working command line and parses the switches into st; 1 when
// names remain and every switch was recognised (else the help box applies).
int PlayerParse(PlayerState* st, const char* stored, const char* cmdline);
// Takes the next name from the front of text into out (at most size - 1
// bytes); 0 when there is none.
int PlayerTakeName(char* text, char* out, uint32_t size);
// Reduced rational from switch text ("29.97", "30;1.001", "-2"); returns the
// characters used, 0 when the text does not start with one.
int PlayerParseRational(const char* text, int32_t* num, int32_t* den);
// Output size classification of one axis; *bits gets the stretch kind.
int32_t PlayerClassify(int32_t num, int32_t den, int32_t size, uint32_t bit, int32_t screen,
                       uint32_t* bits);
// The program's stored command line area (512 bytes, "~" padded).
const char* PlayerStoredLine(void);
// Help text and summary text.
const char* PlayerHelpText(void);
void PlayerSummaryText(char* out, uint32_t size, const VornTotals* t, const PlayerDisplay* d);
void PlayerDuration(char* out, uint32_t size, uint32_t ms);
