// A small built-in bitmap font: 5 x 7 glyphs in 6 x 8 cells, printable ASCII.
#pragma once

#include <stdint.h>

enum { PLAYER_FONT_CELL_W = 6, PLAYER_FONT_CELL_H = 8 };

// Column bits of a character (bit 0 the top row); blank for unknown ones.
const uint8_t* PlayerFontGlyph(int c);
int32_t PlayerTextWidth(const char* text, int32_t scale);
// Draws text at (x, y) into 0x00RRGGBB pixels (pitch in pixels), clipped to
// width x height; bg < 0x01000000 fills the cells too.
void PlayerTextDraw(uint32_t* pixels, int32_t pitch, int32_t width, int32_t height, int32_t x,
                    int32_t y, const char* text, int32_t scale, uint32_t fg, uint32_t bg);
