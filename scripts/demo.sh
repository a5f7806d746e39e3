#!/bin/sh
# The kit's main job, end to end.
# usage: demo.sh BIN_DIR VECTORS_DIR
set -e
bin=$1; vectors=$2
"$bin/kor" --help
clip="$vectors/vorn/large-i-320x240.vrn"
[ -f "$clip" ] || clip="$vectors/vorn/audio-i-39.vrn"
if [ -f "$clip" ]; then
  "$bin/kor" info "$clip"
  # Play it: in a window (doubled, three times, statistics line) when there
  # is a display, else headless; the summary ends either way.
  if [ -n "$DISPLAY$WAYLAND_DISPLAY" ] && [ -z "$KOR_HEADLESS" ]; then
    "$bin/vornplay" "$clip" /W-2 /H-2 /L3 /Q /S
  else
    echo "No display: playing headless."
    KOR_HEADLESS=1 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} \
      "$bin/vornplay" "$clip" /L3 /S
  fi
fi
