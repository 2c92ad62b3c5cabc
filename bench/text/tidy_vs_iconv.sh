#!/usr/bin/env bash
# Whole processes side by side: `pagora-cli text tidy` of the corpus novel hard-wrapped at 72
# columns (eight copies, about 14 MB in code page 1251) against iconv converting the same bytes,
# each writing a new file. Prints the best wall time, the mean processor time and the peak
# memory of each, and how many times as long ours takes (the target is at most 4x).
# Usage: tidy_vs_iconv.sh [BUILD_DIR]   (default build/bench; build/default works too)
set -euo pipefail
dir=${1:-build/bench}
cli=$dir/cli/pagora-cli
root=$(cd "$(dirname "$0")/../.." && pwd)
corpus=${PAGORA_CORPUS:-$root/../shared/corpus}
runs=${RUNS:-7}
if [ ! -x "$cli" ]; then echo "skipped: $cli not built"; exit 0; fi
if ! command -v iconv >/dev/null; then echo "skipped: no iconv"; exit 0; fi
if [ ! -f "$corpus/anna-karenina.cp1251.txt" ]; then
  echo "skipped: no corpus in $corpus (set PAGORA_CORPUS)"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# best_ms, cpu_us and peak_kb
source "$(dirname "$0")/timing.bash"

# fold counts bytes, which are letters in code page 1251; the UTF-8 text is the same one
# converted, so its lines hold the same words.
for _ in 1 2 3 4 5 6 7 8; do
  tr -d '\r' <"$corpus/anna-karenina.cp1251.txt" | fold -s -w 72
done >"$work/in.cp1251.txt"
iconv -f CP1251 -t UTF-8 "$work/in.cp1251.txt" >"$work/in.utf8.txt"

row() {
  local name=$1 file=$2 ours theirs ours_cpu theirs_cpu ours_kb theirs_kb size layout
  shift 2
  size=$(stat -c %s "$file")
  layout=$("$cli" text tidy "$file" -o "$work/ours" | sed 's/.*: \([a-z]*\), .*/\1/')
  ours=$(best_ms "$work/ours" "$cli" text tidy "$file" -o "$work/ours")
  theirs=$(best_ms "$work/theirs" iconv -c "$@" "$file" -o "$work/theirs")
  ours_cpu=$(cpu_us "$work/ours" "$cli" text tidy "$file" -o "$work/ours")
  theirs_cpu=$(cpu_us "$work/theirs" iconv -c "$@" "$file" -o "$work/theirs")
  ours_kb=$(peak_kb "$work/ours" "$cli" text tidy "$file" -o "$work/ours")
  theirs_kb=$(peak_kb "$work/theirs" iconv -c "$@" "$file" -o "$work/theirs")
  awk -v n="$name" -v s="$size" -v o="$ours" -v t="$theirs" -v oc="$ours_cpu" -v tc="$theirs_cpu" \
      -v ok="$ours_kb" -v tk="$theirs_kb" -v l="$layout" 'BEGIN {
    printf "%-7s %5.1f MB (%s) | wall: tidy %6.1f ms, iconv %6.1f ms, %4.2fx as long", n, s / 1e6,
           l, o / 1000, t / 1000, o / t
    printf " | processor: tidy %6.1f ms, iconv %6.1f ms, %4.2fx", oc / 1000, tc / 1000, oc / tc
    printf " | peak: tidy %s KB, iconv %s KB\n", ok, tk }'
}

row "cp1251" "$work/in.cp1251.txt" -f CP1251 -t UTF-8
row "UTF-8" "$work/in.utf8.txt" -f UTF-8 -t CP1251
