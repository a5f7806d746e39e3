// The sound back-end slot: the installed track-open function and the count
// of open tracks. Moving decoded sound into the back end (VornFeedSound)
// comes with the sound output; until then there is nothing to feed.
#include "vorn/internal.h"

static VornSoundSystem g_system;
static VornSoundTrackOpen g_trackOpen;
static volatile int32_t g_openTracks;

extern "C" int VornSelectSoundOutput(VornSoundSystem system, void* arg) {
  if (PlatAtomicLoad(&g_openTracks) > 0 && system != g_system) return 0;
  g_system = system;
  g_trackOpen = system ? system(arg) : nullptr;
  return g_trackOpen != nullptr;
}

VornSoundTrackOpen VornSoundBackEnd(void) { return g_trackOpen; }

void VornSoundTrackCount(int delta) { PlatAtomicAdd(&g_openTracks, delta); }

void VornServiceSound(VornHandle* h) {
  if (h && h->soundTrack >= 0) VornFeedSound(h);
}

extern "C" void VornFeedSound(VornHandle* h) {
  if (!h || h->soundTrack < 0 || !h->sound.open) return;
  // Hook: the sound output moves ring data into the back end here.
}
