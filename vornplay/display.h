// The player's display: a pixel buffer the frame copy writes and the way it
// reaches the window, in one of ten blitting styles.
#pragma once

#include <stdint.h>

#include "platform/plat.h"
#include "vorn/vorn.h"

// Display flags: style in bits 0-4, a video mode change, stretch kinds.
enum {
  PLAYER_STYLE_MASK = 0x1F,
  PLAYER_CHANGE_MODE = 0x00800000,
  PLAYER_STRETCH_MASK = 0xFF000000u,
  PLAYER_W_REDUCE = 0x10000000,       // non-integer width reduction
  PLAYER_W_INT_REDUCE = 0x20000000,
  PLAYER_W_ENLARGE = 0x40000000,
  PLAYER_W_INT_ENLARGE = 0x80000000u,
  PLAYER_H_REDUCE = 0x01000000,
  PLAYER_H_INT_REDUCE = 0x02000000,
  PLAYER_H_ENLARGE = 0x04000000,
  PLAYER_H_INT_ENLARGE = 0x08000000,
};
// Copy flags the display adds to the pixel format.
enum {
  PLAYER_COPY_VISIBLE = 0x04000000,   // the copy writes the visible image
  PLAYER_COPY_STRETCHED = 0x08000000, // one rectangle is enough
  PLAYER_COPY_WHOLE = (int32_t)0x80000000u,
};

typedef struct PlayerDisplay {
  int32_t width, height;              // picture size
  int32_t windowWidth, windowHeight;  // outer window size for the output size
  uint32_t copyFlags;
  uint8_t* pixels;                    // between lock and unlock
  int32_t pitch;
  int32_t lockHeight;                 // rows of the locked memory (the copy's height)
  int32_t frameLeft, frameTop;
  int32_t screenWidth, screenHeight, screenBits;
  int32_t frameWidth, frameHeight;
  uint32_t stretchCaps;
  int32_t outputWidth, outputHeight;
  PlatSurface* surface;
  int32_t screenX, screenY;
  int32_t clientX, clientY;
  PlatWindow* window;
  int32_t overlay, offscreen;
  int32_t overlayShown;
  int32_t style;
  int32_t primary;
  int32_t holdsMode;
  int32_t bytesPerPixel;
} PlayerDisplay;

void PlayerDisplaySetMode(int32_t width, int32_t height, int32_t depth);
PlayerDisplay* PlayerDisplayOpen(PlatWindow* window, int32_t width, int32_t height, uint32_t flags);
void PlayerDisplayClose(PlayerDisplay* d);
int PlayerDisplayLock(PlayerDisplay* d);
void PlayerDisplayUnlock(PlayerDisplay* d);
void PlayerDisplayShow(PlayerDisplay* d, const VornRect* rects, int32_t count);
int PlayerDisplaySetStretch(PlayerDisplay* d, int32_t width, int32_t height);
void PlayerDisplaySetPosition(PlayerDisplay* d, int32_t x, int32_t y);
void PlayerDisplayAdjustWindow(PlayerDisplay* d, int32_t* x, int32_t* y);
void PlayerDisplayClear(PlayerDisplay* d, uint32_t colour);
const char* PlayerDisplayStyleName(const PlayerDisplay* d);
const char* PlayerDisplayError(void);

// Copy format of a pixel format: 0 unusable, -1 not supported.
int32_t PlayerCopyFormat(const PlatPixelFormat* f);
// Stretch kind bits of one axis (bit: the axis' non-integer reduction bit).
uint32_t PlayerStretchKind(int32_t target, int32_t size, uint32_t bit);
