#!/usr/bin/env bash
# Whole processes side by side: `pagora-cli text recode` against iconv doing the same conversion of
# a 14 MB novel (eight copies of the corpus book) into code page 1251, each writing a new file.
# Prints the best wall time of several runs, the mean processor time, peak memory (from
# /usr/bin/time) and how many times as fast ours is.
# The UTF-8 outputs differ where the novel has a character 1251 lacks: iconv -c drops it, ours
# writes "?".
# Usage: recode_vs_iconv.sh [BUILD_DIR]   (default build/bench; build/default works too)
set -euo pipefail
dir=${1:-build/bench}
cli=$dir/cli/pagora-cli
# The full novel: $PAGORA_CORPUS, else ../shared/corpus beside the source tree.
corpus=${PAGORA_CORPUS:-$(cd "$(dirname "$0")" && pwd)/../../../shared/corpus}
runs=${RUNS:-7}
if [ ! -x "$cli" ]; then echo "skipped: $cli not built"; exit 0; fi
if ! command -v iconv >/dev/null; then echo "skipped: no iconv"; exit 0; fi
if [ ! -f "$corpus/anna-karenina.cp866.txt" ]; then echo "skipped: no corpus in $corpus (set PAGORA_CORPUS)"; exit 0; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for page in cp866 utf8; do
  for _ in 1 2 3 4 5 6 7 8; do cat "$corpus/anna-karenina.$page.txt"; done >"$work/in.$page.txt"
done

# best_ms, cpu_us and peak_kb
source "$(dirname "$0")/timing.bash"

row() {
  local name=$1 from=$2 file=$3 ours theirs ours_cpu theirs_cpu ours_kb theirs_kb size same
  shift 3
  size=$(stat -c %s "$file")
  ours=$(best_ms "$work/ours" "$cli" text recode "$@" "$file" -o "$work/ours")
  theirs=$(best_ms "$work/theirs" iconv -c -f "$from" -t CP1251 "$file" -o "$work/theirs")
  ours_cpu=$(cpu_us "$work/ours" "$cli" text recode "$@" "$file" -o "$work/ours")
  theirs_cpu=$(cpu_us "$work/theirs" iconv -c -f "$from" -t CP1251 "$file" -o "$work/theirs")
  ours_kb=$(peak_kb "$work/ours" "$cli" text recode "$@" "$file" -o "$work/ours")
  theirs_kb=$(peak_kb "$work/theirs" iconv -c -f "$from" -t CP1251 "$file" -o "$work/theirs")
  same=same
  cmp -s "$work/ours" "$work/theirs" || same=differs
  awk -v n="$name" -v s="$size" -v o="$ours" -v t="$theirs" -v oc="$ours_cpu" -v tc="$theirs_cpu" \
      -v ok="$ours_kb" -v tk="$theirs_kb" -v same="$same" 'BEGIN {
    printf "%-19s %5.1f MB | wall: ours %6.1f ms, iconv %6.1f ms, %5.2fx as fast", n, s / 1e6,
           o / 1000, t / 1000, t / o
    printf " | processor: ours %6.1f ms, iconv %6.1f ms, %5.2fx", oc / 1000, tc / 1000, tc / oc
    printf " | peak: ours %s KB (%.2fx the file), iconv %s KB | output %s\n", ok,
           (ok == "-" ? 0 : ok * 1024 / s), tk, same }'
}

row "866 -> 1251" CP866 "$work/in.cp866.txt" --from 866
row "866 -> 1251 (auto)" CP866 "$work/in.cp866.txt"
row "UTF-8 -> 1251" UTF-8 "$work/in.utf8.txt" --from utf8
