#!/bin/sh
# Runs every fuzz target for a bounded time, seeded from the vectors.
# usage: fuzz.sh BIN_DIR SECONDS VECTORS_DIR
set -e
bin=$1; secs=$2; vectors=$3
found=0
for t in "$bin"/fuzz_*; do
  [ -x "$t" ] || continue
  found=1
  name=${t##*/fuzz_}
  seeds="$vectors/${name%%_*}"
  work=$(mktemp -d)
  echo "== fuzzing $name for ${secs}s (seeds: $seeds)"
  if [ -d "$seeds" ]; then
    "$t" -max_total_time="$secs" -rss_limit_mb=4096 -timeout=20 -print_final_stats=1 "$work" "$seeds"
  else
    "$t" -max_total_time="$secs" -rss_limit_mb=4096 -timeout=20 -print_final_stats=1 "$work"
  fi
  rm -rf "$work"
done
[ $found = 1 ] || echo "no fuzz targets"
