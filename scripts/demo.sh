#!/bin/sh
# The kit's main job, end to end.
# usage: demo.sh BIN_DIR VECTORS_DIR
set -e
bin=$1; vectors=$2
"$bin/kor" --help
clip="$vectors/vorn/audio-i-39.vrn"
if [ -f "$clip" ]; then
  "$bin/kor" info "$clip"
fi
