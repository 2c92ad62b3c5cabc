#!/usr/bin/env bash
# Runs every built libFuzzer target for the given number of seconds; seeds come from
# fuzz/<area>/seeds/<target>/ when that folder exists.
set -euo pipefail
dir=${1:-build/fuzz}
seconds=${2:-30}
shopt -s nullglob
found=0
for t in "$dir"/fuzz/*/fuzz_*; do
  [ -f "$t" ] && [ -x "$t" ] || continue
  found=1
  name=$(basename "$t")
  area=$(basename "$(dirname "$t")")
  corpus="$dir/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/$area/seeds/$name" ] && seeds=("fuzz/$area/seeds/$name")
  echo "== $name: ${seconds}s"
  if ! "$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       "$corpus" "${seeds[@]}" >"$dir/$name.log" 2>&1; then
    tail -60 "$dir/$name.log"
    echo "fuzz target $name failed"
    exit 1
  fi
  grep -E 'Done [0-9]+ runs' "$dir/$name.log" | tail -1 || true
done
[ $found = 1 ] || echo "no fuzz targets built"
