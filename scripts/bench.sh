#!/bin/sh
# Runs the bench programs on the vectors.
# usage: bench.sh BIN_DIR VECTORS_DIR
bin=$1; vectors=$2
for b in "$bin"/*bench; do
  [ -x "$b" ] || continue
  echo "== ${b##*/}"
  "$b" --vectors "$vectors" || exit 1
done
