#!/bin/sh
# Runs the bench programs on the vectors.
# usage: bench.sh BIN_DIR VECTORS_DIR
bin=$1; vectors=$2
for b in "$bin"/*bench; do
  [ -x "$b" ] || continue
  echo "== ${b##*/}"
  case ${b##*/} in
    *dspbench) "$b" || exit 1 ;;  # Google Benchmark: takes no vectors
    *) "$b" --vectors "$vectors" || exit 1 ;;
  esac
done
