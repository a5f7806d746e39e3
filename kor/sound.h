// Sound sources of the kor commands: "FILE[,ID]" arguments opened through
// SFile and handed to the encoder as tracks.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "korutil/korutil.h"
#include "vornmake/vornmake.h"

enum { KOR_MAX_SOUNDS = 16, KOR_SOUND_QUALITY = 1 };

struct KorSounds {
  uint32_t count;
  char names[KOR_MAX_SOUNDS][KOR_PATH_SIZE];
  uint32_t ids[KOR_MAX_SOUNDS];
  SFile* files[KOR_MAX_SOUNDS];
  VornMakeTrack tracks[KOR_MAX_SOUNDS];
};

// Parses an id: decimal or 0x hexadecimal.
bool KorParseId(const char* s, uint32_t* id);
// Adds "FILE[,ID]" (the id defaults to the track's number); false when the
// id is bad or there are too many.
bool KorSoundAdd(KorSounds* s, const char* arg);
// Adds the first `length` characters of name as a source with an id.
bool KorSoundAddId(KorSounds* s, const char* name, uint32_t id, size_t length);
// Opens every source and fills the tracks; prints an error (prefixed with
// `who`) and returns false when one cannot be opened.
bool KorSoundOpen(KorSounds* s, const char* who, int32_t quality);
void KorSoundClose(KorSounds* s);
