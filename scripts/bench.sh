#!/bin/sh
# Runs the bench programs on the vectors.
# usage: bench.sh BIN_DIR VECTORS_DIR
bin=$1; vectors=$2
for b in "$bin"/*bench; do
  [ -x "$b" ] || continue
  echo "== ${b##*/}"
  case "$b" in
    # Google Benchmark programs take no --vectors; they report medians.
    *dspbench) "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || exit 1 ;;
    *) "$b" --vectors "$vectors" || exit 1 ;;
  esac
done
