// The end card: a one-frame 224 x 252 Vorn file built into the program
// (made at build time by endcard_gen).
#pragma once

#include <stddef.h>
#include <stdint.h>

enum { VORN_END_CARD_WIDTH = 224, VORN_END_CARD_HEIGHT = 252 };

extern const uint8_t kVornEndCard[];
extern const size_t kVornEndCardBytes;
