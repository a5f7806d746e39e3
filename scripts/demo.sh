#!/bin/sh
# The kit's main job, end to end: kor demo draws a clip of its own, encodes
# it, measures it decoded back and plays it (in a window when there is a
# display, else headless with the playback summary).
# usage: demo.sh BIN_DIR [VECTORS_DIR]
set -e
bin=$1
exec "$bin/kor" demo
