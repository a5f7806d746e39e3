#include "kor/sound.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>


bool KorParseId(const char* s, uint32_t* id) {
  if (!s || !*s) return false;
  char* end;
  unsigned long long v = strtoull(s, &end, 0);
  if (*end || v > 0xFFFFFFFFull || *s == '-') return false;
  *id = (uint32_t)v;
  return true;
}

bool KorSoundAddId(KorSounds* s, const char* name, uint32_t id, size_t length) {
  if (s->count >= KOR_MAX_SOUNDS || !name || !*name || length >= KOR_PATH_SIZE) return false;
  memcpy(s->names[s->count], name, length);
  s->names[s->count][length] = 0;
  s->ids[s->count] = id;
  s->count++;
  return true;
}

bool KorSoundAdd(KorSounds* s, const char* arg) {
  // The id follows the last comma when it is a number; otherwise the comma
  // belongs to the name.
  uint32_t id = s->count;
  const char* comma = strrchr(arg, ',');
  if (comma && KorParseId(comma + 1, &id)) return KorSoundAddId(s, arg, id, (size_t)(comma - arg));
  return KorSoundAddId(s, arg, id, strlen(arg));
}

static const char* g_who;
static int32_t Message(const char* text, int32_t level) {
  if (level == 2) fprintf(stderr, "%s: %s\n", g_who, text);
  return 0;
}

static int32_t Get(void*, intptr_t user, void* buffer, int32_t bytes) {
  return SFileGet((SFile*)user, buffer, bytes);
}

bool KorSoundOpen(KorSounds* s, const char* who, int32_t quality) {
  g_who = who;
  for (uint32_t i = 0; i < s->count; i++) {
    SFile* f = SFileOpen(s->names[i], 0, 16, 0, 0, 0, 0, 0, 0, Message);
    if (!f) {
      KorSoundClose(s);
      return false;
    }
    if (f->outRate > 65535) {
      fprintf(stderr, "%s: %s: sample rate %u Hz is above the 65535 Hz a Vorn track can hold\n", who,
              s->names[i], f->outRate);
      SFileClose(f);
      KorSoundClose(s);
      return false;
    }
    f->callback = nullptr;  // errors were for the open; progress is the caller's
    s->files[i] = f;
    VornMakeTrack* t = &s->tracks[i];
    memset(t, 0, sizeof *t);
    t->id = s->ids[i];
    t->sampleRate = f->outRate;
    t->bits = f->inBits == 8 ? 8 : 16;
    t->channels = f->outChannels;
    t->quality = quality;
    t->user = (intptr_t)f;
    t->callback = Get;
  }
  return true;
}

void KorSoundClose(KorSounds* s) {
  for (uint32_t i = 0; i < s->count; i++) {
    SFileClose(s->files[i]);
    s->files[i] = nullptr;
  }
}
