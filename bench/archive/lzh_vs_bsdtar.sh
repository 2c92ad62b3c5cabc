#!/usr/bin/env bash
# Whole programs side by side on 14 MB of text (the novel repeated, as in bench_lh5) archived
# with -lh5-: `pagora-cli lzh x` and
# `lzh t` against bsdtar reading the same archive, and `lzh a` against gzip -6 on the same text.
# Each command runs several times; the fastest wall time counts, with the user and system CPU
# time of that same run (bash's `time` covers the whole process, start-up included).
# Usage: lzh_vs_bsdtar.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:-build/bench}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
cli="$build/cli/pagora-cli"
# The full novel: $PAGORA_CORPUS, else ../shared/corpus beside the source tree.
corpus="${PAGORA_CORPUS:-$here/../../../shared/corpus}"
text="$corpus/anna-karenina.cp1251.txt"
[ -f "$text" ] || echo "lzh_vs_bsdtar: no corpus in $corpus (set PAGORA_CORPUS)"
for need in "$cli" "$text"; do
  if [ ! -e "$need" ]; then
    echo "lzh_vs_bsdtar: $need is missing; skipped"
    exit 0
  fi
done
for tool in bsdtar gzip; do
  if ! command -v "$tool" > /dev/null; then
    echo "lzh_vs_bsdtar: $tool is not installed; skipped"
    exit 0
  fi
done
runs=${RUNS:-5}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
while [ "$(stat -c %s book.txt 2> /dev/null || echo 0)" -lt 14000000 ]; do cat "$text" >> book.txt; done
"$cli" lzh a book.lzh book.txt > /dev/null

# best "wall user system" of $runs runs of the command line in $1 (run by bash in $work). The
# command runs through eval: a subshell's redirection would swallow the report of `time`.
measure() {
  local best="" line
  for _ in $(seq "$runs"); do
    rm -rf out && mkdir out
    line=$( { TIMEFORMAT='%R %U %S'; time eval "$1" > /dev/null 2>&1; } 2>&1 )
    if [ -z "$best" ] || awk -v a="${line%% *}" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then
      best=$line
    fi
  done
  echo "$best"
}

printf '%-34s %8s %8s %8s\n' "command ($(du -h book.txt | cut -f1) text)" wall user system
row() {
  printf '%-34s %8s %8s %8s\n' "$1" $2
}
# The target is met when both the wall time and the CPU time (user + system) are that much lower.
compare() {  # label, ours, theirs, target
  echo "$2 $3" | awk -v l="$1" -v t="$4" '{
    wall = $1 > 0 ? $4 / $1 : 0
    cpu = ($2 + $3) > 0 ? ($5 + $6) / ($2 + $3) : 0
    printf "%-34s wall %5.2fx, CPU %5.2fx (target %sx) %s\n", l, wall, cpu, t,
           (wall >= t && cpu >= t ? "met" : "NOT met") }'
}

ours_x=$(measure "'$cli' lzh x -o -C out book.lzh")
theirs_x=$(measure "bsdtar -xf book.lzh -C out")
ours_t=$(measure "'$cli' lzh t book.lzh")
theirs_t=$(measure "bsdtar -xOf book.lzh > /dev/null")
ours_a=$(measure "rm -f new.lzh && '$cli' lzh a new.lzh book.txt")
theirs_a=$(measure "gzip -6 -c book.txt > out/book.txt.gz")

row "pagora-cli lzh x -C DIR" "$ours_x"
row "bsdtar -xf ARCHIVE -C DIR" "$theirs_x"
row "pagora-cli lzh t" "$ours_t"
row "bsdtar -xOf ARCHIVE > /dev/null" "$theirs_t"
row "pagora-cli lzh a (lh5)" "$ours_a"
row "gzip -6" "$theirs_a"
compare "x against bsdtar -x" "$ours_x" "$theirs_x" 1.5
compare "t against bsdtar -xO" "$ours_t" "$theirs_t" 2
compare "a against gzip -6" "$ours_a" "$theirs_a" 1
