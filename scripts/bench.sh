#!/usr/bin/env bash
# Runs every benchmark program that the bench build made, one after another.
set -euo pipefail
dir=${1:-build/bench}
shopt -s nullglob
for b in "$dir"/bench/*/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
for s in bench/*/*.sh; do
  echo "== $s"
  "$s" "$dir"
done
